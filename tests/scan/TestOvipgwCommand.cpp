// ovipgw without a network: everything here is refused or printed before a
// socket exists, so nothing is sent.

#include "GatewayList.h"
#include "NoReplyDiagnosis.h"
#include "OvipgwCommand.h"
#include "ScanReport.h"
#include "StringTable.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestOvipgwCommand : public QObject
{
    Q_OBJECT

private slots:
    void init() { StringTable::setCurrentLanguage(UiLanguage::English); }

    void badArgumentsAreRefusedWithoutOutput_data();
    void badArgumentsAreRefusedWithoutOutput();
    void helpInBothLanguages_data();
    void helpInBothLanguages();
    void passwordFileReadableByOthersIsWarnedAbout();
    void jsonRowCarriesTheWindowTextsAndStatus();
    void csvQuotesAndTsvKeepsColumns();
    void diagnosisTexts_data();
    void diagnosisTexts();
    void subnetOfAdapters();
};

void TestOvipgwCommand::badArgumentsAreRefusedWithoutOutput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    QTest::newRow("no command") << QStringList{} << u"no command given"_s;
    QTest::newRow("unknown command") << QStringList{u"list"_s} << u"unknown command \"list\""_s;
    QTest::newRow("unknown option") << QStringList{u"scan"_s, u"--fast"_s} << u"unknown option \"--fast\""_s;
    QTest::newRow("missing value") << QStringList{u"scan"_s, u"--timeout"_s} << u"option --timeout needs a value"_s;
    QTest::newRow("short address") << QStringList{u"scan"_s, u"--broadcast"_s, u"10.1"_s}
                                   << u"\"10.1\" is not an IPv4 address"_s;
    QTest::newRow("octet too large") << QStringList{u"scan"_s, u"--broadcast=192.168.1.256"_s}
                                     << u"\"192.168.1.256\" is not an IPv4 address"_s;
    QTest::newRow("timeout not a number") << QStringList{u"scan"_s, u"--timeout"_s, u"1s"_s}
                                          << u"--timeout takes milliseconds from 100 to 60000"_s;
    QTest::newRow("timeout too short") << QStringList{u"scan"_s, u"--timeout=99"_s}
                                       << u"--timeout takes milliseconds from 100 to 60000"_s;
    QTest::newRow("format") << QStringList{u"scan"_s, u"--format"_s, u"xml"_s}
                            << u"--format takes table, json, tsv or csv"_s;
    QTest::newRow("twice") << QStringList{u"scan"_s, u"--format=json"_s, u"--format=csv"_s}
                           << u"option --format is given twice"_s;
    QTest::newRow("stray word") << QStringList{u"scan"_s, u"now"_s} << u"unexpected argument \"now\""_s;
    // Loopback only, should the password pass: nothing may leave the machine.
    const QString codePage = u"--password may only contain Western European characters (code page 1252): "
                             u"a gateway takes every other character as \"?\""_s;
    QTest::newRow("Cyrillic scan password")
        << QStringList{u"scan"_s, u"--broadcast=127.0.0.1"_s, u"--timeout=100"_s, u"--password"_s, u"пароль"_s}
        << codePage;
    QTest::newRow("Cyrillic set password")
        << QStringList{u"set"_s, u"00-50-C2-4A-00-0A"_s, u"--broadcast=127.0.0.1"_s, u"--timeout=100"_s,
                       u"--port"_s, u"10001"_s, u"--password=ЖЖЖЖЖЖ"_s}
        << codePage;
    // Addresses that would lose the gateway, before anything is sent.
    QTest::newRow("set to loopback")
        << QStringList{u"set"_s, u"00-50-C2-4A-00-0A"_s, u"--ip"_s, u"127.0.0.5"_s}
        << u"127.0.0.5 is a loopback address (127.x.x.x), which no gateway can have"_s;
    QTest::newRow("set to the limited broadcast")
        << QStringList{u"set"_s, u"00-50-C2-4A-00-0A"_s, u"--ip=255.255.255.255"_s}
        << u"255.255.255.255 is the limited broadcast address, which no gateway can have"_s;
    QTest::newRow("reset to multicast")
        << QStringList{u"reset"_s, u"00-0A"_s, u"239.1.2.3"_s}
        << u"239.1.2.3 is a multicast address (224.0.0.0 to 239.255.255.255), which no gateway can have"_s;
    QTest::newRow("reset to this network")
        << QStringList{u"reset"_s, u"00-0A"_s, u"0.0.0.7"_s}
        << u"0.0.0.7 lies in 0.x.x.x, which stands for \"this network\" and no gateway can have"_s;
}

