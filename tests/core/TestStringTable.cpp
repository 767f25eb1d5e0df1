#include "StringTable.h"
#include "TextTableFile.h"

#include <QFile>
#include <QSet>
#include <QTest>

// Every number the program loads, in both languages.
static const QList<int> NumbersInUse = {
    103, 104, 105, 106, 107, 114, 115, 116, 117, 132, 133, 134, 135, 136, 137, 138, 139, 140,
    141, 142, 143, 144, 145, 146, 147, 148, 149, 150, 151, 152, 153, 154, 155, 156, 157, 158,
    173, 174, 175, 176, 177, 178, 179, 185, 186, 187, 188, 189, 194, 195, 196, 197, 198, 199,
    200, 201, 202, 203, 205, 208, 209, 210, 211, 212, 213,
};

class TestStringTable : public QObject
{
    Q_OBJECT

private:
    static TextTableFile::Result parseResource(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return TextTableFile::parse(file.readAll());
    }

private slots:
    void cleanup() { StringTable::setCurrentLanguage(UiLanguage::English); }

    void keyTexts_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("german");
        QTest::newRow("103 socket failure") << 103 << QStringLiteral("Error initializing Windows sockets.")
                                            << QStringLiteral("Fehler beim Initialisieren der Windows-Sockets.");
        QTest::newRow("106 mode name") << 106 << QStringLiteral("UDP Active") << QStringLiteral("UDP Aktiv");
        QTest::newRow("146 company, same in both")
            << 146 << QStringLiteral("Orvano Geraetebau- und Netzwerksysteme GmbH")
            << QStringLiteral("Orvano Geraetebau- und Netzwerksysteme GmbH");
        QTest::newRow("152 export header")
            << 152 << QStringLiteral("Type\tGW IP address\tGW MAC address\tMode\tPort\tRemote IP\tIP Mask\r\n")
            << QStringLiteral("Typ\tGW IP Adresse\tGW MAC Adresse\tModus\tPort\tRemote IP\tIP Maske\r\n");
        QTest::newRow("174 title names another bus in German")
            << 174 << QStringLiteral("PLN EIB IP Gateway Configuration")
            << QStringLiteral("PLN KNX IP Gateway Konfiguration");
        QTest::newRow("188 umlaut") << 188 << QStringLiteral("Parity") << QStringLiteral("Parität");
        QTest::newRow("189 sharp s") << 189 << QStringLiteral("Flow Control") << QStringLiteral("Flußsteuerung");
        QTest::newRow("200 umlaut") << 200 << QStringLiteral("Unknown device type!")
                                    << QStringLiteral("Unbekannter Gerätetyp!");
        QTest::newRow("195 ends in a bracket") << 195 << QStringLiteral("Configuration password: [")
                                               << QStringLiteral("Konfigurations-Passwort: [");
        QTest::newRow("208 long message")
            << 208 << QStringLiteral("This network mode is not available for this Gateway type!")
            << QStringLiteral("Dieser Netzwerkmodus ist für den gewählten GW Typ nicht verfügbar!");
        QTest::newRow("212 apostrophe")
            << 212
            << QStringLiteral("Please enter the last two numbers of the device's MAC address (see label on the device housing)!")
            << QStringLiteral("Bitte die letzten beiden Stellen der MAC-Adresse des Gateways eingeben (siehe Aufkleber auf "
                              "Geräte-Gehäuse)!");
    }

    void keyTexts()
    {
        QFETCH(int, number);
        QFETCH(QString, english);
        QFETCH(QString, german);
        QCOMPARE(StringTable::text(number, UiLanguage::English), english);
        QCOMPARE(StringTable::text(number, UiLanguage::German), german);
    }

    void currentLanguagePicksTable()
    {
        StringTable::setCurrentLanguage(UiLanguage::German);
        QCOMPARE(loadString(106), QStringLiteral("UDP Aktiv"));
        QCOMPARE(StringTable::comboEntries(1024).value(0), QStringLiteral("Keine"));
        StringTable::setCurrentLanguage(UiLanguage::English);
        QCOMPARE(loadString(106), QStringLiteral("UDP Active"));
    }

    void everyNumberHasBothLanguages()
    {
        for (int number : NumbersInUse) {
            QVERIFY2(!StringTable::text(number, UiLanguage::English).isEmpty(), qPrintable(QString::number(number)));
            QVERIFY2(!StringTable::text(number, UiLanguage::German).isEmpty(), qPrintable(QString::number(number)));
        }
    }

    void unknownNumberIsEmpty_data()
    {
        QTest::addColumn<int>("number");
        QTest::newRow("zero") << 0;
        QTest::newRow("negative") << -1;
        QTest::newRow("just below the range") << 102;
        QTest::newRow("gap after the modes") << 108;
        QTest::newRow("gap at 204") << 204;
        QTest::newRow("gap at 206") << 206;
        QTest::newRow("beyond 16 bits") << 0x10000 + 103;
    }

    void unknownNumberIsEmpty()
    {
        QFETCH(int, number);
        QVERIFY(StringTable::text(number, UiLanguage::English).isNull());
        QVERIFY(StringTable::text(number, UiLanguage::German).isNull());
    }

    void companyTextIsExact()
    {
        // The text is also compared byte by byte with the gateways' content.
        for (auto language : {UiLanguage::English, UiLanguage::German}) {
            const QString company = StringTable::text(146, language);
            QCOMPARE(company.size(), 43);
            QCOMPARE(company.toLatin1(), QByteArray("Orvano Geraetebau- und Netzwerksysteme GmbH"));
        }
    }

    void exportHeaderShape()
    {
        for (auto language : {UiLanguage::English, UiLanguage::German}) {
            const QString header = StringTable::text(152, language);
            QVERIFY(header.endsWith(QLatin1String("\r\n")));
            QCOMPARE(header.count(u'\r'), 1);
            QCOMPARE(header.count(u'\n'), 1);
            const QStringList titles = header.chopped(2).split(u'\t');
            QCOMPARE(titles.size(), 7);
            for (const QString &title : titles)
                QVERIFY2(!title.isEmpty() && title.trimmed() == title, qPrintable(header));
        }
    }

    void stringResourceIsWellFormed()
    {
        const auto parsed = parseResource(QStringLiteral(":/text/strings.tsv"));
        QVERIFY2(parsed.problems.isEmpty(), qPrintable(parsed.problems.join(u'\n')));
        QSet<int> seen;
        for (const auto &row : parsed.rows) {
            QVERIFY2(!seen.contains(row.key), qPrintable(QStringLiteral("duplicate %1").arg(row.key)));
            seen.insert(row.key);
            QVERIFY(row.key > 0 && row.key <= 0xFFFF);
            // A new text takes a number above those the program already uses.
            QVERIFY2(NumbersInUse.contains(row.key) || row.key > 213, qPrintable(QString::number(row.key)));
        }
        for (int number : NumbersInUse)
            QVERIFY2(seen.contains(number), qPrintable(QString::number(number)));
    }

    void comboEntries_data()
    {
        QTest::addColumn<int>("control");
        QTest::addColumn<QStringList>("english");
        QTest::addColumn<QStringList>("german");
        const QStringList baud = {
            QStringLiteral("300"),    QStringLiteral("600"),    QStringLiteral("1200"),   QStringLiteral("2400"),
            QStringLiteral("4800"),   QStringLiteral("9600"),   QStringLiteral("19200"),  QStringLiteral("38400"),
            QStringLiteral("57600"),  QStringLiteral("115200"), QStringLiteral("230400"), QStringLiteral("460800"),
            QStringLiteral("921600"),
        };
        QTest::newRow("1015 baud rate") << 1015 << baud << baud;
        const QStringList dataBits = {QStringLiteral("7"), QStringLiteral("8")};
        QTest::newRow("1018 data bits") << 1018 << dataBits << dataBits;
        const QStringList stopBits = {QStringLiteral("1"), QStringLiteral("2")};
        QTest::newRow("1022 stop bits") << 1022 << stopBits << stopBits;
        QTest::newRow("1026 parity")
            << 1026 << QStringList{QStringLiteral("N (none)"), QStringLiteral("E (even)"), QStringLiteral("O (odd)")}
            << QStringList{QStringLiteral("N (keine)"), QStringLiteral("E (gerade)"), QStringLiteral("O (ungerade)")};
        QTest::newRow("1024 flow control")
            << 1024 << QStringList{QStringLiteral("None"), QStringLiteral("Hardware (RTS/CTS)")}
            << QStringList{QStringLiteral("Keine"), QStringLiteral("Hardware (RTS/CTS)")};
        QTest::newRow("mode combo box is filled from strings") << 1001 << QStringList() << QStringList();
        QTest::newRow("unknown control") << 0 << QStringList() << QStringList();
    }

    void comboEntries()
    {
        QFETCH(int, control);
        QFETCH(QStringList, english);
        QFETCH(QStringList, german);
        QCOMPARE(StringTable::comboEntries(control, UiLanguage::English), english);
        QCOMPARE(StringTable::comboEntries(control, UiLanguage::German), german);
    }

    void comboResourceIsWellFormed()
    {
        const auto parsed = parseResource(QStringLiteral(":/text/comboentries.tsv"));
        QVERIFY2(parsed.problems.isEmpty(), qPrintable(parsed.problems.join(u'\n')));
        QVERIFY(!parsed.rows.isEmpty());
    }

    void decodeEscapes_data()
    {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("decoded");
        QTest::addColumn<bool>("clean");
        QTest::newRow("plain") << QStringLiteral("GW Typ") << QStringLiteral("GW Typ") << true;
        QTest::newRow("tab") << QStringLiteral("a\\tb") << QStringLiteral("a\tb") << true;
        QTest::newRow("CR LF") << QStringLiteral("end\\r\\n") << QStringLiteral("end\r\n") << true;
        QTest::newRow("backslash") << QStringLiteral("C:\\\\x") << QStringLiteral("C:\\x") << true;
        QTest::newRow("escaped backslash before t") << QStringLiteral("\\\\t") << QStringLiteral("\\t") << true;
        QTest::newRow("unknown escape kept") << QStringLiteral("a\\qb") << QStringLiteral("a\\qb") << false;
        QTest::newRow("trailing backslash kept") << QStringLiteral("ab\\") << QStringLiteral("ab\\") << false;
    }

    void decodeEscapes()
    {
        QFETCH(QString, written);
        QFETCH(QString, decoded);
        QFETCH(bool, clean);
        bool ok = !clean;
        QCOMPARE(TextTableFile::decodeEscapes(written, &ok), decoded);
        QCOMPARE(ok, clean);
    }

    void parseRejectsMalformedLines_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("problems");
        QTest::newRow("good line, comment and blank") << QByteArray("# c\n\n7\tSeven\tSieben\n") << 1 << 0;
        QTest::newRow("CR LF line ends") << QByteArray("7\tSeven\tSieben\r\n8\tEight\tAcht\r\n") << 2 << 0;
        QTest::newRow("German missing") << QByteArray("7\tSeven\n") << 0 << 1;
        QTest::newRow("German empty") << QByteArray("7\tSeven\t\n") << 0 << 1;
        QTest::newRow("extra field") << QByteArray("7\tSeven\tSieben\tx\n") << 0 << 1;
        QTest::newRow("key not a number") << QByteArray("x7\tSeven\tSieben\n") << 0 << 1;
        QTest::newRow("negative key") << QByteArray("-7\tSeven\tSieben\n") << 0 << 1;
        QTest::newRow("binary garbage") << QByteArray::fromHex("00ff09fe0a") << 0 << 1;
    }

    void parseRejectsMalformedLines()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, rows);
        QFETCH(int, problems);
        const auto parsed = TextTableFile::parse(file);
        QCOMPARE(parsed.rows.size(), rows);
        QCOMPARE(parsed.problems.size(), problems);
    }
};

QTEST_GUILESS_MAIN(TestStringTable)
#include "TestStringTable.moc"
