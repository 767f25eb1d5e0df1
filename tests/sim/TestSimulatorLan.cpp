// The simulator on the virtual LAN, seen from the tool's namespace through a
// plain UDP socket on port 30718: replies, writes and their effect on the
// following reads, IP-SETUP, faults, the datagram log, and 253 gateways.

#include "SetupFields.h"
#include "SimulatorProcess.h"
#include "Telegrams.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

#include <functional>

namespace {

const QHostAddress LanBroadcast(QStringLiteral("198.18.0.255"));
const QHostAddress Gateway10(QStringLiteral("198.18.0.10"));

struct Received
{
    QString from;
    QByteArray bytes;
};

// The tool's side: one socket on port 30718 that collects every datagram
// not sent by the tool's own addresses.
class Requester
{
public:
    Requester()
    {
        m_socket.bind(QHostAddress::AnyIPv4, Telegram::Port,
                      QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint);
        m_socket.setSocketOption(QAbstractSocket::MulticastLoopbackOption, 0);
        QObject::connect(&m_socket, &QUdpSocket::readyRead, [this] {
            while (m_socket.hasPendingDatagrams()) {
                const QNetworkDatagram d = m_socket.receiveDatagram();
                const QString from = d.senderAddress().toString();
                if (!qEnvironmentVariable("GWLAN_TOOL_ADDRESSES").split(QLatin1Char(',')).contains(from))
                    m_received += {from, d.data()};
            }
        });
    }
    bool isBound() const { return m_socket.state() == QAbstractSocket::BoundState; }

    void send(const QByteArray &bytes, const QHostAddress &to)
    {
        m_received.clear();
        m_socket.writeDatagram(bytes, to, Telegram::Port);
    }
    // Waits until `count` datagrams are in or `timeoutMs` passed, then a
    // little longer so that surplus datagrams are seen too.
    QList<Received> collect(int count, int timeoutMs = 2000, int settleMs = 150)
    {
        waitUntil([&] { return m_received.size() >= count; }, timeoutMs);
        QEventLoop settle;
        QTimer::singleShot(settleMs, &settle, &QEventLoop::quit);
        settle.exec();
        return m_received;
    }
    QList<Received> exchange(const QByteArray &bytes, const QHostAddress &to, int count = 1)
    {
        send(bytes, to);
        return collect(count);
    }
    static bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
    {
        QEventLoop loop;
        QTimer poll;
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (condition())
                loop.quit();
        });
        poll.start(5);
        deadline.start(timeoutMs);
        if (!condition())
            loop.exec();
        return condition();
    }

private:
    QUdpSocket m_socket;
    QList<Received> m_received;
};

QJsonObject gateway(int host, quint32 type = 0x00010001)
{
    return SimulatorProcess::gateway(QStringLiteral("198.18.0.%1").arg(host),
                                     QStringLiteral("00-50-C2-4A-01-%1").arg(host, 2, 16, QLatin1Char('0')).toUpper(),
                                     type);
}

QJsonObject withFaults(QJsonObject g, const QJsonObject &faults)
{
    g.insert(QStringLiteral("faults"), faults);
    return g;
}

QByteArray request(Telegram::Code code)
{
    return BuildRequest(code);
}

} // namespace

class TestSimulatorLan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void discoveryOneReplyPerGateway_data();
    void discoveryOneReplyPerGateway();
    void unicastHandledOnceByItsGateway();
    void identityWrite();
    void networkWrite();
    void setupWriteWithLock();
    void ipSetupMovesGateway();
    void faultsOnTheWire_data();
    void faultsOnTheWire();
    void delayedReply();
    void logHoldsExactBytesInOrder();
    void saveKeepsWrites();
    void addressesRemovedOnStop();
    void twoHundredFiftyThreeGateways();

private:
    SimulatorProcess m_sim;
};

void TestSimulatorLan::initTestCase()
{
    if (!SimulatorProcess::available())
        QSKIP("needs the virtual LAN (scripts/vlan.sh) and gatewaysim");
}

