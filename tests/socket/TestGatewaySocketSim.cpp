// GatewaySocket's requests to one gateway against the simulator on the
// virtual LAN: the read chain and the three writes. The simulator's log shows
// exactly what reached the gateway.

#include "FakeGatewaySocketOwner.h"
#include "GatewaySocket.h"
#include "ReplyWait.h"
#include "WriteExchanges.h"

#include <QElapsedTimer>
#include "SimGateways.h"
#include "SocketOptions.h"
#include "StringTable.h"

#include <QTest>

#include <memory>

using namespace SimGateways;

namespace {
const QString Kept = QStringLiteral("kept");
}

class TestGatewaySocketSim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void readChain_data();
    void readChain();
    void rejectedSetupReply_data();
    void rejectedSetupReply();
    void rejectedIdentityReply_data();
    void rejectedIdentityReply();
    void networkWriteChain();
    void setupWrite_data();
    void setupWrite();
    void identityWrite();

private:
    void startSimulator(const QList<QJsonObject> &gateways);
    // A row as discovery leaves it, with a marker in the mask column.
    int addDiscoveredRow(const QString &ip = GatewayIp, const QString &mac = GatewayMac);
    // One row's read, as the main window runs it; returns the wait's length.
    qint64 readRow(int row);
    QStringList received(int atLeast);

    std::unique_ptr<FakeGatewaySocketOwner> m_owner;
    std::unique_ptr<SimulatorProcess> m_sim;
};

void TestGatewaySocketSim::initTestCase()
{
    if (!SimulatorProcess::available())
        QSKIP("needs the virtual LAN (run through ctest -L netns)");
    StringTable::setCurrentLanguage(UiLanguage::English);
}

void TestGatewaySocketSim::init()
{
    m_owner = std::make_unique<FakeGatewaySocketOwner>();
}

void TestGatewaySocketSim::cleanup()
{
    if (m_sim)
        QVERIFY2(m_sim->stop(), m_sim->standardError().constData());
    m_sim.reset();
    m_owner.reset();
}

void TestGatewaySocketSim::startSimulator(const QList<QJsonObject> &gateways)
{
    m_sim = std::make_unique<SimulatorProcess>();
    QVERIFY2(m_sim->start(SimulatorProcess::config(gateways)),
             qPrintable(m_sim->errorString() + QString::fromUtf8(m_sim->standardError())));
}

int TestGatewaySocketSim::addDiscoveredRow(const QString &ip, const QString &mac)
{
    GatewayList &list = m_owner->gatewayList();
    const int row = list.appendRow();
    list.setCellText(row, GatewayList::IpAddressColumn, ip);
    list.setCellText(row, GatewayList::MacAddressColumn, mac);
    list.setCellText(row, GatewayList::IpMaskColumn, Kept);
    return row;
}

qint64 TestGatewaySocketSim::readRow(int row)
{
    GatewaySocket socket(*m_owner, row);
    if (!socket.SendReadIdentity())
        return -1;
    const qint64 elapsed = waitForReplies(*m_owner, 1000);
    socket.Close();
    return elapsed;
}

QStringList TestGatewaySocketSim::received(int atLeast)
{
    return receivedTelegrams(*m_sim, atLeast);
}

