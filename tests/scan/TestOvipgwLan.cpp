// ovipgw scan against simulated gateways, inside the virtual LAN of
// scripts/vlan.sh (CTest starts it there); elsewhere every test skips before
// a socket exists.

#include "FakeGatewaySocketOwner.h"
#include "GatewayListDialog.h"
#include "GatewayListPresentation.h"
#include "NoReplyDiagnosis.h"
#include "GatewayScanner.h"
#include "GatewaySocket.h"
#include "OvipgwCommand.h"
#include "ReplyWait.h"
#include "SimulatorProcess.h"
#include "StringTable.h"
#include "Telegrams.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

using namespace Qt::StringLiterals;

namespace {

const QString ToolAddress = u"198.18.0.1"_s;

QString ipOf(int host) { return u"198.18.0.%1"_s.arg(host); }
QString macOf(int host) { return u"00-50-C2-4A-01-%1"_s.arg(host, 2, 16, QLatin1Char('0')).toUpper(); }

QJsonObject withFaults(QJsonObject gateway, const QJsonObject &faults)
{
    gateway.insert(u"faults"_s, faults);
    return gateway;
}

struct CommandResult
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

CommandResult ovipgw(const QStringList &arguments)
{
    CommandResult result;
    result.status = OvipgwCommand::run(arguments, &result.out, &result.err);
    return result;
}

// "cells... | status" of every row, keyed by MAC, from the window's list.
QMap<QString, QString> windowRows(GatewayList &list)
{
    QMap<QString, QString> rows;
    for (int row = 0; row < list.count(); ++row) {
        QStringList cells;
        for (int column = 0; column < GatewayList::ColumnCount; ++column)
            cells.append(list.cellText(row, column));
        rows.insert(list.cellText(row, GatewayList::MacAddressColumn),
                    cells.join(u'|') + u" | "_s + QString::number(list.rowStatus(row)));
    }
    return rows;
}

// The same from ovipgw's JSON output.
QMap<QString, QString> jsonRows(const QByteArray &json, QJsonArray *gatewaysOut = nullptr)
{
    static const QStringList keys{u"type"_s,     u"ip"_s,       u"mac"_s,      u"mode"_s,
                                  u"port"_s,     u"remoteIp"_s, u"ipMask"_s,   u"firmware"_s,
                                  u"subnetGateway"_s, u"baudRate"_s, u"dataBits"_s, u"stopBits"_s,
                                  u"parity"_s,   u"flowControl"_s};
    static const QStringList statuses{u"discovered"_s,    u"unknownType"_s, u"noPassword"_s,
                                      u"wrongPassword"_s, u"passwordOk"_s,  u"corruptContent"_s};
    const QJsonArray gateways = QJsonDocument::fromJson(json).object().value(u"gateways"_s).toArray();
    if (gatewaysOut)
        *gatewaysOut = gateways;
    QMap<QString, QString> rows;
    for (const QJsonValue &value : gateways) {
        const QJsonObject object = value.toObject();
        QStringList cells;
        for (const QString &key : keys)
            cells.append(object.value(key).toString());
        rows.insert(object.value(u"mac"_s).toString(),
                    cells.join(u'|') + u" | "_s
                        + QString::number(statuses.indexOf(object.value(u"status"_s).toString())));
    }
    return rows;
}

// When (ms since the simulator started) each datagram arrived, by "to hex".
QHash<QString, QList<qint64>> requestTimes(const SimulatorProcess &sim)
{
    QHash<QString, QList<qint64>> times;
    for (const QJsonObject &entry : sim.receivedDatagrams())
        times[entry[u"to"_s].toString() + u' ' + entry[u"hex"_s].toString()].append(entry[u"msec"_s].toInteger());
    return times;
}

// A request is repeated only when the one before went unanswered for a
// retry interval (250 ms at the default timeout, less the jitter of delivery).
bool oneRequestInFlight(const QList<qint64> &times)
{
    for (qsizetype i = 1; i < times.size(); ++i) {
        if (times[i] - times[i - 1] < 200)
            return false;
    }
    return true;
}

// RcvbufErrors of this namespace: datagrams the kernel dropped because a
// socket's receive buffer was full.
qint64 receiveBufferErrors()
{
    QFile snmp(u"/proc/net/snmp"_s);
    if (!snmp.open(QIODevice::ReadOnly))
        return -1;
    QList<QByteArray> udp;
    for (const QByteArray &line : snmp.readAll().split('\n')) {
        if (line.startsWith("Udp: "))
            udp.append(line);
    }
    if (udp.size() < 2)
        return -1;
    const int column = int(udp[0].split(' ').indexOf("RcvbufErrors"));
    return column < 0 ? -1 : udp[1].split(' ').value(column).toLongLong();
}

// Unrelated traffic arriving with the replies: 300 small datagrams and a
// few large ones to the tool's port.
void flood()
{
    QUdpSocket sender;
    if (!sender.bind(QHostAddress(ToolAddress), 0))
        return;
    const QByteArray small(8, 'x');
    const QByteArray large(30000, 'y');
    for (int i = 0; i < 300; ++i)
        sender.writeDatagram(small, QHostAddress(ToolAddress), Telegram::Port);
    for (int i = 0; i < 4; ++i)
        sender.writeDatagram(large, QHostAddress(ToolAddress), Telegram::Port);
}

} // namespace