void TestSimulatorLan::cleanup()
{
    QVERIFY(m_sim.stop());
}

void TestSimulatorLan::discoveryOneReplyPerGateway_data()
{
    QTest::addColumn<QString>("destination");
    QTest::newRow("subnet broadcast") << "198.18.0.255";
    QTest::newRow("limited broadcast") << "255.255.255.255";
}

void TestSimulatorLan::discoveryOneReplyPerGateway()
{
    QFETCH(QString, destination);
    QVERIFY2(m_sim.start(SimulatorProcess::config(
                 {gateway(10), withFaults(gateway(11), {{QStringLiteral("discoveryReplies"), 2}}),
                  gateway(12, 0x00030002)})),
             qPrintable(m_sim.errorString()));
    Requester tool;
    QVERIFY(tool.isBound());
    const QList<Received> replies =
        tool.exchange(request(Telegram::DiscoveryRequest), QHostAddress(destination), 4);
    QMap<QString, int> perGateway;
    for (const Received &r : replies) {
        const auto reply = AcceptDiscoveryReply(r.bytes);
        QVERIFY(reply);
        QCOMPARE(reply->macText(), QStringLiteral("00-50-C2-4A-01-%1").arg(r.from.section(QLatin1Char('.'), 3).toInt(), 2, 16, QLatin1Char('0')).toUpper());
        QCOMPARE(reply->firmwareText(), QStringLiteral("1.0"));
        ++perGateway[r.from];
    }
    const QMap<QString, int> expected{{QStringLiteral("198.18.0.10"), 1}, {QStringLiteral("198.18.0.11"), 2},
                                      {QStringLiteral("198.18.0.12"), 1}};
    QCOMPARE(perGateway, expected);
}

void TestSimulatorLan::unicastHandledOnceByItsGateway()
{
    QVERIFY2(m_sim.start(SimulatorProcess::config({gateway(10), gateway(11)})), qPrintable(m_sim.errorString()));
    Requester tool;
    const QList<Received> replies = tool.exchange(request(Telegram::IdentityRequest), Gateway10);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies.first().from, QStringLiteral("198.18.0.10"));
    const auto identity = AcceptIdentityReply(replies.first().bytes);
    QVERIFY(identity && identity->isFromMaker());
    QCOMPARE(identity->typeCode, 0x00010001u);
    QVERIFY(m_sim.waitForDatagrams(1));
    QCOMPARE(m_sim.receivedDatagrams().size(), 1);
    QCOMPARE(m_sim.receivedDatagrams().first().value(QStringLiteral("to")).toString(), QStringLiteral("198.18.0.10"));
}

void TestSimulatorLan::identityWrite()
{
    QVERIFY2(m_sim.start(SimulatorProcess::config({gateway(10)})), qPrintable(m_sim.errorString()));
    Requester tool;
    QVERIFY(tool.exchange(BuildIdentityWrite(0x00000003), Gateway10, 1).isEmpty());
    const QList<Received> replies = tool.exchange(request(Telegram::IdentityRequest), Gateway10);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(AcceptIdentityReply(replies.first().bytes)->typeCode, 0x00000003u);
}

