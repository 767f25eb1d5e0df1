// Decisions (gateway as read x values wanted -> exchanges or refusal), the
// judgement of what a gateway reports afterwards, and what a journal
// snapshot gives back to a restore.

#include "JournalEntry.h"
#include "NeighbourProbe.h"
#include "StringTable.h"
#include "WriteDecision.h"
#include "WriteJudgement.h"

#include <QJsonDocument>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A fully read, unlocked EIB gateway (every mode allowed) at 198.18.0.10.
GatewayReading readGateway(quint32 typeCode = 0x00000001)
{
    GatewayReading r;
    r.mac = u"00-50-C2-4A-00-0A"_s;
    r.address = 0xC612000A;
    r.firmware = u"2.0"_s;
    r.typeCode = typeCode;
    r.status = int(RowStatus::NoPassword);
    r.networkRead = true;
    r.hostBits = 8;
    r.defaultGateway = 0xC6120001;
    r.recordRead = true;
    r.port = 10001;
    r.remoteAddress = 0xC6120064;
    r.remoteMask = 0xFFFFFF00;
    r.baudRate = 9600;
    r.dataBits = 8;
    r.stopBits = 1;
    r.lock = false;
    return r;
}

ConfigurationChange change(const QStringList &options)
{
    ConfigurationChange c;
    for (int i = 0; i + 1 < options.size(); i += 2) {
        if (options.at(i) == u"--protect"_s)
            c.locked = options.at(i + 1) == u"yes"_s;
        else
            c.take(options.at(i), options.at(i + 1));
    }
    return c;
}

QString exchanges(const WritePlan &plan)
{
    if (plan.refusal)
        return u"refused %1"_s.arg(plan.refusal);
    QStringList sent;
    if (plan.address)
        sent << u"ipSetup"_s;
    if (plan.identity)
        sent << u"identity"_s;
    if (plan.network)
        sent << u"network"_s;
    if (plan.setup)
        sent << u"setup"_s;
    return sent.join(u' ');
}

} // namespace

