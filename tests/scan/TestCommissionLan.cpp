// ovipgw's writing commands against simulated gateways in the virtual LAN:
// what reaches the gateways, what they report afterwards, the exit status
// and the journal.

#include "OvipgwCommand.h"
#include "SimulatorProcess.h"
#include "StringTable.h"

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
                                                     SimulatorProcess::gateway(ipOf(11), macOf(11))})),
                 qPrintable(sim.errorString()));

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
        ovipgw({u"set"_s, macOf(10), u"--ip"_s, ipOf(11)});
        QCOMPARE(QProcess::execute(u"ip"_s, {u"netns"_s, u"exec"_s, qEnvironmentVariable("GWLAN_GATEWAY_NS"), u"ip"_s,
                                             u"addr"_s, u"add"_s, ipOf(50) + u"/24"_s, u"dev"_s,
                                             qEnvironmentVariable("GWLAN_GATEWAY_IF")}),
                 0);
        r = ovipgw({u"set"_s, macOf(10), u"--ip"_s, ipOf(50)});
        QCOMPARE(r.status, 5);
        QVERIFY(r.err.contains(ipOf(50).toUtf8()));
        QCOMPARE(writes(sim), QStringList());

        // A new address, then DHCP: IP-SETUP first, the rest to the new address.
        r = ovipgw({u"set"_s, macOf(10), u"--ip"_s, ipOf(60), u"--mode"_s, u"udp-active"_s});
        QCOMPARE(r.status, 0);
        QCOMPARE(writes(sim), (QStringList{u"fc@broadcast"_s, u"c6@"_s + ipOf(60)}));
        r = ovipgw({u"set"_s, macOf(10), u"--ip"_s, u"dhcp"_s});
        QCOMPARE(r.status, 0);
        QVERIFY(r.json.value(u"reported"_s).toObject().value(u"dhcp"_s).toBool());

        // Back to the first snapshot: address, mode and port as they were.
        r = ovipgw({u"restore"_s, macOf(10), u"--at"_s, u"1"_s});
        QCOMPARE(r.status, 0);
        const QJsonObject restored = r.json.value(u"reported"_s).toObject();
        QCOMPARE(restored.value(u"ip"_s).toString(), ipOf(10));
        QCOMPARE(restored.value(u"dhcp"_s).toBool(), false);
        QCOMPARE(restored.value(u"mode"_s).toString(), u"tcp-server"_s);
        QCOMPARE(restored.value(u"port"_s).toInt(), 10001);
        QByteArray history;
        QByteArray ignored;
        OvipgwCommand::run({u"history"_s, macOf(10), u"--format"_s, u"json"_s}, &history, &ignored);
        QCOMPARE(QJsonDocument::fromJson(history).object().value(u"writes"_s).toArray().size(), 4);

        // No snapshot, no write.
        sim.clearLog();
        qputenv("XDG_STATE_HOME", "/proc/no-such-folder");
        r = ovipgw({u"set"_s, macOf(10), u"--port"_s, u"10009"_s});
        QCOMPARE(r.status, 5);
        QCOMPARE(writes(sim), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestCommissionLan)
#include "TestCommissionLan.moc"