class TestOvipgwLan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!SimulatorProcess::available())
            QSKIP("needs the virtual LAN (scripts/vlan.sh) and the simulator");
    }
    void init() { StringTable::setCurrentLanguage(UiLanguage::English); }

    void demoRowsEqualTheWindowsRefresh();
    void lockedGatewayWithAndWithoutPassword();
    void lossDuplicatesLateAndMalformedReplies();
    void exitStatusesAndDiagnosis();
    void burstOf253GatewaysWithUnrelatedTraffic();
    void everyGatewayReadAtFivePercentLoss();
    void windowRowOutsideEverySubnetHasATooltip();
};

void TestOvipgwLan::demoRowsEqualTheWindowsRefresh()
{
    SimulatorProcess sim;
    QVERIFY2(sim.start(QStringLiteral(DEMO_GATEWAYS)), qPrintable(sim.errorString()));

    GatewayListDialog window;
    window.setVariant(0, 0);
    window.setBroadcastAddress(u"255.255.255.255"_s);
    window.show();
    QSignalSpy finished(&window, &GatewayListDialog::refreshFinished);
    window.OnInitDialog();
    QVERIFY(finished.wait(30000));
    const QMap<QString, QString> expected = windowRows(window.gatewayList());
    QCOMPARE(expected.size(), 7);

    const CommandResult json = ovipgw({u"scan"_s, u"--format"_s, u"json"_s});
    QCOMPARE(json.status, 0);
    QJsonArray gateways;
    QCOMPARE(jsonRows(json.out, &gateways), expected);
    for (const QJsonValue &gateway : gateways) {
        QCOMPARE(gateway[u"adapter"_s].toString(), u"gwlan0"_s);
        QVERIFY(gateway[u"inSubnet"_s].toBool());
    }

    const CommandResult table = ovipgw({u"scan"_s});
    QCOMPARE(table.status, 0);
    const QStringList lines = QString::fromUtf8(table.out).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1 + 7);
    QVERIFY(lines.first().startsWith(u"GW Type"_s));
    QVERIFY2(table.out.contains("198.18.0.12 (DHCP)"), table.out.constData());
    QVERIFY(table.err.isEmpty());
}

void TestOvipgwLan::lockedGatewayWithAndWithoutPassword()
{
    SimulatorProcess sim;
    QJsonObject locked = SimulatorProcess::gateway(ipOf(20), macOf(20), 0x00000003);
    locked.insert(u"password"_s, u"orvano"_s);
    QVERIFY2(sim.start(SimulatorProcess::config({locked})), qPrintable(sim.errorString()));

    for (const auto &[arguments, status, port] :
         {std::tuple{QStringList{u"scan"_s, u"--format=json"_s}, u"wrongPassword"_s, QString()},
          std::tuple{QStringList{u"scan"_s, u"--format=json"_s, u"--password"_s, u"orvano"_s},
                     u"passwordOk"_s, u"10001"_s}}) {
        const CommandResult result = ovipgw(arguments);
        QCOMPARE(result.status, 0);
        const QJsonObject row =
            QJsonDocument::fromJson(result.out).object()[u"gateways"_s].toArray().first().toObject();
        QCOMPARE(row[u"status"_s].toString(), status);
        QCOMPARE(row[u"port"_s].toString(), port);
    }
}