void TestOvipgwCommand::badArgumentsAreRefusedWithoutOutput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    QByteArray out;
    QByteArray err;
    QCOMPARE(OvipgwCommand::run(arguments, &out, &err), int(OvipgwCommand::UsageError));
    QVERIFY(out.isEmpty());
    QCOMPARE(QString::fromUtf8(err), u"ovipgw: %1\nTry \"ovipgw --help\".\n"_s.arg(message));
}

void TestOvipgwCommand::helpInBothLanguages_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("start");   // English, German
    QTest::addColumn<QString>("options"); // each in both
    const QString commands = u"\n  scan ,\n  set ,\n  apply ,\n  reset ,\n  history ,\n  restore "_s;
    QTest::newRow("every command") << QStringList{u"--help"_s} << u"Usage: ovipgw COMMAND,Aufruf: ovipgw BEFEHL"_s
                                   << commands;
    QTest::newRow("scan") << QStringList{u"scan"_s, u"-h"_s} << u"Usage: ovipgw scan,Aufruf: ovipgw scan"_s
                          << u"--format,--broadcast"_s;
    QTest::newRow("set") << QStringList{u"set"_s, u"--help"_s} << u"Usage: ovipgw set,Aufruf: ovipgw set"_s
                         << u"--protect,--password-file,--ip"_s;
    QTest::newRow("apply") << QStringList{u"apply"_s, u"--help"_s} << u"Usage: ovipgw apply,Aufruf: ovipgw apply"_s
                           << u"--dry-run,--keep-going"_s;
    QTest::newRow("reset") << QStringList{u"reset"_s, u"-h"_s} << u"Usage: ovipgw reset,Aufruf: ovipgw reset"_s
                           << u"MAC-,--force"_s;
    QTest::newRow("history") << QStringList{u"history"_s, u"--help"_s}
                             << u"Usage: ovipgw history,Aufruf: ovipgw history"_s << u"--format"_s;
    QTest::newRow("restore") << QStringList{u"restore"_s, u"--help"_s}
                             << u"Usage: ovipgw restore,Aufruf: ovipgw restore"_s << u"--at N"_s;
}

void TestOvipgwCommand::helpInBothLanguages()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, start);
    QFETCH(QString, options);
    for (const UiLanguage language : {UiLanguage::English, UiLanguage::German}) {
        StringTable::setCurrentLanguage(language);
        QByteArray out;
        QByteArray err;
        QCOMPARE(OvipgwCommand::run(arguments, &out, &err), 0);
        const QString text = QString::fromUtf8(out);
        QVERIFY2(text.startsWith(start.split(u',').at(language == UiLanguage::English ? 0 : 1)), qPrintable(text));
        for (const QString &option : options.split(u','))
            QVERIFY2(text.contains(option), qPrintable(option));
        QVERIFY(err.isEmpty());
    }
}

// Still used, but said; the password here is refused before anything is sent.
void TestOvipgwCommand::passwordFileReadableByOthersIsWarnedAbout()
{
    QTemporaryDir folder;
    QFile file(folder.filePath(u"password"_s));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("ЖЖЖ\n") > 0);
    file.close();
    const QString warning = u"ovipgw: warning: the password file %1 can be read by other users"_s.arg(file.fileName());
    for (const auto permissions : {QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup,
                                   QFile::ReadOwner | QFile::WriteOwner}) {
        QVERIFY(file.setPermissions(permissions));
        QByteArray out;
        QByteArray err;
        QCOMPARE(OvipgwCommand::run({u"set"_s, u"00-50-C2-4A-00-0A"_s, u"--port"_s, u"10001"_s,
                                     u"--password-file"_s, file.fileName()},
                                    &out, &err),
                 int(OvipgwCommand::UsageError));
        QCOMPARE(QString::fromUtf8(err).startsWith(warning), bool(permissions & QFile::ReadGroup));
        QVERIFY(err.contains("code page 1252"));
    }
}

