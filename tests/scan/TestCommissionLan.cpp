// ovipgw's writing commands against simulated gateways in the virtual LAN:
// what reaches the gateways, what they report afterwards, the exit status
// and the journal.

#include "OvipgwCommand.h"
#include "SimulatorProcess.h"
#include "StringTable.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QString ipOf(int host) { return u"198.18.0.%1"_s.arg(host); }
QString macOf(int host) { return u"00-50-C2-4A-02-%1"_s.arg(host, 2, 16, QLatin1Char('0')).toUpper(); }

struct Result
{
    int status = -1;
    QJsonObject json;
    QByteArray err;
};

Result ovipgw(QStringList arguments)
{
    arguments << u"--format"_s << u"json"_s;
    QByteArray out;
    Result result;
    result.status = OvipgwCommand::run(arguments, &out, &result.err);
    result.json = QJsonDocument::fromJson(out.isEmpty() ? result.err : out).object();
    return result;
}

// Telegram codes the gateways received, e.g. "c6@198.18.0.10".
QStringList writes(const SimulatorProcess &sim)
{
    QStringList codes;
    for (const QJsonObject &entry : sim.receivedDatagrams()) {
        const QString code = entry.value(u"hex"_s).toString().mid(6, 2);
        // The reads of the scans before and after are not writes.
        if (code == u"fc"_s || code == u"c5"_s || code == u"c6"_s || code == u"fa"_s)
            codes.append(code + u'@' + entry.value(u"to"_s).toString());
    }
    return codes;
}

// What the simulator stores of a gateway, but for the raw records it keeps
// once written (the setup record's filler is random by design).
QJsonObject storedGateway(const SimulatorProcess &sim, int index)
{
    QJsonObject gateway = sim.currentConfig().value(u"gateways"_s).toArray().at(index).toObject();
    gateway.remove(u"setupRecord"_s);
    gateway.remove(u"networkRecord"_s);
    return gateway;
}

// The simulated gateways all answer the link with the one MAC address of
// their namespace's interface, so an address a gateway left a moment ago
// still looks held by another device while the kernel's entry is fresh.
// Real gateways answer with their own MAC. Forget the entries first.
void forgetNeighbours()
{
    QProcess::execute(u"ip"_s, {u"neigh"_s, u"flush"_s, u"all"_s});
}

} // namespace

