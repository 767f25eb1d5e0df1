// Where the configuration password lives, end to end: the window's password
// dialog, its start-up and `ovipgw` against a real desktop keyring (run in
// scripts/keyring-session.sh, GWCFG_TEST_KEYRING=1) and with none on the
// session bus (GWCFG_TEST_KEYRING=0), where the settings file keeps it as
// it always did. In the virtual LAN: two simulated gateways locked with two
// passwords tell which one the window and ovipgw read them with.

#include "GatewayList.h"
#include "GatewayListDialog.h"
#include "ModalDriver.h"
#include "OvipgwCommand.h"
#include "PasswordSettingsDialog.h"
#include "PasswordStore.h"
#include "RowStatus.h"
#include "Settings.h"
#include "SimulatorProcess.h"
#include "StringTable.h"
#include "TemporaryConfigHome.h"
#include "Texts.h"

#include <QAbstractButton>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString Application = u"ovipgwadmin"_s;
constexpr int WaitMs = 10000;

const QString OldMac = u"00-50-C2-4A-00-0A"_s; // locked with the old password
const QString NewMac = u"00-50-C2-4A-00-0B"_s; // locked with the new one

QJsonObject lockedGateways()
{
    QJsonObject oldLock = SimulatorProcess::gateway(u"198.18.0.10"_s, OldMac);
    oldLock.insert(u"password"_s, u"alt"_s);
    QJsonObject newLock = SimulatorProcess::gateway(u"198.18.0.11"_s, NewMac);
    newLock.insert(u"password"_s, u"neu"_s);
    return SimulatorProcess::config({oldLock, newLock});
}

struct Started
{
    std::unique_ptr<PasswordStore> store;
    std::unique_ptr<GatewayListDialog> window;
};

// The window as the program starts it: the flag from the settings, the
// password from the store, then its first refresh.
Started startWindow(Settings &settings)
{
    Started started;
    started.store = std::make_unique<PasswordStore>(settings);
    started.window = std::make_unique<GatewayListDialog>();
    started.window->setVariant(0, 0);
    started.window->setBroadcastAddress(u"255.255.255.255"_s);
    started.window->setProtectionFlag(settings.protectionFlag());
    started.window->setPasswordStore(started.store.get());
    started.window->setSettings(&settings);
    QSignalSpy refreshed(started.window.get(), &GatewayListDialog::refreshFinished);
    started.window->OnInitDialog();
    if (!refreshed.wait(WaitMs))
        started.window.reset();
    return started;
}

// The MACs of the gateways the window's list shows opened by its password.
QString openedInWindow(GatewayListDialog &window)
{
    const GatewayList &list = window.gatewayList();
    QStringList opened;
    for (int row = 0; row < list.count(); ++row) {
        if (list.rowStatus(row) == int(RowStatus::PasswordOk))
            opened.append(list.cellText(row, GatewayList::MacAddressColumn));
    }
    return opened.join(u',');
}

// `ovipgw scan` with no password named: its exit status, what it said on
// standard error, and the MACs of the gateways it read opened.
struct ScanRun
{
    int status = -1;
    QString err;
    QString opened;
};
ScanRun scan(UiLanguage language)
{
    StringTable::setCurrentLanguage(language);
    QByteArray out;
    QByteArray err;
    ScanRun run;
    run.status = OvipgwCommand::run({u"scan"_s, u"--format=json"_s}, &out, &err);
    run.err = QString::fromUtf8(err);
    StringTable::setCurrentLanguage(UiLanguage::English);
    QStringList opened;
    const QJsonArray rows = QJsonDocument::fromJson(out).object()[u"gateways"_s].toArray();
    for (const QJsonValue &row : rows) {
        if (row[u"status"_s].toString() == u"passwordOk"_s)
            opened.append(row[u"mac"_s].toString());
    }
    run.opened = opened.join(u',');
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
        SimulatorProcess sim;
        QVERIFY2(sim.start(lockedGateways()), qPrintable(sim.errorString()));

        // ovipgw takes it from the file, and says so (in German here).
        ScanRun run = scan(UiLanguage::German);
        QCOMPARE(run.status, 0);
        QCOMPARE(run.opened, OldMac);
        QVERIFY2(run.err.startsWith(StringTable::text(Text::StoredPasswordFromSettings, UiLanguage::German).arg(file)
                                    + u'\n'),
                 qPrintable(run.err));

        // The window reads it before its first refresh, and OK in the
        // password dialog stores a new one.
        {
            Started started = startWindow(settings);
            QVERIFY(started.window);
            QCOMPARE(openedInWindow(*started.window), OldMac);
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
        {
            Started started = startWindow(settings);
            QVERIFY(started.window);
            QCOMPARE(started.window->password(), u"neu"_s);
            QCOMPARE(openedInWindow(*started.window), NewMac);
        }

        run = scan(UiLanguage::English);
        QCOMPARE(run.status, 0);
        QCOMPARE(run.opened, NewMac);
        const QString said = keyring ? StringTable::text(Text::StoredPasswordFromKeyring, UiLanguage::English)
                                     : StringTable::text(Text::StoredPasswordFromSettings, UiLanguage::English).arg(file);
        QVERIFY2(run.err.startsWith(said + u'\n'), qPrintable(run.err));
    }
};

QTEST_MAIN(TestPasswordKeyring)
#include "TestPasswordKeyring.moc"
