// What the writing commands decide without a network: plans read from their
// files, option values refused before anything is sent, the journal.

#include "CommissionCommand.h"
#include "SitePlan.h"
#include "StringTable.h"
#include "Telegrams.h"
#include "WriteJournal.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestCommissionPlan : public QObject
{
    Q_OBJECT

private slots:
    void plans_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // "mac ip port mode hostBits gateway" of the first row, or the error
        QTest::newRow("own columns") << u"mac,ip,port\n00-50-c2-4a-00-0a,10.0.0.5,10002\n"_s
                                     << u"0050C24A000A 10.0.0.5 10002 - - -"_s;
        QTest::newRow("quoted, CRLF, empty cell keeps")
            << u"mac,\"ip\",mode\r\n\"00:50:C2:4A:00:0A\",,udp-active\r\n"_s << u"0050C24A000A - - 2 - -"_s;
        QTest::newRow("the German scan list, tab-separated")
            << u"GW Typ\tGW IP Adresse\tGW MAC Adresse\tModus\tPort\tSubnet/GW\n"
               u"Vantor EIB Gateway\t10.0.0.7 (DHCP)\t00-50-C2-4A-00-0B\tUDP Aktiv\t10001\tHost-Bits: 8 / GW: 10.0.0.1\n"_s
            << u"0050C24A000B dhcp 10001 2 8 10.0.0.1"_s;
        QTest::newRow("no mac column") << u"ip\n10.0.0.5\n"_s << u"line 1: the plan has no column \"mac\""_s;
        QTest::newRow("unknown column") << u"mac,colour\n"_s << u"line 1: unknown column \"colour\""_s;
        QTest::newRow("port out of range") << u"mac,port\n0050C24A000A,70000\n"_s
                                           << u"line 2: option --port does not take \"70000\" (see ovipgw set --help)"_s;
        QTest::newRow("twice") << u"mac\n0050C24A000A\n00-50-C2-4A-00-0A\n"_s
                               << u"line 3: MAC address 00-50-C2-4A-00-0A appears twice"_s;
        QTest::newRow("not a MAC") << u"mac\n0050C24A00\n"_s
                                   << u"line 2: \"0050C24A00\" is not a MAC address (12 hexadecimal digits)"_s;
    }
    void plans()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        StringTable::setCurrentLanguage(UiLanguage::English);
        QString error;
        const std::optional<QList<PlannedGateway>> plan = SitePlan::parse(text, &error);
        if (!plan) {
            QCOMPARE(error, expected);
            return;
        }
        const ConfigurationChange &c = plan->first().change;
        const auto shown = [](const auto &value, auto toText) { return value ? toText(*value) : u"-"_s; };
        const QString ip = c.dhcp == true ? u"dhcp"_s : shown(c.address, DottedAddressText);
        const auto number = [](int value) { return QString::number(value); };
        QCOMPARE(QStringList({plan->first().mac, ip, shown(c.port, number), shown(c.mode, number),
                              shown(c.hostBits, number), shown(c.defaultGateway, DottedAddressText)})
                     .join(u' '),
                 expected);
    }

    void valuesOutOfRangeAreRefusedBeforeAnything_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("mask with a hole") << QStringList{u"set"_s, u"0050C24A000A"_s, u"--mask"_s, u"255.0.255.0"_s};
        QTest::newRow("part beyond 255") << QStringList{u"set"_s, u"0050C24A000A"_s, u"--ip"_s, u"10.0.0.256"_s};
        QTest::newRow("baud not offered") << QStringList{u"set"_s, u"0050C24A000A"_s, u"--baud"_s, u"12345"_s};
        QTest::newRow("type not in the table") << QStringList{u"set"_s, u"0050C24A000A"_s, u"--oem"_s, u"0x7"_s};
        QTest::newRow("nothing to set") << QStringList{u"set"_s, u"0050C24A000A"_s};
        QTest::newRow("short MAC") << QStringList{u"set"_s, u"0050C24A00"_s, u"--port"_s, u"1"_s};
        QTest::newRow("dry run is apply's") << QStringList{u"set"_s, u"0050C24A000A"_s, u"--dry-run"_s};
        QTest::newRow("reset tail") << QStringList{u"reset"_s, u"0A"_s, u"10.0.0.5"_s};
    }
    void valuesOutOfRangeAreRefusedBeforeAnything()
    {
        QFETCH(QStringList, arguments);
        QString error;
        QVERIFY(!CommissionCommand::parse(arguments, &error));
        QVERIFY(!error.isEmpty());
    }

    void journalKeepsWholeLinesAndRefusesWhatItCannotWrite()
    {
        QTemporaryDir folder;
        WriteJournal journal(folder.filePath(u"state/ovipgwadmin/journal.jsonl"_s));
        QString error;
        QVERIFY(journal.append({{u"mac"_s, u"A"_s}}, &error));
        // A line cut short by a crash, then a later write.
        QFile file(journal.path());
        QVERIFY(file.open(QIODevice::Append));
        file.write("{\"mac\":\"broken\"");
        file.close();
        QVERIFY(journal.append({{u"mac"_s, u"B"_s}}, &error));
        QCOMPARE(file.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());
        const QList<QJsonObject> entries = journal.entries();
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries.last().value(u"mac"_s).toString(), u"B"_s);

        WriteJournal unwritable(folder.filePath(u"state"_s)); // a folder, not a file
        QVERIFY(!unwritable.append({{u"mac"_s, u"C"_s}}, &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCommissionPlan)
#include "TestCommissionPlan.moc"
