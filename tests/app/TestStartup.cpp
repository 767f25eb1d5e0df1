#include "GatewayConfigApp.h"
#include "ProgramName.h"
#include "StringTable.h"
#include "TemporaryConfigHome.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// None of these cases may reach the main window: it starts a discovery
// broadcast as soon as it is shown.
class TestStartup : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TemporaryConfigHome> m_config;

    struct SeenMessage
    {
        QString title;
        QString text;
        int count = 0;
    };

    // Answers every modal message box that appears while `run` runs.
    static int runAnsweringMessages(GatewayConfigApp &app, SeenMessage &seen)
    {
        QTimer watcher;
        watcher.setInterval(20);
        QObject::connect(&watcher, &QTimer::timeout, [&seen] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                seen.title = box->windowTitle();
                seen.text = box->text();
                ++seen.count;
                box->accept();
            }
        });
        // A modal window that no one answers would hang the test; give up.
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] {
            if (QWidget *modal = QApplication::activeModalWidget())
                modal->close();
        });
        watcher.start();
        guard.start(10000);
        return app.run();
    }

    void writeLanguageSwitch(int language, int subLanguage)
    {
        const QString folder = m_config->path() + QStringLiteral("/Orvano GmbH");
        QVERIFY(QDir().mkpath(folder));
        QFile file(folder + QStringLiteral("/OrvanoLanguageSwitch.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("[General]\nLanguage=%1\nSubLanguage=%2\n").arg(language).arg(subLanguage).toUtf8());
    }

private slots:
    void init()
    {
        m_config = std::make_unique<TemporaryConfigHome>();
        QVERIFY(m_config->isValid());
    }

    void cleanup() { StringTable::setCurrentLanguage(UiLanguage::English); }

    void socketFailureShowsMessage_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("programPath");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("message");
        QTest::newRow("English") << 9 << QStringLiteral("/opt/gw/ovipgwadmin") << QStringLiteral("ovipgwadmin")
                                 << QStringLiteral("Error initializing Windows sockets.");
        QTest::newRow("German") << 7 << QStringLiteral("/opt/gw/VzuIpConfig.exe") << QStringLiteral("VzuIpConfig")
                                << QStringLiteral("Fehler beim Initialisieren der Windows-Sockets.");
        // The check comes before the variant lookup.
        QTest::newRow("unknown name") << 9 << QStringLiteral("gateway.bin") << QStringLiteral("gateway")
                                      << QStringLiteral("Error initializing Windows sockets.");
    }

    void socketFailureShowsMessage()
    {
        QFETCH(int, language);
        QFETCH(QString, programPath);
        QFETCH(QString, caption);
        QFETCH(QString, message);
        writeLanguageSwitch(language, 1);

        GatewayConfigApp app(programPath, [] { return false; });
        SeenMessage seen;
        QCOMPARE(runAnsweringMessages(app, seen), int(GatewayConfigApp::ExitNoSockets));
        QCOMPARE(seen.count, 1);
        QCOMPARE(seen.title, caption);
        QCOMPARE(seen.text, message);
        QCOMPARE(app.mainWindow(), nullptr);
        QVERIFY(!QFileInfo::exists(m_config->path() + QStringLiteral("/OVIPCFG0000")));
    }

    void unknownNameEndsSilently_data()
    {
        QTest::addColumn<QString>("programPath");
        QTest::newRow("suffix") << QStringLiteral("/opt/gw/ovipgwadmin2");
        QTest::newRow("upper-case suffix") << QStringLiteral("OVIPGWADMIN2.EXE");
        QTest::newRow("empty argument vector") << QString();
    }

    void unknownNameEndsSilently()
    {
        QFETCH(QString, programPath);
        GatewayConfigApp app(programPath, [] { return true; });
        SeenMessage seen;
        QCOMPARE(runAnsweringMessages(app, seen), int(GatewayConfigApp::ExitNoVariant));
        QCOMPARE(seen.count, 0);
        QCOMPARE(app.mainWindow(), nullptr);
        for (QWidget *widget : QApplication::topLevelWidgets())
            QVERIFY2(!widget->isVisible(), qPrintable(widget->objectName()));
        // Nothing is read or written for a name that is no variant.
        QCOMPARE(QDir(m_config->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    }

    void languageIsFixedBeforeStartUpEnds()
    {
        writeLanguageSwitch(7, 1);
        GatewayConfigApp app(QStringLiteral("ovipgwadmin2"), [] { return true; });
        SeenMessage seen;
        runAnsweringMessages(app, seen);
        QCOMPARE(StringTable::currentLanguage(), UiLanguage::German);
    }

    void defaultSocketCheckWorksOnLoopback()
    {
        QVERIFY(GatewayConfigApp::udpSocketsAvailable());
    }

    void buildTreeHoldsEveryVariantName()
    {
        const QFileInfo binary(QStringLiteral(OVIPGWADMIN_PATH));
        QVERIFY(binary.isExecutable());
        QCOMPARE(ProgramName::variant(binary.filePath())->variantIndex, 0);
        const QStringList links = QStringLiteral(VARIANT_LINKS).split(u',');
        QCOMPARE(links.size(), 6);
        for (int i = 0; i < links.size(); ++i) {
            const QFileInfo link(binary.absolutePath() + u'/' + links.at(i));
            QVERIFY2(link.isSymLink(), qPrintable(link.filePath()));
            QCOMPARE(link.symLinkTarget(), binary.canonicalFilePath());
            const auto variant = ProgramName::variant(link.filePath());
            QVERIFY2(variant, qPrintable(link.fileName()));
            QCOMPARE(variant->variantIndex, i + 1);
        }
    }

    void executableUnderWrongNameExitsAtOnce_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("copy");
        QTest::newRow("symlink with suffix") << QStringLiteral("ovipgwadmin2") << false;
        QTest::newRow("symlink, upper case with suffix") << QStringLiteral("OVIPGWADMIN2.EXE") << false;
        QTest::newRow("symlink, other extension") << QStringLiteral("ovipgwadmin.sh") << false;
        QTest::newRow("copy under a new name") << QStringLiteral("gatewaytool") << true;
    }

    void executableUnderWrongNameExitsAtOnce()
    {
        QFETCH(QString, name);
        QFETCH(bool, copy);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString path = folder.filePath(name);
        if (copy)
            QVERIFY(QFile::copy(QStringLiteral(OVIPGWADMIN_PATH), path));
        else
            QVERIFY(QFile::link(QStringLiteral(OVIPGWADMIN_PATH), path));

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config->path());
        process.setProcessEnvironment(environment);
        QSignalSpy finished(&process, &QProcess::finished);
        QElapsedTimer clock;
        clock.start();
        process.start(path, {});
        // A window, even a message box, would keep it running until the limit.
        QVERIFY(finished.wait(20000) || !finished.isEmpty());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), int(GatewayConfigApp::ExitNoVariant));
        QVERIFY(clock.elapsed() < 20000);
        QCOMPARE(QDir(m_config->path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
    }
};

QTEST_MAIN(TestStartup)
#include "TestStartup.moc"