void TestOvipgwLan::lossDuplicatesLateAndMalformedReplies()
{
    SimulatorProcess sim;
    QVERIFY2(sim.start(SimulatorProcess::config({
                 withFaults(SimulatorProcess::gateway(ipOf(30), macOf(30)), {{u"discoveryReplies"_s, 2}}),
                 withFaults(SimulatorProcess::gateway(ipOf(31), macOf(31)), {{u"ignore"_s, QJsonArray{u"network"_s}}}),
                 withFaults(SimulatorProcess::gateway(ipOf(32), macOf(32)), {{u"ignore"_s, QJsonArray{u"identity"_s}}}),
                 withFaults(SimulatorProcess::gateway(ipOf(33), macOf(33)), {{u"delayMs"_s, 1500}}),
                 withFaults(SimulatorProcess::gateway(ipOf(34), macOf(34)), {{u"garbageDatagrams"_s, 3}}),
                 withFaults(SimulatorProcess::gateway(ipOf(35), macOf(35)), {{u"setupReply"_s, u"badChecksum"_s}}),
                 withFaults(SimulatorProcess::gateway(ipOf(36), macOf(36)), {{u"malformed"_s, u"truncated"_s}}),
             })),
             qPrintable(sim.errorString()));

    const CommandResult result = ovipgw({u"scan"_s, u"--format=json"_s, u"--timeout=1000"_s});
    QCOMPARE(result.status, int(OvipgwCommand::NotAllRead));
    QMap<QString, QJsonObject> byIp;
    for (const QJsonValue &value : QJsonDocument::fromJson(result.out).object()[u"gateways"_s].toArray())
        byIp.insert(value[u"ip"_s].toString(), value.toObject());

    // Answered twice: listed once. Late (after the search time) or one byte
    // short: not listed.
    QCOMPARE(byIp.keys(), (QStringList{ipOf(30), ipOf(31), ipOf(32), ipOf(34), ipOf(35)}));
    QCOMPARE(byIp[ipOf(30)][u"port"_s].toString(), u"10001"_s);
    // The unanswered network request is repeated until the reads end; the
    // row keeps its identity and is marked incomplete.
    QCOMPARE(byIp[ipOf(31)][u"status"_s].toString(), u"noPassword"_s);
    QCOMPARE(byIp[ipOf(31)][u"subnetGateway"_s].toString(), QString());
    // No identity at all: unknown.
    QCOMPARE(byIp[ipOf(32)][u"status"_s].toString(), u"unknownType"_s);
    QCOMPARE(byIp[ipOf(32)][u"type"_s].toString(), u"???"_s);
    QCOMPARE(byIp[ipOf(34)][u"baudRate"_s].toString(), u"9600"_s);
    // A corrupt configuration is what the gateway holds: read completely.
    QCOMPARE(byIp[ipOf(35)][u"status"_s].toString(), u"corruptContent"_s);
    for (auto row = byIp.cbegin(); row != byIp.cend(); ++row)
        QCOMPARE(row->value(u"complete"_s).toBool(), row.key() != ipOf(31) && row.key() != ipOf(32));

    // Sent again every 250 ms up to 400 ms past the timeout, one at a time;
    // the gateway answering twice is read once.
    const QHash<QString, QList<qint64>> requests = requestTimes(sim);
    for (const QString &unanswered : {ipOf(31) + u" 000000f8"_s, ipOf(32) + u" 000000e5"_s}) {
        const QList<qint64> times = requests.value(unanswered);
        QVERIFY2(times.size() >= 4 && times.size() <= 6, qPrintable(QString::number(times.size())));
        QVERIFY(oneRequestInFlight(times));
    }
    QCOMPARE(requests.value(ipOf(30) + u" 000000e5"_s).size(), 1);
}

void TestOvipgwLan::exitStatusesAndDiagnosis()
{
    // Nobody answers.
    const CommandResult none = ovipgw({u"scan"_s, u"--timeout=300"_s});
    QCOMPARE(none.status, 1);
    QVERIFY(none.out.isEmpty());
    QVERIFY2(none.err.startsWith("No reply via 198.18.0.255 (gwlan0). Likely: a firewall"), none.err.constData());

    const CommandResult noneJson = ovipgw({u"scan"_s, u"--timeout=300"_s, u"--format=json"_s});
    QCOMPARE(noneJson.status, 1);
    const QJsonObject root = QJsonDocument::fromJson(noneJson.out).object();
    QCOMPARE(root[u"gateways"_s].toArray().size(), 0);
    QCOMPARE(root[u"diagnosis"_s].toString().toUtf8() + '\n', noneJson.err);

    // The port is held by another program.
    QUdpSocket holder;
    QVERIFY(holder.bind(QHostAddress::AnyIPv4, Telegram::Port, QAbstractSocket::DontShareAddress));
    StringTable::setCurrentLanguage(UiLanguage::German);
    const CommandResult taken = ovipgw({u"scan"_s, u"--format=json"_s});
    QCOMPARE(taken.status, 3);
    QVERIFY(taken.out.isEmpty());
    QCOMPARE(QString::fromUtf8(taken.err), StringTable::text(214, UiLanguage::German) + u'\n');
}