void TestSimulatorLan::networkWrite()
{
    QJsonObject g = gateway(10);
    g.insert(QStringLiteral("defaultGateway"), QStringLiteral("198.18.0.1"));
    QVERIFY2(m_sim.start(SimulatorProcess::config({g})), qPrintable(m_sim.errorString()));
    Requester tool;
    const QList<Received> read = tool.exchange(request(Telegram::NetworkRequest), Gateway10);
    QCOMPARE(read.size(), 1);
    const auto before = AcceptNetworkReply(read.first().bytes);
    QVERIFY(before);
    QCOMPARE(SubnetColumnText(before->shownHostBits(), before->defaultGateway),
             QStringLiteral("Host-Bits: 8 / GW: 198.18.0.1"));

    const QByteArray write = BuildNetworkWrite(read.first().bytes, QStringLiteral("255.255.0.0"),
                                               QStringLiteral("198.18.0.254"));
    const QList<Received> ack = tool.exchange(write, Gateway10);
    QCOMPARE(ack.size(), 1);
    QCOMPARE(ack.first().from, QStringLiteral("198.18.0.10"));
    QVERIFY(IsNetworkAcknowledgement(ack.first().bytes));

    const QList<Received> after = tool.exchange(request(Telegram::NetworkRequest), Gateway10);
    QCOMPARE(after.size(), 1);
    QByteArray expected = write;
    expected[3] = char(Telegram::NetworkReply);
    QCOMPARE(after.first().bytes.toHex(), expected.toHex());
}

void TestSimulatorLan::setupWriteWithLock()
{
    QVERIFY2(m_sim.start(SimulatorProcess::config({gateway(10)})), qPrintable(m_sim.errorString()));
    Requester tool;
    const QByteArray write = BuildSetupWrite(SetupFields{2, "10002", "198.18.0.1", "0.0.0.0", "115200", "8", "1", 0, 0}
                                                 .writeInput("0050C24A010A", 0x00010001, true,
                                                             QStringLiteral("geheim")));
    QVERIFY(tool.exchange(write, Gateway10, 1).isEmpty());

    const QList<Received> read = tool.exchange(request(Telegram::SetupRequest), Gateway10);
    QCOMPARE(read.size(), 1);
    QCOMPARE(read.first().bytes.mid(4).toHex(), write.mid(4).toHex());
    const SetupReplyCheck check = VerifySetupReply(read.first().bytes, QStringLiteral("00-50-C2-4A-01-0A"),
                                                   0x00010001, true, QStringLiteral("geheim"));
    QCOMPARE(check.verdict, SetupVerdict::PasswordOk);
    QCOMPARE(check.record.baudRate, 115200u);
    QCOMPARE(VerifySetupReply(read.first().bytes, QStringLiteral("00-50-C2-4A-01-0A"), 0x00010001, false, {}).verdict,
             SetupVerdict::WrongPassword);
}

void TestSimulatorLan::ipSetupMovesGateway()
{
    QVERIFY2(m_sim.start(SimulatorProcess::config({gateway(10), gateway(11)})), qPrintable(m_sim.errorString()));
    Requester tool;

    // MAC tail 01 0A names the gateway at .10; .11 (tail 01 0B) stays put.
    tool.send(BuildIpSetup(ParseDottedAddress(QStringLiteral("198.18.0.60")), 0x01, 0x0A), LanBroadcast);
    QVERIFY(m_sim.waitForDatagrams(1));
    QVERIFY(Requester::waitUntil([&] {
        return m_sim.standardError().contains("moved");
    }, 3000));
    QList<Received> replies = tool.exchange(request(Telegram::DiscoveryRequest), LanBroadcast, 2);
    QStringList sources;
    for (const Received &r : replies)
        sources += r.from;
    sources.sort();
    QCOMPARE(sources, (QStringList{QStringLiteral("198.18.0.11"), QStringLiteral("198.18.0.60")}));
    replies = tool.exchange(request(Telegram::NetworkRequest), QHostAddress(QStringLiteral("198.18.0.60")));
    QCOMPARE(replies.size(), 1);
    QVERIFY(!AcceptNetworkReply(replies.first().bytes)->usesDhcp());
    QVERIFY(tool.exchange(request(Telegram::IdentityRequest), Gateway10).isEmpty());

    // 0.0.0.0: an address from the pool, reported as DHCP from then on.
    tool.send(BuildIpSetup(0, 0x01, 0x0B), LanBroadcast);
    QVERIFY(Requester::waitUntil([&] { return m_sim.standardError().count("moved") >= 2; }, 3000));
    replies = tool.exchange(request(Telegram::NetworkRequest), QHostAddress(QStringLiteral("198.18.0.200")));
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies.first().from, QStringLiteral("198.18.0.200"));
    const auto network = AcceptNetworkReply(replies.first().bytes);
    QVERIFY(network->usesDhcp());
    QCOMPARE(network->shownHostBits(), 0);
}