void TestOvipgwCommand::jsonRowCarriesTheWindowTextsAndStatus()
{
    GatewayList list;
    const int row = list.appendRow();
    list.setCellText(row, GatewayList::TypeColumn, u"PLN KNX IP Gateway"_s);
    list.setCellText(row, GatewayList::IpAddressColumn, u"198.18.0.12 (DHCP)"_s);
    list.setCellText(row, GatewayList::ModeColumn, u"TCP-Server"_s);
    list.setTypeCode(row, 0x00010001);
    list.setRowStatus(row, RowStatus::PasswordOk);
    // What the replies said, as the row writer keeps it beside the texts.
    GatewayReading *reading = list.mutableReading(row);
    reading->address = 0xC612000C;
    reading->networkRead = true;
    reading->dhcp = true;
    reading->lock = true;
    const std::vector<ScannedGateway> gateways{{0xC612000C, u"gwlan0"_s, true}};

    const QJsonDocument document =
        QJsonDocument::fromJson(ScanReport::json(ScanReport::rows(list, gateways)));
    const QJsonArray array = document.object().value(u"gateways"_s).toArray();
    QCOMPARE(array.size(), 1);
    const QJsonObject object = array.first().toObject();
    const QStringList keys{u"type"_s,     u"ip"_s,          u"mac"_s,       u"mode"_s,       u"port"_s,
                           u"remoteIp"_s, u"ipMask"_s,      u"firmware"_s,  u"subnetGateway"_s,
                           u"baudRate"_s, u"dataBits"_s,    u"stopBits"_s,  u"parity"_s,
                           u"flowControl"_s, u"typeCode"_s, u"status"_s,    u"statusText"_s,
                           u"adapter"_s,  u"inSubnet"_s,  u"complete"_s, u"configuration"_s};
    QCOMPARE(QStringList(object.keys()).size(), keys.size());
    for (const QString &key : keys)
        QVERIFY2(object.contains(key), qPrintable(key));
    QCOMPARE(object.value(u"ip"_s).toString(), u"198.18.0.12 (DHCP)"_s);
    QCOMPARE(object.value(u"typeCode"_s).toString(), u"0x00010001"_s);
    QCOMPARE(object.value(u"status"_s).toString(), u"passwordOk"_s);
    QCOMPARE(object.value(u"statusText"_s).toString(), u"GW with password"_s);
    QCOMPARE(object.value(u"inSubnet"_s).toBool(), true);
    // The typed form beside the texts: DHCP apart from the address, the mode by its key.
    const QJsonObject typed = object.value(u"configuration"_s).toObject();
    QCOMPARE(typed.value(u"dhcp"_s).toBool(), true);
    QCOMPARE(typed.value(u"ip"_s).toString(), u"198.18.0.12"_s);
    QCOMPARE(typed.value(u"locked"_s).toBool(), true);

    // Keys stay English in German; the texts follow the language.
    StringTable::setCurrentLanguage(UiLanguage::German);
    const QJsonObject german = QJsonDocument::fromJson(ScanReport::json(ScanReport::rows(list, gateways)))
                                   .object().value(u"gateways"_s).toArray().first().toObject();
    QCOMPARE(german.value(u"statusText"_s).toString(), u"GW mit Passwort"_s);
    QCOMPARE(german.value(u"status"_s).toString(), u"passwordOk"_s);
}

