#include "LanguageSwitch.h"
#include "Settings.h"
#include "TemporaryConfigHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QTest>

#include <sys/stat.h>

namespace {

constexpr QFile::Permissions GroupOrOther = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
    | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;

} // namespace

class TestSettings : public QObject
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

    void location()
    {
        const Settings settings(2, QStringLiteral("ovipgwconfig"));
        QCOMPARE(settings.location(), m_config->filePath(QStringLiteral("OVIPCFG0002/ovipgwconfig.ini")));
    }

    void firstStartGivesDefaultsAndWritesNothing()
    {
        const Settings settings(0, QStringLiteral("ovipgwadmin"));
        QCOMPARE(settings.protectionFlag(), 0);
        QCOMPARE(settings.password(), QString());
        QCOMPARE(settings.broadcastAddress(), QStringLiteral("255.255.255.255"));
        QVERIFY(QDir(m_config->path()).isEmpty());
    }

    void storedValues_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("flag");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("broadcast");
        const QString allOnes = QStringLiteral("255.255.255.255");
        QTest::newRow("all stored") << QByteArray("[Settings]\nUsePW=1\nPW=secret\nBroadcast=198.18.0.255\n") << 1
                                    << QStringLiteral("secret") << QStringLiteral("198.18.0.255");
        QTest::newRow("stored empty broadcast stays empty") << QByteArray("[Settings]\nBroadcast=\n") << 0 << QString()
                                                            << QString();
        QTest::newRow("flag taken as stored") << QByteArray("[Settings]\nUsePW=5\n") << 5 << QString() << allOnes;
        QTest::newRow("negative flag taken as stored") << QByteArray("[Settings]\nUsePW=-1\n") << -1 << QString()
                                                       << allOnes;
        QTest::newRow("flag not a number") << QByteArray("[Settings]\nUsePW=yes\nPW=pw\n") << 0 << QStringLiteral("pw")
                                           << allOnes;
        QTest::newRow("flag beyond 32 bits") << QByteArray("[Settings]\nUsePW=4294967297\n") << 0 << QString()
                                             << allOnes;
        QTest::newRow("password read back as a list")
            << QByteArray("[Settings]\nPW=a, b\nBroadcast=10.1.255.255\n") << 0 << QString() << QStringLiteral("10.1.255.255");
        QTest::newRow("values outside the section") << QByteArray("UsePW=1\nPW=x\n[Other]\nBroadcast=1.2.3.4\n") << 0
                                                    << QString() << allOnes;
        QTest::newRow("damaged file") << QByteArray("[Settings\n\x01\x02\xff\nUsePW\n[Settings]\nPW=ok\n") << 0
                                      << QStringLiteral("ok") << allOnes;
        QTest::newRow("empty file") << QByteArray() << 0 << QString() << allOnes;
    }

    void storedValues()
    {
        QFETCH(QByteArray, ini);
        QFETCH(int, flag);
        QFETCH(QString, password);
        QFETCH(QString, broadcast);
        m_config->writeFile(QStringLiteral("OVIPCFG0001/pln-knx_ipconfig.ini"), ini);
        const Settings settings(1, QStringLiteral("pln-knx_ipconfig"));
        QCOMPARE(settings.protectionFlag(), flag);
        QCOMPARE(settings.password(), password);
        QCOMPARE(settings.broadcastAddress(), broadcast);
    }

    void roundTrip_data()
    {
        QTest::addColumn<int>("flag");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("broadcast");
        QTest::newRow("plain") << 1 << QStringLiteral("geheim") << QStringLiteral("198.18.0.255");
        QTest::newRow("empty texts stay empty") << 0 << QString() << QString();
        QTest::newRow("INI special characters")
            << 1 << QStringLiteral("a,b=c;d#e \"f\" [g] @h \\i") << QStringLiteral(" 198.18.0.255 ");
        QTest::newRow("umlauts") << 1 << QStringLiteral("Grüße-ß") << QStringLiteral("255.255.255.255");
    }

    void roundTrip()
    {
        QFETCH(int, flag);
        QFETCH(QString, password);
        QFETCH(QString, broadcast);
        {
            Settings settings(5, QStringLiteral("vscangwconfig"));
            QVERIFY(settings.setProtectionFlag(flag));
            QVERIFY(settings.setPassword(password));
            QVERIFY(settings.setBroadcastAddress(broadcast));
        }
        const Settings reread(5, QStringLiteral("vscangwconfig"));
        QCOMPARE(reread.protectionFlag(), flag);
        QCOMPARE(reread.password(), password);
        QCOMPARE(reread.broadcastAddress(), broadcast);
    }

    void fastRefreshChoice_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<bool>("fast");
        QTest::newRow("never chosen") << QByteArray("[Settings]\nUsePW=1\n") << false;
        QTest::newRow("chosen") << QByteArray("[Settings]\nFastRefresh=1\n") << true;
        QTest::newRow("chosen off") << QByteArray("[Settings]\nFastRefresh=0\n") << false;
        QTest::newRow("damaged: another number") << QByteArray("[Settings]\nFastRefresh=2\n") << false;
        QTest::newRow("damaged: a word") << QByteArray("[Settings]\nFastRefresh=true\n") << false;
        QTest::newRow("damaged: a list") << QByteArray("[Settings]\nFastRefresh=1, 1\n") << false;
        QTest::newRow("damaged: empty") << QByteArray("[Settings]\nFastRefresh=\n") << false;
    }

    void fastRefreshChoice()
    {
        QFETCH(QByteArray, ini);
        QFETCH(bool, fast);
        m_config->writeFile(QStringLiteral("OVIPCFG0006/vserialgwconfig.ini"), ini);
        Settings settings(6, QStringLiteral("vserialgwconfig"));
        QCOMPARE(settings.fastRefresh(), fast);
        // A new choice replaces whatever was there, damage included.
        QVERIFY(settings.setFastRefresh(!fast));
        QCOMPARE(Settings(6, QStringLiteral("vserialgwconfig")).fastRefresh(), !fast);
    }

    void variantsKeepSeparateSettings()
    {
        Settings admin(0, QStringLiteral("ovipgwadmin"));
        Settings config(2, QStringLiteral("ovipgwconfig"));
        QVERIFY(admin.setProtectionFlag(1));
        QVERIFY(admin.setBroadcastAddress(QStringLiteral("198.18.0.255")));
        QCOMPARE(config.protectionFlag(), 0);
        QCOMPARE(config.broadcastAddress(), QStringLiteral("255.255.255.255"));
        QVERIFY(config.setPassword(QStringLiteral("other")));
        QCOMPARE(admin.password(), QString());
        QVERIFY(QFileInfo::exists(m_config->filePath(QStringLiteral("OVIPCFG0000/ovipgwadmin.ini"))));
        QVERIFY(QFileInfo::exists(m_config->filePath(QStringLiteral("OVIPCFG0002/ovipgwconfig.ini"))));
    }

    void onlyOwnerCanReadThePassword()
    {
        Settings settings(3, QStringLiteral("ovenoceanipconfig"));
        QVERIFY(settings.setPassword(QStringLiteral("secret")));
        const QFileInfo file(settings.location());
        const QFileInfo folder(file.absolutePath());
        QCOMPARE(file.permissions() & GroupOrOther, QFile::Permissions());
        QVERIFY(file.permissions().testFlags(QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(folder.permissions() & GroupOrOther, QFile::Permissions());
    }

    void openPermissionsAreNarrowedOnWrite()
    {
        m_config->writeFile(QStringLiteral("OVIPCFG0004/vzuipconfig.ini"), "[Settings]\nPW=old\n");
        const QString folder = m_config->filePath(QStringLiteral("OVIPCFG0004"));
        const QString file = folder + QStringLiteral("/vzuipconfig.ini");
        const auto open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
            | QFile::ReadOther | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(folder, open));
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
        Settings settings(4, QStringLiteral("vzuipconfig"));
        QVERIFY(settings.setPassword(QStringLiteral("new")));
        QCOMPARE(QFileInfo(file).permissions() & GroupOrOther, QFile::Permissions());
        QCOMPARE(QFileInfo(folder).permissions() & GroupOrOther, QFile::Permissions());
        QCOMPARE(settings.password(), QStringLiteral("new"));
    }

    void writeToDamagedFileRepairsIt()
    {
        m_config->writeFile(QStringLiteral("OVIPCFG0006/vserialgwconfig.ini"),
                            "[Settings\n\x01garbage\n[Settings]\nUsePW=1\n");
        Settings settings(6, QStringLiteral("vserialgwconfig"));
        QVERIFY(settings.setBroadcastAddress(QStringLiteral("198.18.0.255")));
        QCOMPARE(settings.broadcastAddress(), QStringLiteral("198.18.0.255"));
        QCOMPARE(settings.protectionFlag(), 1);
    }

    void unwritableStoreReportsFailure_data()
    {
        QTest::addColumn<QString>("blocked");
        QTest::newRow("config folder is a file") << QString();
        QTest::newRow("variant folder is a file") << QStringLiteral("OVIPCFG0000");
        QTest::newRow("settings file is a folder") << QStringLiteral("OVIPCFG0000/ovipgwadmin.ini");
    }

    void unwritableStoreReportsFailure()
    {
        // A file or folder in the way stops even root, unlike permissions.
        QFETCH(QString, blocked);
        QString root = m_config->path() + QStringLiteral("/config");
        if (blocked.isEmpty()) {
            QFile file(root);
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (blocked.endsWith(QLatin1String(".ini"))) {
            QVERIFY(QDir().mkpath(root + u'/' + blocked));
        } else {
            QVERIFY(QDir().mkpath(root));
            QFile file(root + u'/' + blocked);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(root));
        Settings settings(0, QStringLiteral("ovipgwadmin"));
        QVERIFY(!settings.setProtectionFlag(1));
        QVERIFY(!settings.setPassword(QStringLiteral("x")));
        QVERIFY(!settings.setBroadcastAddress(QStringLiteral("1.2.3.4")));
        QCOMPARE(settings.protectionFlag(), 0);
        QCOMPARE(settings.broadcastAddress(), QStringLiteral("255.255.255.255"));
    }

    // Something other than a small regular file where a store should be: a
    // FIFO (opening it would block for ever), a huge file, a folder. Reading
    // gives the defaults at once, writing fails, and nothing is touched.
    void storeThatIsNoRegularFileIsLeftAlone_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << QStringLiteral("fifo");
        QTest::newRow("huge junk file") << QStringLiteral("huge");
        QTest::newRow("folder") << QStringLiteral("folder");
    }
    void storeThatIsNoRegularFileIsLeftAlone()
    {
        QFETCH(QString, kind);
        const QString settingsPath = m_config->filePath(QStringLiteral("OVIPCFG0002/ovipgwconfig.ini"));
        const QString switchPath = m_config->filePath(QStringLiteral("Orvano GmbH/OrvanoLanguageSwitch.ini"));
        for (const QString &path : {settingsPath, switchPath}) {
            QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
            if (kind == QLatin1String("fifo")) {
                QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0644), 0);
            } else if (kind == QLatin1String("huge")) {
                QFile file(path);
                QVERIFY(file.open(QIODevice::WriteOnly));
                QVERIFY(file.write("[Settings]\nUsePW=1\nLanguage=7\nSubLanguage=1\n") > 0);
                QVERIFY(file.resize(qint64(64) << 20)); // sparse: costs no disk
            } else {
                QVERIFY(QDir().mkpath(path));
                QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                        | QFile::ReadGroup | QFile::ExeGroup));
            }
        }
        const QFile::Permissions before = QFileInfo(settingsPath).permissions();
        const qint64 sizeBefore = QFileInfo(settingsPath).size();

        QElapsedTimer clock;
        clock.start();
        Settings settings(2, QStringLiteral("ovipgwconfig"));
        QCOMPARE(settings.protectionFlag(), 0);
        QCOMPARE(settings.broadcastAddress(), QStringLiteral("255.255.255.255"));
        QCOMPARE(LanguageSwitch::readSwitch(), std::nullopt);
        QVERIFY(!settings.setPassword(QStringLiteral("secret")));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(QFileInfo(settingsPath).permissions(), before);
        QCOMPARE(QFileInfo(settingsPath).size(), sizeBefore);
    }

    void writeToBinaryJunkReportsWhatHappened()
    {
        QByteArray junk;
        for (int i = 0; i < 512; ++i)
            junk.append(char((i * 37 + 11) % 256));
        m_config->writeFile(QStringLiteral("OVIPCFG0003/ovenoceanipconfig.ini"), junk);
        Settings settings(3, QStringLiteral("ovenoceanipconfig"));
        QVERIFY(settings.setBroadcastAddress(QStringLiteral("198.18.0.255")));
        QCOMPARE(Settings(3, QStringLiteral("ovenoceanipconfig")).broadcastAddress(), QStringLiteral("198.18.0.255"));
    }

    void missingConfigFolderIsCreatedOwnerOnly()
    {
        const QString home = m_config->path() + QStringLiteral("/home/config");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home));
        const mode_t oldMask = umask(0);
        Settings settings(0, QStringLiteral("ovipgwadmin"));
        const bool written = settings.setProtectionFlag(1);
        umask(oldMask);
        QVERIFY(written);
        for (const QString &folder : {m_config->path() + QStringLiteral("/home"), home})
            QCOMPARE(QFileInfo(folder).permissions() & GroupOrOther, QFile::Permissions());
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "TestSettings.moc"