void TestSimulatorLan::faultsOnTheWire_data()
{
    QTest::addColumn<QJsonObject>("faults");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QList<int>>("lengths"); // of the datagrams that arrive
    QTest::addColumn<bool>("lastAccepted");

    QTest::newRow("identity ignored") << QJsonObject{{QStringLiteral("ignore"), QJsonArray{QStringLiteral("identity")}}}
                                      << request(Telegram::IdentityRequest) << QList<int>{} << false;
    QTest::newRow("network truncated") << QJsonObject{{QStringLiteral("malformed"), QStringLiteral("truncated")}}
                                       << request(Telegram::NetworkRequest) << QList<int>{123} << false;
    QTest::newRow("setup oversized") << QJsonObject{{QStringLiteral("malformed"), QStringLiteral("oversized")}}
                                     << request(Telegram::SetupRequest) << QList<int>{131} << false;
    QTest::newRow("garbage before identity") << QJsonObject{{QStringLiteral("garbageDatagrams"), 2}}
                                             << request(Telegram::IdentityRequest) << QList<int>{5, 6, 130} << true;
}

void TestSimulatorLan::faultsOnTheWire()
{
    QFETCH(QJsonObject, faults);
    QFETCH(QByteArray, request);
    QFETCH(QList<int>, lengths);
    QFETCH(bool, lastAccepted);
    QVERIFY2(m_sim.start(SimulatorProcess::config({withFaults(gateway(10), faults)})), qPrintable(m_sim.errorString()));
    Requester tool;
    const QList<Received> replies = tool.exchange(request, Gateway10, qMax(1, int(lengths.size())));
    QList<int> got;
    for (const Received &r : replies)
        got += int(r.bytes.size());
    QCOMPARE(got, lengths);
    if (!replies.isEmpty())
        QCOMPARE(bool(AcceptIdentityReply(replies.last().bytes)), lastAccepted);
    QCOMPARE(m_sim.receivedDatagrams().size(), 1); // an ignored request is still logged
}

void TestSimulatorLan::delayedReply()
{
    QVERIFY2(m_sim.start(SimulatorProcess::config({withFaults(gateway(10), {{QStringLiteral("delayMs"), 400}})})),
             qPrintable(m_sim.errorString()));
    Requester tool;
    QElapsedTimer clock;
    clock.start();
    tool.send(request(Telegram::SetupRequest), Gateway10);
    QCOMPARE(tool.collect(1, 3000, 0).size(), 1);
    QVERIFY2(clock.elapsed() >= 390, qPrintable(QString::number(clock.elapsed())));
}