class TestWriteDecision : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { StringTable::setCurrentLanguage(UiLanguage::English); }

    void decision_data()
    {
        QTest::addColumn<GatewayReading>("read");
        QTest::addColumn<QStringList>("wanted");
        QTest::addColumn<bool>("password");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("ignored");

        const GatewayReading eib = readGateway();
        GatewayReading dhcp = eib;
        dhcp.dhcp = true;
        dhcp.hostBits = 0;
        GatewayReading client = eib;
        client.modeByte = 1;
        GatewayReading unread = eib;
        unread.recordRead = false;
        unread.lock.reset();
        GatewayReading foreignLock = unread;
        foreignLock.status = int(RowStatus::WrongPassword);
        foreignLock.lock = true;
        GatewayReading ownLock = eib;
        ownLock.status = int(RowStatus::PasswordOk);
        ownLock.lock = true;
        GatewayReading enOcean1 = readGateway(0x00020001);
        enOcean1.firmware = u"1.3"_s;
        const GatewayReading enOcean2 = readGateway(0x00020001);

        QTest::newRow("port only") << eib << QStringList{u"--port"_s, u"10005"_s} << false << u"setup"_s << u""_s;
        QTest::newRow("unchanged") << eib << QStringList{u"--port"_s, u"10001"_s, u"--mask"_s, u"255.255.255.0"_s}
                                   << false << u""_s << u""_s;
        QTest::newRow("new address and mask")
            << eib << QStringList{u"--ip"_s, u"198.18.0.60"_s, u"--mask"_s, u"255.255.0.0"_s} << false
            << u"ipSetup network"_s << u""_s;
        QTest::newRow("address of another listed gateway")
            << eib << QStringList{u"--ip"_s, u"198.18.0.11"_s} << false << u"refused 428"_s << u""_s;
        // What a gateway cannot report is left out, so a second run sends nothing.
        QTest::newRow("mask of a dhcp gateway")
            << dhcp << QStringList{u"--mask"_s, u"255.255.0.0"_s} << false << u""_s << u"mask"_s;
        QTest::newRow("allowed mask in tcp-client mode")
            << client << QStringList{u"--remote-mask"_s, u"255.0.0.0"_s} << false << u""_s << u"remoteMask"_s;
        QTest::newRow("record never read")
            << unread << QStringList{u"--port"_s, u"10005"_s} << false << u"refused 425"_s << u""_s;
        // Every value the record carries, the lock too, needs none read.
        const QStringList wholeRecord{u"--mode"_s, u"tcp-client"_s, u"--port"_s, u"10005"_s, u"--remote-ip"_s,
                                      u"198.18.0.1"_s, u"--baud"_s, u"9600"_s, u"--data-bits"_s, u"8"_s,
                                      u"--stop-bits"_s, u"1"_s, u"--parity"_s, u"0"_s, u"--flow"_s, u"0"_s};
        QTest::newRow("record never read, every value given")
            << unread << wholeRecord + QStringList{u"--protect"_s, u"no"_s} << false << u"setup"_s << u""_s;
        QTest::newRow("record never read, its lock not given")
            << unread << wholeRecord << false << u"refused 425"_s << u""_s;
        // The window writes what its editor shows, the same values too.
        QTest::newRow("window rewrites unchanged values")
            << eib << QStringList{u"--port"_s, u"10001"_s, u"--gateway"_s, u"198.18.0.1"_s, u"--oem"_s, u"00000001"_s}
            << false << u"identity network setup"_s << u""_s;
        QTest::newRow("window sends a dhcp gateway's mask, unjudged")
            << dhcp << QStringList{u"--mask"_s, u"255.255.0.0"_s} << false << u"network"_s << u"mask"_s;
        QTest::newRow("network of a record never read")
            << unread << QStringList{u"--gateway"_s, u"none"_s} << false << u"network"_s << u""_s;
        QTest::newRow("locked by another password")
            << foreignLock << QStringList{u"--port"_s, u"10005"_s} << true << u"refused 422"_s << u""_s;
        QTest::newRow("own lock needs the password for a record")
            << ownLock << QStringList{u"--port"_s, u"10005"_s} << false << u"refused 447"_s << u""_s;
        QTest::newRow("own lock needs none for the network")
            << ownLock << QStringList{u"--gateway"_s, u"none"_s} << false << u"network"_s << u""_s;
        QTest::newRow("own lock, nothing changes") << ownLock << QStringList{u"--port"_s, u"10001"_s} << false
                                                   << u""_s << u""_s;
        QTest::newRow("mode the type refuses")
            << readGateway(0x00030002) << QStringList{u"--mode"_s, u"tcp-client"_s} << false << u"refused 427"_s
            << u""_s;
        QTest::newRow("first enocean firmware takes every mode")
            << enOcean1 << QStringList{u"--mode"_s, u"udp-active"_s} << false << u"setup"_s << u""_s;
        QTest::newRow("later enocean firmware does not")
            << enOcean2 << QStringList{u"--mode"_s, u"udp-active"_s} << false << u"refused 427"_s << u""_s;
        QTest::newRow("oem identity") << eib << QStringList{u"--oem"_s, u"00010001"_s} << false
                                      << u"identity setup"_s << u""_s;
        // A listed gateway ending in the same two MAC bytes (see decision()).
        QTest::newRow("shared mac tail") << eib << QStringList{u"--ip"_s, u"198.18.0.77"_s} << false
                                         << u"refused 501"_s << u""_s;
        QTest::newRow("shared mac tail, no new address")
            << eib << QStringList{u"--port"_s, u"10005"_s, u"--ip"_s, u"198.18.0.10"_s} << false << u"setup"_s << u""_s;
    }

    void decision()
    {
        QFETCH(GatewayReading, read);
        QFETCH(QStringList, wanted);
        QFETCH(bool, password);
        QFETCH(QString, expected);
        QFETCH(QString, ignored);
        WriteContext context;
        context.others.insert(u"0050C24A000B"_s, 0xC612000B);
        if (QByteArray(QTest::currentDataTag()).startsWith("shared"))
            context.others.insert(u"0050C2FF000A"_s, 0xC612000C);
        context.passwordGiven = password;
        context.rewrite = QByteArray(QTest::currentDataTag()).startsWith("window");
        const WritePlan plan = planWrite(read, change(wanted), context);
        QCOMPARE(exchanges(plan), expected);
        // What the window shows goes out as shown, judged or not.
        if (context.rewrite && change(wanted).hostBits)
            QCOMPARE(plan.target.hostBits, *change(wanted).hostBits);
        QCOMPARE(plan.ignored.join(u','), ignored);
    }

    void judgement_data()
    {
        QTest::addColumn<QStringList>("wanted");
        QTest::addColumn<int>("reportedPort");
        QTest::addColumn<bool>("found");
        QTest::addColumn<int>("sent");
        QTest::addColumn<QString>("result");

        QTest::newRow("confirmed") << QStringList{u"--port"_s, u"10005"_s} << 10005 << true << 1 << u"confirmed"_s;
        QTest::newRow("other value") << QStringList{u"--port"_s, u"10005"_s} << 10001 << true << 1
                                     << u"notConfirmed"_s;
        QTest::newRow("gone") << QStringList{u"--port"_s, u"10005"_s} << 10005 << false << 1 << u"notFoundAgain"_s;
        QTest::newRow("not sent") << QStringList{u"--port"_s, u"10005"_s} << 10005 << true << 0 << u"notSent"_s;
    }

    void judgement()
    {
        QFETCH(QStringList, wanted);
        QFETCH(int, reportedPort);
        QFETCH(bool, found);
        QFETCH(int, sent);
        QFETCH(QString, result);
        const WritePlan plan = planWrite(readGateway(), change(wanted), WriteContext{});
        WriteReport report;
        for (int i = 0; i < sent; ++i)
            report.sent.append(u"setup"_s);
        GatewayReading after = readGateway();
        after.port = quint16(reportedPort);
        judgeWrite(&report, plan, found ? std::optional(after) : std::nullopt);
        QCOMPARE(report.result, result);
        QCOMPARE(report.status == WriteStatus::Confirmed, result == u"confirmed"_s);
    }

    // Restore writes back only what a snapshot read, each value checked.
    void snapshot_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("damaged"); // empty: readable
        QTest::addColumn<QStringList>("written");

        const QByteArray head = R"({"event":"write","version":2,"read":{"mac":"00-50-C2-4A-00-0A","ip":"198.18.0.10")";
        const QByteArray record = R"(,"mode":"tcp-server","port":10001,"remoteIp":"0.0.0.0","remoteMask":"0.0.0.0",)"
                                  R"("baudRate":9600,"dataBits":8,"stopBits":1,"parity":0,"flowControl":0)";
        QTest::newRow("only the address") << head + "}}" << u""_s << QStringList{};
        QTest::newRow("identity and lock read")
            << head + R"(,"typeCode":"0x00000001","locked":true}})" << u""_s << QStringList{u"oem"_s, u"locked"_s};
        QTest::newRow("whole") << head + R"(,"typeCode":"0x00000001","locked":false,"dhcp":false,"hostBits":8,)"
                                         R"("gateway":"0.0.0.0")" + record + "}}"
                               << u""_s
                               << QStringList{u"ip"_s, u"mask"_s, u"gateway"_s, u"record"_s, u"oem"_s, u"locked"_s};
        QTest::newRow("lock as text") << head + R"(,"locked":"true"}})" << u"locked"_s << QStringList{};
        QTest::newRow("lock null") << head + R"(,"locked":null}})" << u"locked"_s << QStringList{};
        QTest::newRow("type 0") << head + R"(,"typeCode":"0x00000000"}})" << u"typeCode"_s << QStringList{};
        QTest::newRow("address 0") << QByteArray(R"({"event":"write","version":2,"read":{"mac":"00-50-C2-4A-00-0A","ip":"0.0.0.0"}})")
                                   << u"ip"_s << QStringList{};
        for (const char *port : {"1e20", "-1", "10001.5", "65536", "\"10001\""}) {
            QByteArray line = head + record + "}}";
            line.replace("\"port\":10001", QByteArray("\"port\":") + port);
            QTest::addRow("port %s", port) << line << u"port"_s << QStringList{};
        }
        QByteArray noBaud = head + record + "}}";
        noBaud.replace("\"baudRate\":9600,", "");
        QTest::newRow("baud rate missing from a record") << noBaud << u"baudRate"_s << QStringList{};
        for (const auto &[key, value] : {std::pair{"baudRate", "123"}, std::pair{"dataBits", "9"}, std::pair{"parity", "7"}}) {
            QByteArray line = head + record + "}}";
            const qsizetype at = line.indexOf(QByteArray("\"") + key + "\":");
            const qsizetype end = line.indexOf(',', at) < 0 ? line.indexOf('}', at) : qMin(line.indexOf(',', at), line.indexOf('}', at));
            line.replace(at, end - at, QByteArray("\"") + key + "\":" + value);
            QTest::addRow("%s %s", key, value) << line << QString::fromLatin1(key) << QStringList{};
        }
        // The first format wrote type 0 and "unlocked" for what it had not read.
        QTest::newRow("first format, nothing read")
            << QByteArray(R"({"event":"write","read":{"mac":"00-50-C2-4A-00-0A","ip":"198.18.0.10","typeCode":"0x00000000","dhcp":false,"locked":false}})")
            << u""_s << QStringList{};
    }

    void snapshot()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, damaged);
        QFETCH(QStringList, written);
        QString damagedKey;
        const std::optional<GatewayReading> read = JournalEntry::snapshot(QJsonDocument::fromJson(line).object(), &damagedKey);
        QCOMPARE(damagedKey, damaged);
        QCOMPARE(read.has_value(), damaged.isEmpty());
        if (!read)
            return;
        const ConfigurationChange c = ConfigurationChange::fromSnapshot(*read);
        QStringList fields;
        if (c.dhcp || c.address)
            fields << u"ip"_s;
        if (c.hostBits)
            fields << u"mask"_s;
        if (c.defaultGateway)
            fields << u"gateway"_s;
        if (c.touchesRecord())
            fields << u"record"_s;
        if (c.oemType)
            fields << u"oem"_s;
        if (c.locked)
            fields << u"locked"_s;
        QCOMPARE(fields, written);
    }

    // Addresses that would lose a gateway are named with their class; an
    // ordinary one, or one of a subnet too small for the two, passes.
    void unusableAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<quint32>("mask"); // of the adapter 198.18.0.1 (gwlan0)
        QTest::addColumn<QString>("expected");
        const quint32 slash24 = 0xFFFFFF00;
        QTest::newRow("loopback") << u"127.0.0.1"_s << slash24
                                  << u"127.0.0.1 is a loopback address (127.x.x.x), which no gateway can have"_s;
        QTest::newRow("loopback's end") << u"127.255.255.254"_s << slash24 << u"loopback"_s;
        QTest::newRow("multicast") << u"224.0.0.1"_s << slash24 << u"multicast"_s;
        QTest::newRow("multicast's end") << u"239.255.255.255"_s << slash24 << u"multicast"_s;
        QTest::newRow("this network") << u"0.1.2.3"_s << slash24 << u"this network"_s;
        QTest::newRow("limited broadcast") << u"255.255.255.255"_s << slash24 << u"limited broadcast"_s;
        QTest::newRow("subnet's network")
            << u"198.18.0.0"_s << slash24
            << u"198.18.0.0 is the network address of the subnet 198.18.0.0/24 (adapter gwlan0), which no gateway "
               "in it can have"_s;
        QTest::newRow("subnet's broadcast") << u"198.18.0.255"_s << slash24 << u"broadcast address of the subnet"_s;
        QTest::newRow("wider subnet's broadcast") << u"198.18.255.255"_s << 0xFFFF0000u << u"198.18.0.0/16"_s;
        QTest::newRow("ordinary") << u"198.18.0.254"_s << slash24 << QString();
        QTest::newRow("/24 ends in a /16") << u"198.18.1.0"_s << 0xFFFF0000u << QString();
        QTest::newRow("other subnet's end") << u"198.18.1.255"_s << slash24 << QString();
        QTest::newRow("point-to-point /31") << u"198.18.0.0"_s << 0xFFFFFFFEu << QString();
        QTest::newRow("below multicast") << u"223.255.255.254"_s << slash24 << QString();
    }
    void unusableAddresses()
    {
        QFETCH(QString, address);
        QFETCH(quint32, mask);
        QFETCH(QString, expected);
        const QString text = UnusableAddressText(*DottedValue(address), {{u"gwlan0"_s, 0xC6120001, mask}});
        QVERIFY2(expected.isEmpty() ? text.isEmpty() : text.contains(expected), qPrintable(text));
    }

    // What the probe decides without asking the link: this computer's own
    // address is taken (and refused in its own words), one outside every
    // subnet is never called free.
    void probeDecidesOwnAndForeignAddresses()
    {
        const QList<LocalAdapter> adapters{{u"lo-test"_s, 0x7F000005, 0xFF000000}}; // 127.0.0.5/8
        NeighbourProbe probe({0x7F000005, 0x0A000001}, adapters);
        QVERIFY(probe.poll());
        QCOMPARE(probe.holders().value(0x7F000005), u"this computer (adapter lo-test)"_s);
        QCOMPARE(probe.unchecked(), QSet<quint32>{0x0A000001});
        WritePlan plan = planWrite(readGateway(), change({u"--ip"_s, u"127.0.0.5"_s}), WriteContext{});
        refuseTakenAddress(&plan, probe.holders().value(0x7F000005));
        QCOMPARE(plan.refusalText(), u"refused: 127.0.0.5 is an address of this computer (adapter lo-test) "
                                     "(--force writes anyway); nothing sent"_s);
        StringTable::setCurrentLanguage(UiLanguage::German);
        QCOMPARE(NeighbourProbe({0x7F000005}, adapters).holders().value(0x7F000005),
                 u"dieser Computer (Adapter lo-test)"_s);
        StringTable::setCurrentLanguage(UiLanguage::English);
    }
};

QTEST_GUILESS_MAIN(TestWriteDecision)
#include "TestWriteDecision.moc"