class TestCommissionLan : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!SimulatorProcess::available())
            QSKIP("needs the virtual LAN (scripts/vlan.sh) and the simulator");
        StringTable::setCurrentLanguage(UiLanguage::English);
    }

    void setWritesOnlyChangesAfterASnapshotAndRestores()
    {
        QTemporaryDir state;
        qputenv("XDG_STATE_HOME", state.path().toUtf8());
        SimulatorProcess sim;
        QVERIFY2(sim.start(SimulatorProcess::config({SimulatorProcess::gateway(ipOf(10), macOf(10)),
                                                     SimulatorProcess::gateway(ipOf(11), macOf(11))}),
                           10000, true),
                 qPrintable(sim.errorString()));
        const QJsonObject original = storedGateway(sim, 0);

        // The port only: one setup write, confirmed field by field.
        Result r = ovipgw({u"set"_s, macOf(10), u"--port"_s, u"10005"_s});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.json.value(u"result"_s).toString(), u"confirmed"_s);
        QCOMPARE(writes(sim), QStringList{u"c6@"_s + ipOf(10)});
        QCOMPARE(r.json.value(u"reported"_s).toObject().value(u"port"_s).toInt(), 10005);

        // Safe to run again: nothing to send.
        sim.clearLog();
        r = ovipgw({u"set"_s, macOf(10), u"--port"_s, u"10005"_s});
        QCOMPARE(r.json.value(u"result"_s).toString(), u"nothingToWrite"_s);
        QCOMPARE(writes(sim), QStringList());

        // An address a listed gateway has, or another device answers on: refused.
        QCOMPARE(ovipgw({u"set"_s, macOf(10), u"--ip"_s, ipOf(11)}).status, 5);
        QCOMPARE(QProcess::execute(u"ip"_s, {u"netns"_s, u"exec"_s, qEnvironmentVariable("GWLAN_GATEWAY_NS"), u"ip"_s,
                                             u"addr"_s, u"add"_s, ipOf(50) + u"/24"_s, u"dev"_s,
                                             qEnvironmentVariable("GWLAN_GATEWAY_IF")}),
                 0);
        r = ovipgw({u"set"_s, macOf(10), u"--ip"_s, ipOf(50)});
        QCOMPARE(r.status, 5);
        QVERIFY(r.err.contains(ipOf(50).toUtf8()));
        QCOMPARE(r.json.value(u"addressCheck"_s).toString(), u"taken"_s);
        // This computer's own address, which the link never reports.
        r = ovipgw({u"set"_s, macOf(10), u"--ip"_s, ipOf(1)});
        QCOMPARE(r.status, 5);
        QCOMPARE(r.json.value(u"addressCheck"_s).toString(), u"taken"_s);
        QVERIFY2(r.json.value(u"resultText"_s).toString().contains(u"this computer (adapter "_s), r.err.constData());
        // The subnet's own ends lose a gateway: usage errors, before anything.
        for (const QStringList &arguments : {QStringList{u"set"_s, macOf(10), u"--ip"_s, ipOf(255)},
                                             QStringList{u"set"_s, macOf(10), u"--ip"_s, ipOf(0)},
                                             QStringList{u"reset"_s, macOf(10).right(5), ipOf(255)}})
            QCOMPARE(ovipgw(arguments).status, 2);
        QCOMPARE(writes(sim), QStringList());

        // A new address, then DHCP: IP-SETUP first, the rest to the new address.
        r = ovipgw({u"set"_s, macOf(10), u"--ip"_s, ipOf(60), u"--mode"_s, u"udp-active"_s});
        QCOMPARE(r.status, 0);
        QCOMPARE(writes(sim), (QStringList{u"fc@broadcast"_s, u"c6@"_s + ipOf(60)}));
        r = ovipgw({u"set"_s, macOf(10), u"--ip"_s, u"dhcp"_s});
        QCOMPARE(r.status, 0);
        QVERIFY(r.json.value(u"reported"_s).toObject().value(u"dhcp"_s).toBool());

        // Back to the first snapshot: address, mode and port as they were.
        forgetNeighbours();
        r = ovipgw({u"restore"_s, macOf(10), u"--at"_s, u"1"_s});
        QCOMPARE(r.status, 0);
        const QJsonObject restored = r.json.value(u"reported"_s).toObject();
        QCOMPARE(restored.value(u"ip"_s).toString(), ipOf(10));
        QCOMPARE(restored.value(u"dhcp"_s).toBool(), false);
        QCOMPARE(restored.value(u"mode"_s).toString(), u"tcp-server"_s);
        QCOMPARE(restored.value(u"port"_s).toInt(), 10001);
        QCOMPARE(storedGateway(sim, 0), original);
        QByteArray history;
        QByteArray err;
        OvipgwCommand::run({u"history"_s, macOf(10), u"--format"_s, u"json"_s}, &history, &err);
        QCOMPARE(QJsonDocument::fromJson(history).object().value(u"writes"_s).toArray().size(), 4);
        QByteArray ignored;

        // The gateway outside every subnet, by the end of its MAC address.
        sim.clearLog();
        QByteArray resetOut;
        QCOMPARE(OvipgwCommand::run({u"reset"_s, macOf(10).right(5), ipOf(70)}, &resetOut, &ignored), 0);
        QCOMPARE(writes(sim), QStringList{u"fc@broadcast"_s});
        r = ovipgw({u"set"_s, macOf(10), u"--port"_s, u"10001"_s});
        QCOMPARE(r.json.value(u"read"_s).toObject().value(u"ip"_s).toString(), ipOf(70));

        // No snapshot, no write.
        sim.clearLog();
        qputenv("XDG_STATE_HOME", "/proc/no-such-folder");
        r = ovipgw({u"set"_s, macOf(10), u"--port"_s, u"10009"_s});
        QCOMPARE(r.status, 5);
        QCOMPARE(writes(sim), QStringList());
    }

    // Only what was read is written or judged: a snapshot that lacks the
    // type, the subnet and the record restores none of them (the gateway
    // keeps its type and its lock), a lost subnet acknowledgement does not
    // hold back the record, and a mask a DHCP gateway cannot report is not sent.
    void writesOnlyWhatWasRead()
    {
        forgetNeighbours();
        QTemporaryDir state;
        qputenv("XDG_STATE_HOME", state.path().toUtf8());
        QJsonObject unreadable = SimulatorProcess::gateway(ipOf(20), macOf(20));
        unreadable.insert(u"password"_s, u"secret"_s);
        unreadable.insert(u"faults"_s, QJsonObject{{u"ignore"_s, QJsonArray{u"identity"_s}}});
        QJsonObject deaf = SimulatorProcess::gateway(ipOf(22), macOf(22));
        deaf.insert(u"faults"_s, QJsonObject{{u"ignore"_s, QJsonArray{u"networkWrite"_s}}});
        QJsonObject leased = SimulatorProcess::gateway(ipOf(23), macOf(23));
        leased.insert(u"dhcp"_s, true);
        SimulatorProcess sim;
        QVERIFY2(sim.start(SimulatorProcess::config({unreadable, deaf, leased}), 10000, true),
                 qPrintable(sim.errorString()));
        const QJsonObject lockedBefore = storedGateway(sim, 0);

        Result r = ovipgw({u"set"_s, macOf(20), u"--ip"_s, ipOf(21)});
        QCOMPARE(r.status, 0);
        forgetNeighbours();
        sim.clearLog();
        r = ovipgw({u"restore"_s, macOf(20), u"--at"_s, u"1"_s});
        QCOMPARE(r.json.value(u"result"_s).toString(), u"nothingToWrite"_s);
        QCOMPARE(writes(sim), QStringList());
        const QJsonObject lockedAfter = storedGateway(sim, 0);
        QCOMPARE(lockedAfter.value(u"type"_s), lockedBefore.value(u"type"_s));
        QCOMPARE(lockedAfter.value(u"setup"_s), lockedBefore.value(u"setup"_s));

        sim.clearLog();
        r = ovipgw({u"set"_s, macOf(22), u"--gateway"_s, ipOf(254), u"--port"_s, u"10005"_s});
        // The record goes out once and is confirmed; the subnet, which the
        // gateway ignores, is sent again in each of the two further rounds.
        QCOMPARE(writes(sim), (QStringList{u"fa@"_s + ipOf(22), u"c6@"_s + ipOf(22), u"fa@"_s + ipOf(22),
                                           u"fa@"_s + ipOf(22)}));
        QCOMPARE(r.status, 4);
        QCOMPARE(r.json.value(u"reported"_s).toObject().value(u"port"_s).toInt(), 10005);

        sim.clearLog();
        r = ovipgw({u"set"_s, macOf(23), u"--mask"_s, u"255.255.0.0"_s});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.json.value(u"result"_s).toString(), u"nothingToWrite"_s);
        QCOMPARE(writes(sim), QStringList());
    }

    // At 5 % reply loss every row of a site is still confirmed in one run:
    // what a gateway does not report yet is read again or sent again.
    void applyAtLossConfirmsEveryRowInOneRun()
    {
        forgetNeighbours();
        QTemporaryDir state;
        qputenv("XDG_STATE_HOME", state.path().toUtf8());
        constexpr int Gateways = 40;
        QList<QJsonObject> gateways;
        QString plan = u"mac;port;gateway\n"_s;
        for (int i = 0; i < Gateways; ++i) {
            gateways.append(SimulatorProcess::gateway(ipOf(10 + i), macOf(10 + i)));
            plan += u"%1;%2;%3\n"_s.arg(macOf(10 + i)).arg(20000 + i).arg(ipOf(1));
        }
        SimulatorProcess sim;
        sim.setExtraArguments({u"--loss"_s, u"5"_s, u"--seed"_s, u"7"_s});
        QVERIFY2(sim.start(SimulatorProcess::config(gateways)), qPrintable(sim.errorString()));
        const QString planPath = state.filePath(u"plan.csv"_s);
        QFile planFile(planPath);
        QVERIFY(planFile.open(QIODevice::WriteOnly) && planFile.write(plan.toUtf8()) == plan.size());
        planFile.close();

        QElapsedTimer clock;
        clock.start();
        const Result r = ovipgw({u"apply"_s, planPath});
        // One round of two 8 s writes is about 20 s; a round more for the
        // rows that lost a reply stays within half of that again.
        QVERIFY2(clock.elapsed() < 45000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(r.json.value(u"summary"_s).toObject().value(u"confirmed"_s).toInt(), Gateways);
        QCOMPARE(r.status, 0);
    }

    // The scan's own list is a plan: applied as it stands it changes nothing;
    // edited, a new address for a gateway whose MAC ends like another's and
    // an address another gateway has are both refused before anything is sent.
    void scanIsAPlanAndSharedMacTailsAreRefused()
    {
        forgetNeighbours();
        QTemporaryDir state;
        qputenv("XDG_STATE_HOME", state.path().toUtf8());
        const QString twin = u"00-50-C2-4B-02-%1"_s.arg(40, 2, 16, QLatin1Char('0')).toUpper();
        SimulatorProcess sim;
        QVERIFY2(sim.start(SimulatorProcess::config({SimulatorProcess::gateway(ipOf(40), macOf(40)),
                                                     SimulatorProcess::gateway(ipOf(41), twin),
                                                     SimulatorProcess::gateway(ipOf(42), macOf(42))})),
                 qPrintable(sim.errorString()));
        QByteArray csv;
        QByteArray err;
        QCOMPARE(OvipgwCommand::run({u"scan"_s, u"--format"_s, u"csv"_s}, &csv, &err), 0);
        const QString planPath = state.filePath(u"site.csv"_s);
        QFile planFile(planPath);
        QVERIFY(planFile.open(QIODevice::WriteOnly) && planFile.write(csv) == csv.size());
        planFile.close();

        Result r = ovipgw({u"apply"_s, planPath});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.json.value(u"summary"_s).toObject().value(u"nothingToWrite"_s).toInt(), 3);

        QString edited = QString::fromUtf8(csv);
        edited.replace(ipOf(40) + u',', ipOf(60) + u',');
        edited.replace(ipOf(42) + u',', ipOf(41) + u',');
        QVERIFY(planFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
        planFile.write(edited.toUtf8());
        planFile.close();
        sim.clearLog();
        QCOMPARE(ovipgw({u"apply"_s, planPath, u"--dry-run"_s}).status, 5);
        r = ovipgw({u"apply"_s, planPath});
        QCOMPARE(r.status, 5);
        QStringList refused;
        QString results;
        for (const QJsonValue &row : r.json.value(u"gateways"_s).toArray()) {
            results += row.toObject().value(u"mac"_s).toString() + u' ' + row.toObject().value(u"result"_s).toString()
                + u' ' + row.toObject().value(u"resultText"_s).toString() + u'\n';
            if (row.toObject().value(u"result"_s).toString() == u"refused"_s)
                refused.append(row.toObject().value(u"mac"_s).toString());
        }
        refused.sort();
        QVERIFY2(refused == (QStringList{macOf(40), macOf(42)}), qPrintable(results));
        QCOMPARE(writes(sim), QStringList());
    }

    void applyWritesAPlanSideBySideAndOnlyOnce()
    {
        forgetNeighbours();
        QTemporaryDir state;
        qputenv("XDG_STATE_HOME", state.path().toUtf8());
        constexpr int Gateways = 40;
        QList<QJsonObject> gateways;
        QString plan = u"mac,ip,mode\n"_s;
        for (int i = 0; i < Gateways; ++i) {
            gateways.append(SimulatorProcess::gateway(ipOf(10 + i), macOf(10 + i)));
            plan += u"%1,%2,udp-passive\n"_s.arg(macOf(10 + i), ipOf(100 + i));
        }
        SimulatorProcess sim;
        QVERIFY2(sim.start(SimulatorProcess::config(gateways)), qPrintable(sim.errorString()));
        const QString planPath = state.filePath(u"plan.csv"_s);
        QFile planFile(planPath);
        QVERIFY(planFile.open(QIODevice::WriteOnly) && planFile.write(plan.toUtf8()) == plan.size());
        planFile.close();
        const auto summary = [](const Result &r, const QString &key) {
            return r.json.value(u"summary"_s).toObject().value(key).toInt();
        };

        Result r = ovipgw({u"apply"_s, planPath, u"--dry-run"_s});
        QCOMPARE(summary(r, u"changed"_s), Gateways);
        QCOMPARE(writes(sim), QStringList());

        QElapsedTimer clock;
        clock.start();
        r = ovipgw({u"apply"_s, planPath});
        // Two scans, the probe of the new addresses and two 8 s waits for
        // all 40, not 40 times the window's 16 s.
        QVERIFY2(clock.elapsed() < 30000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(r.status, 0);
        QCOMPARE(summary(r, u"confirmed"_s), Gateways);
        QCOMPARE(writes(sim).filter(u"fc@"_s).size(), Gateways);
        QCOMPARE(writes(sim).filter(u"c6@198.18.0.1"_s).size(), Gateways);

        sim.clearLog();
        r = ovipgw({u"apply"_s, planPath});
        QCOMPARE(summary(r, u"nothingToWrite"_s), Gateways);
        QCOMPARE(writes(sim), QStringList());

        // Two rows aiming at one address: the second is refused, and without
        // --keep-going nothing of the plan is written, the rows before it neither.
        QVERIFY(planFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
        planFile.write(u"mac,ip\n%1,%2\n%3,%2\n%4,%5\n"_s.arg(macOf(10), ipOf(200), macOf(11), macOf(12), ipOf(201))
                           .toUtf8());
        planFile.close();
        r = ovipgw({u"apply"_s, planPath, u"--dry-run"_s});
        QCOMPARE(r.status, 5);
        QCOMPARE(summary(r, u"refused"_s), 1);
        QCOMPARE(summary(r, u"skipped"_s), 2);

        // This computer's address is taken; one outside every subnet cannot
        // be asked about and is never called free; a subnet's broadcast
        // address is the plan's error, by line and column.
        const auto writePlan = [&](const QString &text) {
            QVERIFY(planFile.open(QIODevice::WriteOnly | QIODevice::Truncate));
            planFile.write(text.toUtf8());
            planFile.close();
        };
        writePlan(u"mac,ip\n%1,%2\n%3,198.18.7.7\n"_s.arg(macOf(10), ipOf(1), macOf(11)));
        r = ovipgw({u"apply"_s, planPath, u"--dry-run"_s, u"--keep-going"_s});
        const QJsonArray rows = r.json.value(u"gateways"_s).toArray();
        QCOMPARE(rows.at(0).toObject().value(u"addressCheck"_s).toString(), u"taken"_s);
        QCOMPARE(rows.at(0).toObject().value(u"result"_s).toString(), u"refused"_s);
        QCOMPARE(rows.at(1).toObject().value(u"addressCheck"_s).toString(), u"notChecked"_s);
        QCOMPARE(rows.at(1).toObject().value(u"result"_s).toString(), u"changed"_s);
        QByteArray table;
        QByteArray err;
        OvipgwCommand::run({u"apply"_s, planPath, u"--dry-run"_s, u"--keep-going"_s}, &table, &err);
        QVERIFY2(table.contains("  198.18.7.7 not checked on the network: no local subnet holds it"), table.constData());
        writePlan(u"mac,ip\n%1,%2\n"_s.arg(macOf(10), ipOf(255)));
        r = ovipgw({u"apply"_s, planPath});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains("line 2: column 2 \"ip\": 198.18.0.255 is the broadcast address of the subnet "
                                "198.18.0.0/24 (adapter "),
                 r.err.constData());
        QCOMPARE(writes(sim), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestCommissionLan)
#include "TestCommissionLan.moc"