void TestGatewaySocketSim::readChain_data()
{
    QTest::addColumn<QJsonObject>("changes");
    QTest::addColumn<quint32>("typeFilter");
    QTest::addColumn<QString>("password"); // empty: protection off
    QTest::addColumn<RowStatus>("status");
    QTest::addColumn<QStringList>("cells");

    const QString ip = GatewayIp;
    const QString mac = GatewayMac;
    const QStringList plain{KnxName, ip, mac, QStringLiteral("TCP-Server"), QStringLiteral("10001"),
                            QStringLiteral("0.0.0.0"), QStringLiteral("0.0.0.0"), QString(),
                            QStringLiteral("Host-Bits: 8"), QStringLiteral("9600"), QStringLiteral("8"),
                            QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("0")};
    QTest::newRow("plain") << QJsonObject() << 0u << QString() << RowStatus::NoPassword << plain;
    QTest::newRow("variant filter admits the type")
        << QJsonObject() << KnxType << QString() << RowStatus::NoPassword << plain;
    QTest::newRow("garbage before every reply")
        << faultsWith({{QStringLiteral("garbageDatagrams"), 3}}) << 0u << QString()
        << RowStatus::NoPassword << plain;
    QTest::newRow("slow replies")
        << faultsWith({{QStringLiteral("delayMs"), 150}}) << 0u << QString() << RowStatus::NoPassword << plain;

    QTest::newRow("gateway, serial line, UDP Active")
        << QJsonObject{{QStringLiteral("hostBits"), 16},
                       {QStringLiteral("defaultGateway"), QStringLiteral("198.18.0.1")},
                       {QStringLiteral("setup"),
                        QJsonObject{{QStringLiteral("mode"), 2}, {QStringLiteral("port"), 40001},
                                    {QStringLiteral("remote"), QStringLiteral("198.18.0.20")},
                                    {QStringLiteral("mask"), QStringLiteral("255.255.255.0")},
                                    {QStringLiteral("baudRate"), 921600}, {QStringLiteral("dataBits"), 7},
                                    {QStringLiteral("stopBits"), 2}, {QStringLiteral("parity"), 2},
                                    {QStringLiteral("flowControl"), 1}}}}
        << 0u << QString() << RowStatus::NoPassword
        << QStringList{KnxName, ip, mac, QStringLiteral("UDP Active"), QStringLiteral("40001"),
                       QStringLiteral("198.18.0.20"), QStringLiteral("255.255.255.0"), QString(),
                       QStringLiteral("Host-Bits: 16 / GW: 198.18.0.1"), QStringLiteral("921600"),
                       QStringLiteral("7"), QStringLiteral("2"), QStringLiteral("2"), QStringLiteral("1")};

    QStringList dhcp = plain;
    dhcp[1] = ip + QStringLiteral(" (DHCP)");
    dhcp[8] = QStringLiteral("Host-Bits: 0");
    QTest::newRow("DHCP: suffix, no host bits, setup still read")
        << QJsonObject{{QStringLiteral("dhcp"), true}} << 0u << QString() << RowStatus::NoPassword << dhcp;

    QStringList client = plain;
    client[3] = QStringLiteral("TCP-Client");
    client[6] = Kept;
    QTest::newRow("TCP-Client leaves the mask column")
        << setupWith({{QStringLiteral("mode"), 1}, {QStringLiteral("mask"), QStringLiteral("255.0.0.0")}})
        << 0u << QString() << RowStatus::NoPassword << client;

    QStringList mode9 = plain;
    mode9[3] = QStringLiteral("UDP Passive");
    mode9[6] = QStringLiteral("255.255.0.0");
    QTest::newRow("mode 9 shown as UDP Passive")
        << setupWith({{QStringLiteral("mode"), 9}, {QStringLiteral("mask"), QStringLiteral("255.255.0.0")}})
        << 0u << QString() << RowStatus::NoPassword << mode9;

    QTest::newRow("locked with the tool's password")
        << QJsonObject{{QStringLiteral("password"), QStringLiteral("Geheim-1")}} << 0u
        << QStringLiteral("Geheim-1") << RowStatus::PasswordOk << plain;
}

