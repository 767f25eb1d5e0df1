#include "LanguageSwitch.h"
#include "TemporaryConfigHome.h"

#include <QFileInfo>
#include <QTest>

namespace {

constexpr int None = -1;

int encode(std::optional<UiLanguage> language)
{
    return language ? int(*language) : None;
}

// QVariant holds no std::optional: -1 in a row means "value absent".
std::optional<qint64> given(qint64 value)
{
    return value == -1 ? std::nullopt : std::optional<qint64>(value);
}

constexpr int English = int(UiLanguage::English);
constexpr int German = int(UiLanguage::German);

} // namespace

class TestLanguageSwitch : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TemporaryConfigHome> m_config;

private slots:
    void init()
    {
        m_config = std::make_unique<TemporaryConfigHome>();
        QVERIFY(m_config->isValid());
    }

    void languageFromSwitch_data()
    {
        QTest::addColumn<qint64>("language");
        QTest::addColumn<qint64>("subLanguage");
        QTest::addColumn<int>("expected");
        QTest::newRow("German (Germany)") << 7LL << 1LL << German;
        QTest::newRow("English (US)") << 9LL << 1LL << English;
        QTest::newRow("German (Switzerland)") << 7LL << 2LL << German;
        QTest::newRow("German (Austria)") << 7LL << 3LL << German;
        QTest::newRow("French falls back to English") << 12LL << 1LL << English;
        QTest::newRow("both zero: unchanged") << 0LL << 0LL << None;
        QTest::newRow("only SubLanguage zero: applied") << 7LL << 0LL << German;
        QTest::newRow("only Language zero: applied") << 0LL << 1LL << English;
        QTest::newRow("Language missing") << -1LL << 1LL << None;
        QTest::newRow("SubLanguage missing") << 7LL << -1LL << None;
        QTest::newRow("both missing") << -1LL << -1LL << None;
        QTest::newRow("whole identifier in Language") << 0x0407LL << 0LL << German;
        QTest::newRow("SubLanguage shifted past 16 bits") << 7LL << 64LL << German;
        QTest::newRow("largest DWORD") << 0xFFFFFFFFLL << 0LL << English;
        QTest::newRow("more than a DWORD") << 0x100000007LL << 1LL << None;
        QTest::newRow("negative") << -7LL << 1LL << None;
    }

    void languageFromSwitch()
    {
        QFETCH(qint64, language);
        QFETCH(qint64, subLanguage);
        QFETCH(int, expected);
        QCOMPARE(encode(LanguageSwitch::languageFromSwitch(given(language), given(subLanguage))), expected);
    }

    void languageId_data()
    {
        QTest::addColumn<qint64>("language");
        QTest::addColumn<qint64>("subLanguage");
        QTest::addColumn<int>("id");
        QTest::newRow("1031") << 7LL << 1LL << 0x0407;
        QTest::newRow("1033") << 9LL << 1LL << 0x0409;
        QTest::newRow("3079") << 7LL << 3LL << 0x0C07;
        QTest::newRow("taken to 16 bits") << 0x12345LL << 0x41LL << 0x2745;
    }

    void languageId()
    {
        QFETCH(qint64, language);
        QFETCH(qint64, subLanguage);
        QFETCH(int, id);
        const auto result = LanguageSwitch::languageId(language, subLanguage);
        QVERIFY(result);
        QCOMPARE(int(*result), id);
    }

    void readNumber_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<qint64>("number");
        QTest::newRow("decimal text") << QVariant(QStringLiteral("7")) << 7LL;
        QTest::newRow("blanks around") << QVariant(QStringLiteral(" 9 ")) << 9LL;
        QTest::newRow("hex text") << QVariant(QStringLiteral("0x407")) << 0x407LL;
        QTest::newRow("number") << QVariant(7) << 7LL;
        QTest::newRow("word") << QVariant(QStringLiteral("seven")) << -1LL;
        QTest::newRow("empty text") << QVariant(QString()) << -1LL;
        QTest::newRow("fraction") << QVariant(QStringLiteral("7.5")) << -1LL;
        QTest::newRow("list") << QVariant(QStringList{QStringLiteral("7"), QStringLiteral("1")}) << -1LL;
        QTest::newRow("missing") << QVariant() << -1LL;
    }

    void readNumber()
    {
        QFETCH(QVariant, value);
        QFETCH(qint64, number);
        QCOMPARE(LanguageSwitch::readNumber(value), given(number));
    }

    void readSwitch_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("expected");
        const QString user = QStringLiteral("Orvano GmbH/OrvanoLanguageSwitch.ini");
        QTest::newRow("no switch at all") << QString() << QByteArray() << None;
        QTest::newRow("German") << user << QByteArray("[General]\nLanguage=7\nSubLanguage=1\n") << German;
        QTest::newRow("English") << user << QByteArray("[General]\nLanguage=9\nSubLanguage=1\n") << English;
        QTest::newRow("hex values") << user << QByteArray("[General]\nLanguage=0x7\nSubLanguage=0x1\n") << German;
        QTest::newRow("SubLanguage absent") << user << QByteArray("[General]\nLanguage=7\n") << None;
        QTest::newRow("both zero") << user << QByteArray("[General]\nLanguage=0\nSubLanguage=0\n") << None;
        QTest::newRow("Language unreadable") << user << QByteArray("[General]\nLanguage=de\nSubLanguage=1\n") << None;
        QTest::newRow("values in another section") << user << QByteArray("[Other]\nLanguage=7\nSubLanguage=1\n") << None;
        QTest::newRow("damaged file") << user << QByteArray("\x01\x02[Gen\nLanguage\n=\n") << None;
        // Only the per-user switch counts; the machine-wide one of old
        // platform versions is never consulted.
        QTest::newRow("only the machine-wide switch")
            << QStringLiteral("Fennick GmbH/FnkLanguageSwitch.ini") << QByteArray("[General]\nLanguage=7\nSubLanguage=1\n")
            << None;
    }

    void readSwitch()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(int, expected);
        if (!file.isEmpty())
            m_config->writeFile(file, content);
        QCOMPARE(encode(LanguageSwitch::readSwitch()), expected);
        // Reading never creates the switch.
        if (file.isEmpty())
            QVERIFY(!QFileInfo::exists(m_config->path() + QStringLiteral("/Orvano GmbH")));
    }

    void chooseLanguagePrefersSwitch()
    {
        m_config->writeFile(QStringLiteral("Orvano GmbH/OrvanoLanguageSwitch.ini"),
                            "[General]\nLanguage=7\nSubLanguage=1\n");
        QCOMPARE(LanguageSwitch::chooseLanguage(), UiLanguage::German);
    }

    void chooseLanguageWithoutSwitchFollowsSystem()
    {
        QCOMPARE(LanguageSwitch::chooseLanguage(), LanguageSwitch::languageFromLocale(QLocale::system()));
    }

    void languageFromLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("expected");
        QTest::newRow("de_DE") << QStringLiteral("de_DE") << German;
        QTest::newRow("de_AT") << QStringLiteral("de_AT") << German;
        QTest::newRow("de_CH") << QStringLiteral("de_CH") << German;
        QTest::newRow("en_US") << QStringLiteral("en_US") << English;
        QTest::newRow("fr_FR") << QStringLiteral("fr_FR") << English;
        QTest::newRow("C") << QStringLiteral("C") << English;
    }

    void languageFromLocale()
    {
        QFETCH(QString, locale);
        QFETCH(int, expected);
        QCOMPARE(int(LanguageSwitch::languageFromLocale(QLocale(locale))), expected);
    }
};

QTEST_GUILESS_MAIN(TestLanguageSwitch)
#include "TestLanguageSwitch.moc"