void TestSimulatorLan::logHoldsExactBytesInOrder()
{
    QVERIFY2(m_sim.start(SimulatorProcess::config({gateway(10), gateway(11)})), qPrintable(m_sim.errorString()));
    Requester tool;
    const QList<QPair<QByteArray, QHostAddress>> sent{
        {request(Telegram::DiscoveryRequest), LanBroadcast},
        {request(Telegram::IdentityRequest), Gateway10},
        {BuildIdentityWrite(0x00030001), QHostAddress(QStringLiteral("198.18.0.11"))},
        {BuildIpSetup(ParseDottedAddress(QStringLiteral("198.18.0.99")), 0x7F, 0x7F), LanBroadcast},
    };
    for (const auto &[bytes, to] : sent) {
        tool.send(bytes, to);
        tool.collect(1, 300, 0);
    }
    QVERIFY(m_sim.waitForDatagrams(4));
    const QList<QJsonObject> log = m_sim.receivedDatagrams();
    QCOMPARE(log.size(), 4);
    const QStringList to{QStringLiteral("broadcast"), QStringLiteral("198.18.0.10"), QStringLiteral("198.18.0.11"),
                         QStringLiteral("broadcast")};
    qint64 lastMsec = -1;
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(log[i].value(QStringLiteral("hex")).toString(), QString::fromLatin1(sent[i].first.toHex()));
        QCOMPARE(log[i].value(QStringLiteral("length")).toInt(), int(sent[i].first.size()));
        QCOMPARE(log[i].value(QStringLiteral("to")).toString(), to[i]);
        QCOMPARE(log[i].value(QStringLiteral("from")).toString(), QStringLiteral("198.18.0.1"));
        QCOMPARE(log[i].value(QStringLiteral("fromPort")).toInt(), int(Telegram::Port));
        QVERIFY(log[i].value(QStringLiteral("msec")).toInteger() >= lastMsec);
        lastMsec = log[i].value(QStringLiteral("msec")).toInteger();
        QVERIFY(QDateTime::fromString(log[i].value(QStringLiteral("time")).toString(), Qt::ISODateWithMs).isValid());
    }
    m_sim.clearLog();
    QVERIFY(m_sim.receivedDatagrams().isEmpty());
}

void TestSimulatorLan::saveKeepsWrites()
{
    QVERIFY2(m_sim.start(SimulatorProcess::config({gateway(10)}), 10000, true), qPrintable(m_sim.errorString()));
    Requester tool;
    tool.exchange(BuildIdentityWrite(0x00020001), Gateway10, 1);
    QVERIFY(Requester::waitUntil([&] {
        return m_sim.currentConfig().value(QStringLiteral("gateways")).toArray().first().toObject()
                   .value(QStringLiteral("type")).toString() == QLatin1String("0x00020001");
    }, 3000));
    // The saved file starts the next run with what was written.
    const QString path = m_sim.configPath();
    QVERIFY(m_sim.stop());
    QVERIFY2(m_sim.start(path), qPrintable(m_sim.errorString()));
    const QList<Received> replies = tool.exchange(request(Telegram::IdentityRequest), Gateway10);
    QCOMPARE(replies.size(), 1);
    QCOMPARE(AcceptIdentityReply(replies.first().bytes)->typeCode, 0x00020001u);
}

void TestSimulatorLan::addressesRemovedOnStop()
{
    QVERIFY2(m_sim.start(SimulatorProcess::config({gateway(10)})), qPrintable(m_sim.errorString()));
    Requester tool;
    QCOMPARE(tool.exchange(request(Telegram::IdentityRequest), Gateway10).size(), 1);
    QVERIFY(m_sim.stop());
    // A second run can take the same address again: nothing was left behind.
    QVERIFY2(m_sim.start(SimulatorProcess::config({gateway(10)})), qPrintable(m_sim.errorString()));
    QVERIFY(!m_sim.standardError().contains("cannot"));
    QCOMPARE(tool.exchange(request(Telegram::IdentityRequest), Gateway10).size(), 1);
}

void TestSimulatorLan::twoHundredFiftyThreeGateways()
{
    QList<QJsonObject> gateways;
    for (int host = 2; host <= 254; ++host)
        gateways += gateway(host);
    QElapsedTimer clock;
    clock.start();
    QVERIFY2(m_sim.start(SimulatorProcess::config(gateways), 30000), qPrintable(m_sim.errorString()));
    qInfo("253 gateways ready after %lld ms", clock.elapsed());
    Requester tool;
    const QList<Received> replies = tool.exchange(request(Telegram::DiscoveryRequest), LanBroadcast, 253);
    QSet<QString> sources;
    for (const Received &r : replies) {
        QVERIFY(AcceptDiscoveryReply(r.bytes));
        sources.insert(r.from);
    }
    QCOMPARE(replies.size(), 253);
    QCOMPARE(sources.size(), 253);
}

QTEST_GUILESS_MAIN(TestSimulatorLan)
#include "TestSimulatorLan.moc"