void TestGatewaySocketSim::readChain()
{
    QFETCH(QJsonObject, changes);
    QFETCH(quint32, typeFilter);
    QFETCH(QString, password);
    QFETCH(RowStatus, status);
    QFETCH(QStringList, cells);
    startSimulator({gatewayWith(changes)});
    m_owner->setTypeFilter(typeFilter);
    m_owner->setPasswordProtection(!password.isEmpty());
    m_owner->setPassword(password);
    const int row = addDiscoveredRow();

    const qint64 elapsed = readRow(row);
    QVERIFY(elapsed >= 0);
    // Ended by the completion, well before the full second.
    QVERIFY2(elapsed < 900, qPrintable(QString::number(elapsed)));
    QCOMPARE(m_owner->completions(), 1);

    const GatewayList &list = m_owner->gatewayList();
    QStringList actual;
    for (int column = 0; column < GatewayList::ColumnCount; ++column)
        actual += list.cellText(row, column);
    QCOMPARE(actual, cells);
    QCOMPARE(list.rowStatus(row), int(status));
    QCOMPARE(list.typeCode(row), KnxType);

    // One request of each kind, each to the row's address, in chain order.
    QCOMPARE(received(3), (QStringList{GatewayIp + QStringLiteral(" 000000e5"),
                                       GatewayIp + QStringLiteral(" 000000f8"),
                                       GatewayIp + QStringLiteral(" 000000e6")}));
}

void TestGatewaySocketSim::rejectedSetupReply_data()
{
    QTest::addColumn<QJsonObject>("changes");
    QTest::addColumn<QString>("password"); // empty: protection off
    QTest::addColumn<RowStatus>("status");

    const auto setupFault = [](const char *fault) {
        return faultsWith({{QStringLiteral("setupReply"), QString::fromLatin1(fault)}});
    };
    QTest::newRow("bad checksum") << setupFault("badChecksum") << QString() << RowStatus::CorruptContent;
    QTest::newRow("other MAC") << setupFault("wrongMac") << QString() << RowStatus::CorruptContent;
    QTest::newRow("other type") << setupFault("wrongType") << QString() << RowStatus::CorruptContent;
    QTest::newRow("format marker not 1") << setupFault("badMarker") << QString() << RowStatus::CorruptContent;
    const QJsonObject locked{{QStringLiteral("password"), QStringLiteral("Geheim-1")}};
    QTest::newRow("locked, protection off") << locked << QString() << RowStatus::WrongPassword;
    QTest::newRow("locked, other password") << locked << QStringLiteral("Geheim-2") << RowStatus::WrongPassword;
    QTest::newRow("locked, password differs in case")
        << locked << QStringLiteral("geheim-1") << RowStatus::WrongPassword;
}

void TestGatewaySocketSim::rejectedSetupReply()
{
    QFETCH(QJsonObject, changes);
    QFETCH(QString, password);
    QFETCH(RowStatus, status);
    startSimulator({gatewayWith(changes)});
    m_owner->setPasswordProtection(!password.isEmpty());
    m_owner->setPassword(password);
    const int row = addDiscoveredRow();

    // No completion: the wait runs its full second.
    QVERIFY(readRow(row) >= 1000);
    QCOMPARE(m_owner->completions(), 0);
    const GatewayList &list = m_owner->gatewayList();
    QCOMPARE(list.rowStatus(row), int(status));
    QCOMPARE(list.cellText(row, GatewayList::TypeColumn), KnxName);
    QCOMPARE(list.cellText(row, GatewayList::SubnetGatewayColumn), QStringLiteral("Host-Bits: 8"));
    for (int column : {3, 4, 5, 9, 10, 11, 12, 13})
        QVERIFY2(list.cellText(row, column).isEmpty(), qPrintable(QString::number(column)));
    QCOMPARE(list.cellText(row, GatewayList::IpMaskColumn), Kept);
    QCOMPARE(received(3).size(), 3);
}

