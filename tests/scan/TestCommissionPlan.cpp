// What the writing commands decide without a network: plans read from their
// files, option values refused before anything is sent, the journal.

#include "CommissionCommand.h"
#include "ScanReport.h"
#include "SitePlan.h"
#include "StringTable.h"
#include "Telegrams.h"
#include "Texts.h"
#include "WriteJournal.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

class TestCommissionPlan : public QObject
{
    Q_OBJECT

private slots:
    void plans_data()
    {
        QTest::addColumn<QByteArray>("file");
        // Each row as "mac ip port mode hostBits gateway locked", or its
        // refusal, joined by "; "; or the error.
        QTest::addColumn<QString>("expected");
        QTest::newRow("own columns") << "mac,ip,port\n00-50-c2-4a-00-0a,10.0.0.5,10002\n"_ba
                                     << u"0050C24A000A 10.0.0.5 10002 - - - -"_s;
        QTest::newRow("quoted, CRLF, empty cell keeps")
            << "mac,\"ip\",mode\r\n\"00:50:C2:4A:00:0A\",,udp-active\r\n"_ba << u"0050C24A000A - - 2 - - -"_s;
        QTest::newRow("scan csv in English") << scanList(UiLanguage::English, QLatin1Char(',')).toUtf8()
                                             << u"0050C24A000B dhcp 10001 3 8 10.0.0.1 -; "_s + Refused.arg(u"Baud rate"_s) + NotRead;
        QTest::newRow("scan tsv in German, UTF-16 LE") << utf16(scanList(UiLanguage::German, QLatin1Char('\t')), false)
                                                       << u"0050C24A000B dhcp 10001 3 8 10.0.0.1 -; "_s + Refused.arg(u"Baudrate"_s) + NotRead;
        QTest::newRow("semicolons, UTF-8 mark, keywords in capitals")
            << "\xEF\xBB\xBFmac;ip;mask;gateway;mode;protect\n0050C24A000A;DHCP;AUTO;NONE;UDP-Passive;Ja\n;;;;;\n"_ba
            << u"0050C24A000A dhcp - 3 0 0.0.0.0 yes"_s;
        QTest::newRow("UTF-16 BE, a German header") << utf16(u"mac,Flußsteuerung,protect\n0050C24A000A,1,FALSE\n"_s, true)
                                                    << u"0050C24A000A - - - - - no"_s;
        QTest::newRow("Windows-1252") << "mac;Parit\xE4t\n0050C24A000A;EVEN\n"_ba << u"0050C24A000A - - - - - -"_s;
        QTest::newRow("a cell over two lines keeps the line numbers")
            << "GW MAC Address,GW Type,Port\n0050C24A000A,\"a\nb\",1\n0050C24A000B,x,-0\n"_ba
            << u"line 4: column 3 \"Port\": \"-0\" cannot be read as a value of this column"_s;
        QTest::newRow("host bits below zero") << "GW MAC Address,Subnet/GW\n0050C24A000A,Host-Bits: -1\n"_ba
                                              << u"line 2: column 2 \"Subnet/GW\": \"Host-Bits: -1\" cannot be read as a value of this column"_s;
        QTest::newRow("NUL in a cell") << "mac,ip\n0050C24A000A,10.0.0.5\0\n"_ba
                                       << u"line 2: column 2 \"ip\": the cell holds the control character U+0000"_s;
        QTest::newRow("column twice") << "mac,ip,IP\n"_ba << u"line 1: the column \"IP\" appears twice"_s;
        QTest::newRow("two columns, one value") << "mac,ip,GW IP Address\n"_ba
                                                << u"line 1: the columns \"ip\" and \"GW IP Address\" give the same value"_s;
        QTest::newRow("cells beyond the header") << "mac\n0050C24A000A,\n"_ba
                                                 << u"line 2: 2 cells, but the header has 1 columns"_s;
        QTest::newRow("protect neither yes nor no") << "mac,protect\n0050C24A000A,maybe\n"_ba
                                                    << u"line 2: column 2 \"protect\": \"maybe\" is neither yes nor no (1/0, yes/no, true/false, ja/nein)"_s;
        QTest::newRow("port out of range") << "mac,port\n0050C24A000A,70000\n"_ba
                                           << u"line 2: column 2 \"port\": option --port does not take \"70000\" (see ovipgw set --help)"_s;
        QTest::newRow("no mac column") << "ip\n10.0.0.5\n"_ba << u"line 1: the plan has no column \"mac\""_s;
        QTest::newRow("unknown column") << "mac,colour\n"_ba << u"line 1: unknown column \"colour\""_s;
        QTest::newRow("twice") << "mac\n0050C24A000A\n00-50-C2-4A-00-0A\n"_ba
                               << u"line 3: MAC address 00-50-C2-4A-00-0A appears twice"_s;
        QTest::newRow("multicast address") << "mac;ip\n0050C24A000A;224.0.0.9\n"_ba
                                           << u"line 2: column 2 \"ip\": 224.0.0.9 is a multicast address "
                                              "(224.0.0.0 to 239.255.255.255), which no gateway can have"_s;
        QTest::newRow("not a MAC") << "mac\n0X50C24A000A\n"_ba
                                   << u"line 2: column 1 \"mac\": \"0X50C24A000A\" is not a MAC address (12 hexadecimal digits)"_s;
    }
    void plans()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, expected);
        StringTable::setCurrentLanguage(UiLanguage::English);
        QTemporaryDir folder;
        QFile plan(folder.filePath(u"plan.csv"_s));
        QVERIFY(plan.open(QIODevice::WriteOnly) && plan.write(file) == file.size());
        plan.close();
        QString error;
        const std::optional<QList<PlannedGateway>> rows = SitePlan::read(plan.fileName(), &error);
        if (!rows) {
            QCOMPARE(error, expected);
            return;
        }
        QStringList shownRows;
        for (const PlannedGateway &row : *rows) {
            const ConfigurationChange &c = row.change;
            const auto shown = [](const auto &value, auto toText) { return value ? toText(*value) : u"-"_s; };
            const auto number = [](int value) { return QString::number(value); };
            const auto yesNo = [](bool value) { return value ? u"yes"_s : u"no"_s; };
            shownRows.append(row.refused() ? row.mac + u' ' + row.refusal
                             : QStringList({row.mac, c.dhcp == true ? u"dhcp"_s : shown(c.address, DottedAddressText),
                                            shown(c.port, number), shown(c.mode, number), shown(c.hostBits, number),
                                            shown(c.defaultGateway, DottedAddressText), shown(c.locked, yesNo)})
                                   .join(u' '));
        }
        QCOMPARE(shownRows.join(u"; "_s), expected);
        QVERIFY(SitePlan::read(QString(), &error) == std::nullopt);
        QCOMPARE(error, u"no plan file given (the path is empty)"_s);
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

    void journalKeepsWholeLinesOwnerOnly()
    {
        QTemporaryDir folder;
        WriteJournal journal(folder.filePath(u"state/ovipgwadmin/journal.jsonl"_s));
        const mode_t umaskBefore = ::umask(0);
        QString error;
        const bool appended = journal.append({{u"mac"_s, u"A"_s}}, &error);
        ::umask(umaskBefore);
        QVERIFY2(appended, qPrintable(error));
        QCOMPARE(modeOf(journal.path()), 0600);
        QCOMPARE(modeOf(folder.filePath(u"state/ovipgwadmin"_s)), 0700);
        // A line cut short by a crash, then a later write: each costs only itself.
        QFile file(journal.path());
        QVERIFY(file.open(QIODevice::Append) && file.write("{\"mac\":\"broken\"") > 0);
        file.close();
        QVERIFY(journal.append({{u"mac"_s, u"B"_s}}, &error));
        const WriteJournal::ReadResult read = journal.read();
        QCOMPARE(read.entries.size(), 2);
        QCOMPARE(read.lines, QList<qint64>({1, 3}));
        QCOMPARE(read.damagedLines, 1);
    }

    void journalReads_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("expected"); // macs | lines | damaged lines
        QTest::addColumn<QString>("cause");
        QTest::newRow("damaged and cut short") << u"damaged"_s << u"A B | 1 3 | 2"_s << QString();
        QTest::newRow("beyond 64 MiB") << u"large"_s << u"A B | 1 3 | 1"_s << QString();
        QTest::newRow("none yet") << u"missing"_s << u" |  | 0"_s << QString();
        QTest::newRow("a folder") << u"folder"_s << u" |  | 0"_s << u"it is a folder, not a regular file"_s;
        QTest::newRow("a FIFO") << u"fifo"_s << u" |  | 0"_s << u"it is a named pipe (FIFO), not a regular file"_s;
        QTest::newRow("a device") << u"/dev/zero"_s << u" |  | 0"_s << u"it is a device, not a regular file"_s;
    }
    void journalReads()
    {
        QFETCH(QString, kind);
        QFETCH(QString, expected);
        QFETCH(QString, cause);
        StringTable::setCurrentLanguage(UiLanguage::English);
        QTemporaryDir folder;
        const QString path = journalOfKind(kind, folder);
        const WriteJournal::ReadResult read = WriteJournal(path).read();
        QStringList macs;
        for (const QJsonObject &entry : read.entries)
            macs.append(entry.value(u"mac"_s).toString());
        QStringList lines;
        for (const qint64 line : read.lines)
            lines.append(QString::number(line));
        QCOMPARE(u"%1 | %2 | %3"_s.arg(macs.join(u' '), lines.join(u' ')).arg(read.damagedLines), expected);
        QCOMPARE(read.error, cause.isEmpty() ? QString() : u"the journal %1 cannot be read (%2)"_s.arg(path, cause));
    }

    void journalRefusesAtOnce_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("cause");
        QTest::newRow("a folder") << u"folder"_s << u"it is a folder, not a regular file"_s;
        QTest::newRow("a FIFO") << u"fifo"_s << u"it is a named pipe (FIFO), not a regular file"_s;
        QTest::newRow("a folder others may change") << u"shared"_s << u"other users may change the folder"_s;
        QTest::newRow("a folder no file can be made in") << u"/sys/journal.jsonl"_s << u"the folder /sys"_s;
    }
    void journalRefusesAtOnce()
    {
        QFETCH(QString, kind);
        QFETCH(QString, cause);
        StringTable::setCurrentLanguage(UiLanguage::English);
        QTemporaryDir folder;
        QElapsedTimer timer;
        timer.start();
        QString error;
        QVERIFY(!WriteJournal(journalOfKind(kind, folder)).append({{u"mac"_s, u"C"_s}}, &error));
        QVERIFY2(error.contains(cause), qPrintable(error));
        QVERIFY2(timer.elapsed() < 5000, "waited for a lock nobody holds");
    }