void TestOvipgwCommand::csvQuotesAndTsvKeepsColumns()
{
    GatewayList list;
    const int row = list.appendRow();
    list.setCellText(row, GatewayList::SubnetGatewayColumn, u"Host-Bits: 8 / GW: \"x\", y"_s);
    list.setCellText(list.appendRow(), GatewayList::MacAddressColumn, u"00-50-C2-4A-01-0B"_s);
    QList<ScanRow> rows = ScanReport::rows(list, {});
    rows[1].complete = false;

    const QStringList csv = ScanReport::delimited(rows, u',').split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(csv.size(), 3);
    QVERIFY(csv.first().startsWith(u"GW Type,GW IP Address,"_s));
    QVERIFY2(csv[1].contains(u",\"Host-Bits: 8 / GW: \"\"x\"\", y\","_s), qPrintable(csv[1]));

    // "Fully read" comes after the columns scripts already know.
    const QStringList tsv = ScanReport::delimited(rows, u'\t').split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(tsv.size(), 3);
    for (const QString &line : tsv)
        QCOMPARE(line.split(u'\t').size(), GatewayList::ColumnCount + 4);
    QCOMPARE(tsv[0].split(u'\t').last(), u"Fully read"_s);
    QCOMPARE(tsv[1].split(u'\t').last(), u"yes"_s);
    QCOMPARE(tsv[2].split(u'\t').last(), u"no"_s);
    QVERIFY(ScanReport::table(rows).endsWith(
        u"\n\nNot fully read, a reply did not come in time (another scan may read them): 00-50-C2-4A-01-0B\n"_s));
    QVERIFY(!ScanReport::table(rows.mid(0, 1)).contains(u"Not fully read"_s));
}

void TestOvipgwCommand::diagnosisTexts_data()
{
    QTest::addColumn<UiLanguage>("language");
    QTest::addColumn<QString>("firewall");
    QTest::addColumn<QString>("noGateway");
    QTest::addColumn<QString>("outsideSubnet");
    QTest::addColumn<QString>("portTaken");
    QTest::newRow("English, ufw")
        << UiLanguage::English << u"ufw"_s
        << u"No reply via 198.18.0.255 (gwlan0), 10.255.255.255. Likely: a firewall (ufw) blocks replies to UDP "
           "port 30718; the gateway is in another subnet (use \"Reset IP-Adr.\"); port 30718 is taken."_s
        << u"This gateway's address lies outside the subnet of every network adapter; give it an address in "
           "your network with \"Reset IP-Adr.\"."_s
        << u"No search possible: UDP port 30718 is in use by another program (is the tool already running?)"_s;
    QTest::newRow("German, no firewall")
        << UiLanguage::German << QString()
        << u"Keine Antwort über 198.18.0.255 (gwlan0), 10.255.255.255. Wahrscheinlich: eine Firewall blockiert "
           "Antworten an UDP-Port 30718; das Gateway liegt in einem anderen Subnetz (\"Reset IP-Adr.\" verwenden); "
           "Port 30718 ist belegt."_s
        << u"Die Adresse dieses Gateways liegt außerhalb des Subnetzes aller Netzwerkadapter; mit \"Reset "
           "IP-Adr.\" eine Adresse im eigenen Netzwerk vergeben."_s
        << u"Suche nicht möglich: UDP-Port 30718 wird von einem anderen Programm belegt (läuft das Programm "
           "bereits?)"_s;
}

void TestOvipgwCommand::diagnosisTexts()
{
    QFETCH(UiLanguage, language);
    QFETCH(QString, firewall);
    StringTable::setCurrentLanguage(language);
    const QList<LocalAdapter> adapters{{u"gwlan0"_s, 0xC6120001, 0xFFFFFF00}};
    QTEST(NoReplyDiagnosis::noGatewayText({u"198.18.0.255"_s, u"10.255.255.255"_s}, adapters, firewall),
          "noGateway");
    QTEST(NoReplyDiagnosis::outsideSubnetText(), "outsideSubnet");
    QTEST(NoReplyDiagnosis::portTakenText(), "portTaken");
}

void TestOvipgwCommand::subnetOfAdapters()
{
    const QList<LocalAdapter> adapters{{u"eth0"_s, 0xC0A80111, 0xFFFFFF00}, {u"wg0"_s, 0x0A010203, 0xFF000000},
                                       {u"down"_s, 0, 0}};
    QCOMPARE(AdapterContaining(adapters, 0xC0A801FE)->name, u"eth0"_s); // 192.168.1.254
    QCOMPARE(AdapterContaining(adapters, 0x0AFF0001)->name, u"wg0"_s);  // 10.255.0.1
    QVERIFY(!AdapterContaining(adapters, 0xC0A80201));                  // 192.168.2.1: no adapter's
}

QTEST_GUILESS_MAIN(TestOvipgwCommand)
#include "TestOvipgwCommand.moc"