void TestGatewaySocketSim::rejectedIdentityReply_data()
{
    QTest::addColumn<QJsonObject>("changes");
    QTest::addColumn<quint32>("typeFilter");

    QTest::newRow("type not in the table")
        << QJsonObject{{QStringLiteral("type"), QStringLiteral("0x00990001")}} << 0u;
    QTest::newRow("type outside the variant's filter") << QJsonObject() << 0x00020001u;
    QTest::newRow("foreign company")
        << QJsonObject{{QStringLiteral("company"), QStringLiteral("Someone Else Geraetebau GmbH")}} << 0u;
    QTest::newRow("company text in other case")
        << QJsonObject{{QStringLiteral("company"),
                        QStringLiteral("ORVANO Geraetebau- und Netzwerksysteme GmbH")}}
        << 0u;
    QTest::newRow("truncated replies") << faultsWith({{QStringLiteral("malformed"), QStringLiteral("truncated")}})
                                       << 0u;
    QTest::newRow("oversized replies") << faultsWith({{QStringLiteral("malformed"), QStringLiteral("oversized")}})
                                       << 0u;
}

void TestGatewaySocketSim::rejectedIdentityReply()
{
    QFETCH(QJsonObject, changes);
    QFETCH(quint32, typeFilter);
    startSimulator({gatewayWith(changes)});
    m_owner->setTypeFilter(typeFilter);
    const int row = addDiscoveredRow();

    QVERIFY(readRow(row) >= 1000);
    const GatewayList &list = m_owner->gatewayList();
    QCOMPARE(list.cellText(row, GatewayList::TypeColumn), QStringLiteral("???"));
    QCOMPARE(list.rowStatus(row), int(RowStatus::Discovered));
    QCOMPARE(list.typeCode(row), 0u);
    QCOMPARE(m_owner->completions(), 0);
    // No network request follows.
    QCOMPARE(received(1), QStringList{GatewayIp + QStringLiteral(" 000000e5")});
}

void TestGatewaySocketSim::networkWriteChain()
{
    // The gateway's record with recognisable bytes wherever the tool must not
    // interpret: mode 1 (fixed), 8-9, 11-15 and 20-123.
    QByteArray record(Telegram::NetworkRecordSize, '\0');
    for (int i = 0; i < record.size(); ++i)
        record[i] = char(0x40 + i);
    record.replace(0, 8, QByteArray::fromHex("000000f901000000"));
    record[10] = char(8);
    record.replace(16, 4, QByteArray::fromHex("c6120001"));
    startSimulator({gatewayWith({{QStringLiteral("networkRecord"), QString::fromLatin1(record.toHex())}})});

    WriteExchanges::Target target;
    target.destination = GatewayIp + QStringLiteral(" (DHCP)");
    target.values.hostBits = 16;
    target.values.defaultGateway = ParseDottedAddress(QStringLiteral("198.18.0.254"));
    {
        WriteExchanges writes(QString(), WriteExchanges::loopWait());
        QElapsedTimer clock;
        clock.start();
        // The wait ends shortly after the acknowledgement, not after 8 s.
        QCOMPARE(writes.network({target}), QList<bool>{true});
        QVERIFY(clock.elapsed() < 2000);
        QCOMPARE(writes.acknowledged(), QList<bool>{true});
    }

    QByteArray write = record;
    write[3] = char(0xFA);
    write[10] = char(16);
    write.replace(16, 4, QByteArray::fromHex("c61200fe"));
    QCOMPARE(received(2), (QStringList{GatewayIp + QStringLiteral(" 000000f8"),
                                       GatewayIp + QLatin1Char(' ') + QString::fromLatin1(write.toHex())}));

    // What the gateway now reports.
    const int row = addDiscoveredRow();
    QVERIFY(readRow(row) < 900);
    QCOMPARE(m_owner->gatewayList().cellText(row, GatewayList::SubnetGatewayColumn),
             QStringLiteral("Host-Bits: 16 / GW: 198.18.0.254"));
}

void TestGatewaySocketSim::setupWrite_data()
{
    QTest::addColumn<QString>("password"); // empty: protection off
    QTest::addColumn<RowStatus>("status");
    QTest::newRow("unprotected") << QString() << RowStatus::NoPassword;
    QTest::newRow("locked with a password") << QStringLiteral("Geheim-1") << RowStatus::PasswordOk;
}