void TestOvipgwLan::burstOf253GatewaysWithUnrelatedTraffic()
{
    SimulatorProcess sim;
    sim.setExtraArguments({u"--unpaced"_s});
    QList<QJsonObject> gateways;
    for (int host = 2; host <= 254; ++host)
        gateways.append(SimulatorProcess::gateway(ipOf(host), macOf(host)));
    QVERIFY2(sim.start(SimulatorProcess::config(gateways), 30000), qPrintable(sim.errorString()));
    const qint64 dropsBefore = receiveBufferErrors();
    QVERIFY(dropsBefore >= 0);

    // The window's discovery.
    FakeGatewaySocketOwner owner;
    {
        GatewaySocket discovery(owner);
        QVERIFY(discovery.SendDiscover(u"255.255.255.255"_s, {u"198.18.0.255"_s}));
        flood();
        waitForReplies(owner, 1000);
        discovery.Close();
    }
    QCOMPARE(owner.gatewayList().count(), 253);

    // The scan, with the same traffic right after its discovery.
    QTimer::singleShot(0, &flood);
    const CommandResult result = ovipgw({u"scan"_s, u"--format=json"_s});
    QCOMPARE(result.status, 0);
    const QJsonArray rows = QJsonDocument::fromJson(result.out).object()[u"gateways"_s].toArray();
    QCOMPARE(rows.size(), 253);
    for (const QJsonValue &row : rows)
        QCOMPARE(row[u"port"_s].toString(), u"10001"_s);

    QCOMPARE(receiveBufferErrors(), dropsBefore);
}

void TestOvipgwLan::everyGatewayReadAtFivePercentLoss()
{
    // The seed fixes which replies each gateway loses: the run repeats.
    SimulatorProcess sim;
    sim.setExtraArguments({u"--unpaced"_s, u"--loss"_s, u"5"_s, u"--seed"_s, u"4711"_s});
    QList<QJsonObject> gateways;
    for (int host = 2; host <= 241; ++host)
        gateways.append(SimulatorProcess::gateway(ipOf(host), macOf(host)));
    QVERIFY2(sim.start(SimulatorProcess::config(gateways), 30000), qPrintable(sim.errorString()));

    QElapsedTimer clock;
    clock.start();
    const CommandResult result = ovipgw({u"scan"_s, u"--format=json"_s});
    const qint64 wallMs = clock.elapsed();
    QCOMPARE(result.status, int(OvipgwCommand::Found));
    const QJsonArray rows = QJsonDocument::fromJson(result.out).object()[u"gateways"_s].toArray();
    QCOMPARE(rows.size(), 240);
    for (const QJsonValue &row : rows) {
        QCOMPARE(row[u"port"_s].toString(), u"10001"_s);
        QVERIFY(row[u"complete"_s].toBool());
    }
    QVERIFY2(wallMs <= 1500, qPrintable(QString::number(wallMs)));

    // Replies were lost and made up for: more than four discoveries and
    // three reads per gateway reached the gateways.
    QVERIFY(sim.receivedDatagrams().size() > 4 + 3 * 240);
}

void TestOvipgwLan::windowRowOutsideEverySubnetHasATooltip()
{
    GatewayList list;
    list.setCellText(list.appendRow(), GatewayList::IpAddressColumn, ipOf(12) + u" (DHCP)"_s);
    list.setCellText(list.appendRow(), GatewayList::IpAddressColumn, u"10.9.8.7"_s);
    GatewayListPresentation presentation({});
    presentation.setSourceModel(&list);
    QCOMPARE(presentation.index(0, 2).data(Qt::ToolTipRole).toString(), QString());
    for (int column : {0, 1, 5})
        QCOMPARE(presentation.index(1, column).data(Qt::ToolTipRole).toString(),
                 NoReplyDiagnosis::outsideSubnetText());
}

QTEST_MAIN(TestOvipgwLan)
#include "TestOvipgwLan.moc"