private:
    inline static const QString Refused =
        u"0050C24A000C refused: the plan gives %1 \"12345\", a value ovipgw set does not offer; nothing sent"_s;
    inline static const QString NotRead = u"; 0050C24A000D refused: the scan did not read this gateway's network "
                                          u"settings, so its address may be a DHCP lease; nothing sent"_s;

    // The list `ovipgw scan --format csv|tsv` writes: a gateway as found, and
    // one reporting a baud rate `set` does not offer, one whose answer to
    // the network read did not come.
    static QString scanList(UiLanguage language, QChar separator)
    {
        StringTable::setCurrentLanguage(language);
        const auto row = [language](const QString &ip, const QString &mac, const QString &baud) {
            ScanRow r;
            r.cells = QStringList{u"EIB Gateway"_s, ip, mac, StringTable::text(StringBase::ModeName + 3, language),
                                  u"10001"_s, u"10.0.0.1"_s, u"255.255.255.0"_s, u"V1.0"_s,
                                  u"Host-Bits: 8 / GW: 10.0.0.1"_s, baud, u"8"_s, u"1"_s, u"0"_s, u"0"_s};
            r.complete = false;
            return r;
        };
        ScanRow notRead = row(u"10.0.0.9"_s, u"00-50-C2-4A-00-0D"_s, QString());
        notRead.cells[GatewayList::SubnetGatewayColumn].clear();
        const QString text = ScanReport::delimited({row(u"10.0.0.7 (DHCP)"_s, u"00-50-C2-4A-00-0B"_s, u"9600"_s),
                                                    row(u"10.0.0.8"_s, u"00-50-C2-4A-00-0C"_s, u"12345"_s), notRead},
                                                   separator);
        StringTable::setCurrentLanguage(UiLanguage::English);
        return text;
    }

    static int modeOf(const QString &path)
    {
        struct stat status {};
        return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? int(status.st_mode & 07777) : -1;
    }

    static QByteArray utf16(const QString &text, bool bigEndian)
    {
        QStringEncoder encoder(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE,
                               QStringConverter::Flag::WriteBom);
        return encoder(text);
    }

    // A journal path in `folder` that is what `kind` names, or `kind` itself.
    static QString journalOfKind(const QString &kind, const QTemporaryDir &folder)
    {
        const QString path = folder.filePath(u"journal.jsonl"_s);
        QFile file(path);
        if (kind == u"damaged" || kind == u"large") {
            file.open(QIODevice::WriteOnly);
            file.write("{\"mac\":\"A\"}\n");
            if (kind == u"large")
                file.resize(65 * 1024 * 1024); // one long line of NULs
            file.seek(file.size());
            file.write(kind == u"large" ? "\n{\"mac\":\"B\"}\n" : "garbage\n{\"mac\":\"B\"}\n{\"mac\":\"cut");
        } else if (kind == u"folder") {
            QDir(folder.path()).mkdir(u"journal.jsonl"_s);
        } else if (kind == u"fifo") {
            ::mkfifo(QFile::encodeName(path).constData(), 0600);
        } else if (kind == u"shared") {
            QFile::setPermissions(folder.path(), QFileDevice::Permissions(0x7777));
        } else if (kind != u"missing") {
            return kind;
        }
        return path;
    }
};

QTEST_GUILESS_MAIN(TestCommissionPlan)
#include "TestCommissionPlan.moc"
