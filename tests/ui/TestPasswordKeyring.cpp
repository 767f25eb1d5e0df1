// Where the configuration password lives, end to end: the window's password
// dialog, its start-up and `ovipgw` against a real desktop keyring (run in
// scripts/keyring-session.sh, GWCFG_TEST_KEYRING=1) and with none on the
// session bus (GWCFG_TEST_KEYRING=0), where the settings file keeps it as
// it always did. No network: the window's refresh runs against a fake one,
// and ovipgw only ever looks for its gateway at 127.0.0.1.

#include "FakeExchange.h"
#include "GatewayListDialog.h"
#include "ModalDriver.h"
#include "OvipgwCommand.h"
#include "PasswordSettingsDialog.h"
#include "PasswordStore.h"
#include "Settings.h"
#include "StringTable.h"
#include "TemporaryConfigHome.h"
#include "Texts.h"

#include <QAbstractButton>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString Application = u"ovipgwadmin"_s;
constexpr int WaitMs = 10000;

struct Started
{
    std::unique_ptr<PasswordStore> store;
    std::unique_ptr<GatewayListDialog> window;
};

// The window as the program starts it: the flag from the settings, the
// password from the store, then its first refresh.
Started startWindow(Settings &settings, FakeNetwork &network)
{
    Started started;
    started.store = std::make_unique<PasswordStore>(settings);
    started.window = std::make_unique<GatewayListDialog>();
    started.window->setExchangeFactory(network.factory());
    started.window->setVariant(0, 0);
    started.window->setProtectionFlag(settings.protectionFlag());
    started.window->setPasswordStore(started.store.get());
    started.window->setSettings(&settings);
    QSignalSpy refreshed(started.window.get(), &GatewayListDialog::refreshFinished);
    started.window->OnInitDialog();
    if (!refreshed.wait(WaitMs))
        started.window.reset();
    return started;
}

// `ovipgw set` that locks a gateway: it needs a password before it looks
// for the gateway, which it then does not find at 127.0.0.1.
struct CommandRun
{
    int status = -1;
    QString err;
};
CommandRun lockingSet(UiLanguage language)
{
    StringTable::setCurrentLanguage(language);
    QByteArray out;
    QByteArray err;
    CommandRun run;
    run.status = OvipgwCommand::run({u"set"_s, u"00-50-C2-4A-00-0A"_s, u"--port"_s, u"10001"_s, u"--protect"_s,
                                     u"--broadcast"_s, u"127.0.0.1"_s, u"--timeout"_s, u"100"_s},
                                    &out, &err);
    run.err = QString::fromUtf8(err);
    StringTable::setCurrentLanguage(UiLanguage::English);
    return run;
}

bool ownerOnly(const QString &path)
{
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
        | QFile::WriteOther | QFile::ExeOther;
    return QFileInfo::exists(path) && !(QFileInfo(path).permissions() & others);
}

} // namespace

class TestPasswordKeyring : public QObject
{
    Q_OBJECT

private slots:
    void passwordMovesIntoTheKeyringWhereThereIsOne()
    {
        const QString mode = qEnvironmentVariable("GWCFG_TEST_KEYRING");
        QVERIFY2(mode == u"0"_s || mode == u"1"_s, "GWCFG_TEST_KEYRING must say whether a keyring runs");
        const bool keyring = mode == u"1"_s;
        TemporaryConfigHome config;
        QVERIFY(config.isValid());
        // As every earlier copy of the tool left it: the password in clear.
        config.writeFile(u"OVIPCFG0000/ovipgwadmin.ini"_s, "[Settings]\nUsePW=1\nPW=alt\n");
        Settings settings(0, Application);
        const QString file = settings.location();
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));

        // ovipgw takes it from the file, and says so (in German here).
        CommandRun run = lockingSet(UiLanguage::German);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.startsWith(StringTable::text(Text::StoredPasswordFromSettings, UiLanguage::German).arg(file)
                                    + u'\n'),
                 qPrintable(run.err));

        // The window reads it before its first refresh, and OK in the
        // password dialog stores a new one.
        FakeNetwork network;
        {
            Started started = startWindow(settings, network);
            QVERIFY(started.window);
            QCOMPARE(network.discoveryPasswords, QStringList{u"alt"_s});
            whenModal<PasswordSettingsDialog>([](PasswordSettingsDialog *dialog) {
                qobject_cast<QLineEdit *>(dialog->control(1015))->setText(u"neu"_s);
                QTest::mouseClick(qobject_cast<QAbstractButton *>(dialog->control(1)), Qt::LeftButton);
            });
            QSignalSpy saved(started.store.get(), &PasswordStore::saved);
            started.window->OnPassword();
            QCOMPARE(started.window->password(), u"neu"_s);
            QVERIFY(saved.wait(WaitMs));
            QCOMPARE(started.store->place(),
                     keyring ? PasswordStore::Place::Keyring : PasswordStore::Place::SettingsFile);
        }
        // With a keyring the file keeps only the flag; without one it is
        // written as it always was.
        QCOMPARE(settings.protectionFlag(), 1);
        QCOMPARE(settings.hasPassword(), !keyring);
        if (!keyring)
            QCOMPARE(settings.password(), u"neu"_s);
        QVERIFY(ownerOnly(file));

        // The next start reads it back: from the keyring, and still before
        // the first refresh, which would otherwise find the locked
        // gateways locked with a password it does not have.
        network = FakeNetwork{};
        {
            Started started = startWindow(settings, network);
            QVERIFY(started.window);
            QCOMPARE(started.window->password(), u"neu"_s);
            QCOMPARE(network.discoveryPasswords, QStringList{u"neu"_s});
        }

        run = lockingSet(UiLanguage::English);
        QCOMPARE(run.status, 1);
        const QString said = keyring ? StringTable::text(Text::StoredPasswordFromKeyring, UiLanguage::English)
                                     : StringTable::text(Text::StoredPasswordFromSettings, UiLanguage::English).arg(file);
        QVERIFY2(run.err.startsWith(said + u'\n'), qPrintable(run.err));
    }
};

QTEST_MAIN(TestPasswordKeyring)
#include "TestPasswordKeyring.moc"