void TestGatewaySocketSim::setupWrite()
{
    QFETCH(QString, password);
    QFETCH(RowStatus, status);
    startSimulator({gatewayWith({})});
    m_owner->setPasswordProtection(!password.isEmpty());
    m_owner->setPassword(password);

    WriteExchanges::Target target;
    target.mac = QStringLiteral("0050C24A000A");
    target.destination = GatewayIp;
    target.lock = !password.isEmpty();
    GatewayReading &values = target.values;
    values.typeCode = KnxType;
    values.modeByte = 3;
    values.port = 40002;
    values.remoteAddress = ParseDottedAddress(QStringLiteral("198.18.0.30"));
    values.remoteMask = ParseDottedAddress(QStringLiteral("255.255.255.0"));
    values.baudRate = 57600;
    values.dataBits = 7;
    values.stopBits = 2;
    values.parity = 1;
    values.flowControl = 1;
    WriteExchanges writes(password, WriteExchanges::loopWait());
    QVERIFY(writes.beginSetup({target}));
    QVERIFY(m_sim->waitForDatagrams(1));
    writes.end();

    const QList<QJsonObject> log = m_sim->receivedDatagrams();
    QCOMPARE(log.size(), 1);
    QCOMPARE(log[0].value(QStringLiteral("to")).toString(), GatewayIp);
    const QByteArray sent = m_sim->receivedBytes().value(0);
    QCOMPARE(sent.size(), Telegram::SetupRecordSize);
    QCOMPARE(sent.left(16).toHex(), QByteArray("000000c60103429c1e0012c600ffffff"));
    QCOMPARE(sent.mid(17, 10).toHex(), QByteArray("0050c24a000a01000100"));
    QCOMPARE(sent.mid(63, 8).toHex(), QByteArray("00e1000007020101"));
    QCOMPARE(quint8(sent[16]), SetupChecksum(sent));
    const std::optional<SetupRecord> fields = DecodeSetupRecord(sent);
    QVERIFY(fields);
    QCOMPARE(fields->digest, password.isEmpty() ? 0u : PasswordDigest(sent, password));

    // Read back: the gateway keeps what it was sent.
    const int row = addDiscoveredRow();
    QVERIFY(readRow(row) < 900);
    const GatewayList &list = m_owner->gatewayList();
    QCOMPARE(list.rowStatus(row), int(status));
    QCOMPARE(list.cellText(row, GatewayList::ModeColumn), QStringLiteral("UDP Passive"));
    QCOMPARE(list.cellText(row, GatewayList::PortColumn), QStringLiteral("40002"));
    QCOMPARE(list.cellText(row, GatewayList::RemoteIpColumn), QStringLiteral("198.18.0.30"));
    QCOMPARE(list.cellText(row, GatewayList::IpMaskColumn), QStringLiteral("255.255.255.0"));
    QCOMPARE(list.cellText(row, GatewayList::BaudRateColumn), QStringLiteral("57600"));
}

void TestGatewaySocketSim::identityWrite()
{
    startSimulator({gatewayWith({})});
    WriteExchanges::Target target;
    target.destination = GatewayIp;
    target.values.typeCode = 0x00020001;
    WriteExchanges writes(QString(), WriteExchanges::loopWait());
    QVERIFY(writes.beginIdentity({target}));
    QVERIFY(m_sim->waitForDatagrams(1));
    writes.end();

    const QByteArray company("Orvano Geraetebau- und Netzwerksysteme GmbH");
    const QByteArray golden = QByteArray::fromHex("000000c501000200") + company
        + QByteArray(Telegram::IdentityRecordSize - 8 - company.size(), '\0');
    QCOMPARE(received(1), QStringList{GatewayIp + QLatin1Char(' ') + QString::fromLatin1(golden.toHex())});
}

QTEST_GUILESS_MAIN(TestGatewaySocketSim)
#include "TestGatewaySocketSim.moc"
