// The password, broadcast address and reset dialogs as the main window opens
// them, driven through their controls. No network: the window's refresh runs
// against a fake one, and the reset dialog is only ever given a loopback
// destination, so not even a check that failed could broadcast.

#include "BroadcastAddressDialog.h"
#include "FakeExchange.h"
#include "GatewayListDialog.h"
#include "ModalDriver.h"
#include "PasswordSettingsDialog.h"
#include "ResetIpDialog.h"
#include "Settings.h"
#include "StringTable.h"
#include "TemporaryConfigHome.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString Application = u"ovipgwconfig"_s;

QLineEdit *editOf(TemplateDialog *dialog, int id)
{
    return qobject_cast<QLineEdit *>(dialog->control(id));
}

void click(TemplateDialog *dialog, int id)
{
    QTest::mouseClick(qobject_cast<QAbstractButton *>(dialog->control(id)), Qt::LeftButton);
}

} // namespace

class TestAuxiliaryDialogs : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<GatewayListDialog> makeWindow(UiLanguage language = UiLanguage::English)
    {
        StringTable::setCurrentLanguage(language);
        auto window = std::make_unique<GatewayListDialog>();
        window->setExchangeFactory(m_network.factory());
        window->setVariant(2, 0);
        window->setSettings(m_settings.get());
        return window;
    }

    std::unique_ptr<TemporaryConfigHome> m_config;
    std::unique_ptr<Settings> m_settings;
    FakeNetwork m_network;

private slots:
    void init()
    {
        m_config = std::make_unique<TemporaryConfigHome>();
        QVERIFY(m_config->isValid());
        m_settings = std::make_unique<Settings>(2, Application);
        m_network = FakeNetwork{};
    }
    void cleanup() { StringTable::setCurrentLanguage(UiLanguage::English); }

    void passwordDialog_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<int>("flag");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("tick");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("newFlag");
        QTest::addColumn<QString>("newPassword");
        QTest::addColumn<QString>("label");
        const int en = int(UiLanguage::English);
        const QString longPassword = u"  0123456789abcdefghijklmnopqrstuvwxyz  "_s;
        QTest::newRow("protection on") << en << 0 << QString() << true << u"geheim"_s << true << 1 << u"geheim"_s
                                       << u"Password protection active"_s;
        QTest::newRow("German, protection on")
            << int(UiLanguage::German) << 0 << QString() << true << u"geheim"_s << true << 1 << u"geheim"_s
            << u"Passwortschutz aktiv"_s;
        QTest::newRow("off keeps the password") << en << 1 << u"old"_s << false << u"old"_s << true << 0 << u"old"_s
                                                << u"Password protection not active"_s;
        QTest::newRow("off with a password outside the code page")
            << en << 1 << u"пароль"_s << false << u"пароль"_s << true << 0 << u"пароль"_s
            << u"Password protection not active"_s;
        QTest::newRow("long password with blanks kept whole")
            << en << 0 << QString() << true << longPassword << true << 1 << longPassword
            << u"Password protection active"_s;
        QTest::newRow("cancel changes nothing") << en << 1 << u"old"_s << false << u"new"_s << false << 1 << u"old"_s
                                                << u"Password protection active"_s;
    }
    void passwordDialog()
    {
        QFETCH(int, language);
        QFETCH(int, flag);
        QFETCH(QString, password);
        QFETCH(bool, tick);
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        QFETCH(int, newFlag);
        QFETCH(QString, newPassword);
        QFETCH(QString, label);
        const auto window = makeWindow(UiLanguage(language));
        window->setProtectionFlag(flag);
        window->setPassword(password);
        window->UpdatePasswordStatus();

        QString shownPassword;
        bool shownTicked = false;
        whenModal<PasswordSettingsDialog>([&](PasswordSettingsDialog *dialog) {
            auto *box = qobject_cast<QCheckBox *>(dialog->control(1014));
            shownTicked = box->isChecked();
            shownPassword = editOf(dialog, 1015)->text();
            if (box->isChecked() != tick)
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, box->height() / 2));
            editOf(dialog, 1015)->setText(typed);
            click(dialog, ok ? 1 : 2);
        });
        window->OnPassword();

        QCOMPARE(shownTicked, flag != 0);
        QCOMPARE(shownPassword, password);
        QCOMPARE(window->protectionFlag(), newFlag);
        QCOMPARE(window->password(), newPassword);
        QCOMPARE(qobject_cast<QLabel *>(window->control(1016))->text(), label);
        // Written on OK only; the store keeps the password readable by its
        // owner alone.
        QCOMPARE(QFileInfo::exists(m_settings->location()), ok);
        if (ok) {
            QCOMPARE(m_settings->protectionFlag(), newFlag);
            QCOMPARE(m_settings->password(), newPassword);
            QCOMPARE(QFileInfo(m_settings->location()).permissions() & ~(QFile::ReadOwner | QFile::WriteOwner
                                                                        | QFile::ReadUser | QFile::WriteUser),
                     QFile::Permissions());
        }
    }

    void refusedPasswordKeepsTheDialogOpen_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("reason"); // shown at the edit; 0: the beep alone
        QTest::newRow("protection without password") << int(UiLanguage::English) << QString() << 0;
        // The gateway would take "?" for each letter the code page lacks.
        QTest::newRow("Cyrillic") << int(UiLanguage::English) << u"пароль"_s << 320;
        QTest::newRow("German, Chinese") << int(UiLanguage::German) << u"Passwort密码"_s << 320;
    }
    void refusedPasswordKeepsTheDialogOpen()
    {
        QFETCH(int, language);
        QFETCH(QString, typed);
        QFETCH(int, reason);
        const auto window = makeWindow(UiLanguage(language));
        bool stayedOpen = false;
        int refusals = 0;
        QString shown;
        QString said;
        whenModal<PasswordSettingsDialog>([&](PasswordSettingsDialog *dialog) {
            QSignalSpy refused(dialog, &PasswordSettingsDialog::inputRefused);
            qobject_cast<QCheckBox *>(dialog->control(1014))->setChecked(true);
            editOf(dialog, 1015)->setText(typed);
            if (reason)
                whenModal<QMessageBox>([&](QMessageBox *box) {
                    said = box->text();
                    box->accept();
                });
            QTest::keyClick(dialog, Qt::Key_Return);
            refusals = int(refused.count());
            stayedOpen = dialog->isVisible() && QApplication::activeModalWidget() == dialog;
            shown = editOf(dialog, 1015)->toolTip();
            if (shown != editOf(dialog, 1015)->accessibleDescription())
                shown = u"(tooltip and description differ)"_s;
            // Typing a password then lets OK close the dialog.
            editOf(dialog, 1015)->setText(u"x"_s);
            click(dialog, 1);
        });
        window->OnPassword();
        QCOMPARE(refusals, 1);
        QVERIFY(stayedOpen);
        QCOMPARE(shown, reason ? StringTable::text(reason) : QString());
        QCOMPARE(said, shown);
        QCOMPARE(window->protectionFlag(), 1);
        QCOMPARE(m_settings->password(), u"x"_s);
    }

    void broadcastAddressDialog_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("inUse");
        QTest::newRow("directed broadcast") << u"198.18.0.255"_s << true << u"198.18.0.255"_s << u"198.18.0.255"_s;
        QTest::newRow("word of letters") << u"lan"_s << true << u"lan"_s << u"lan"_s;
        QTest::newRow("cleared") << QString() << true << QString() << u"255.255.255.255"_s;
        QTest::newRow("cancel") << u"198.18.0.255"_s << false << u"255.255.255.255"_s << u"10.0.0.255"_s;
    }
    void broadcastAddressDialog()
    {
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        QFETCH(QString, stored);
        QFETCH(QString, inUse);
        const auto window = makeWindow();
        window->setBroadcastAddress(u"10.0.0.255"_s);
        QString shown;
        whenModal<BroadcastAddressDialog>([&](BroadcastAddressDialog *dialog) {
            shown = editOf(dialog, 1018)->text();
            editOf(dialog, 1018)->setText(typed);
            click(dialog, ok ? 1 : 2);
        });
        window->OnBroadcastAddress();
        QCOMPARE(shown, u"10.0.0.255"_s);
        QCOMPARE(window->broadcastAddress(), inUse);
        QCOMPARE(m_settings->broadcastAddress(), stored);
        // OK refreshes the list at once with the new address; Cancel does not.
        QCOMPARE(m_network.log.filter(u"discover"_s),
                 ok ? QStringList{u"discover "_s + inUse} : QStringList());
    }

    void parseMacByte_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // -1: refused
        QTest::newRow("two digits") << u"1a"_s << 0x1A;
        QTest::newRow("one digit, blanks around") << u" F "_s << 0x0F;
        QTest::newRow("0x prefix") << u"0x2B"_s << 0x2B;
        QTest::newRow("three digits") << u"1FF"_s << -1;
        QTest::newRow("letters beyond F") << u"xy"_s << -1;
        QTest::newRow("digit then junk") << u"1G"_s << -1;
        QTest::newRow("prefix alone") << u"0x"_s << -1;
        QTest::newRow("sign") << u"-1"_s << -1;
    }
    void parseMacByte()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const std::optional<quint8> byte = ResetIpDialog::parseMacByte(text);
        QCOMPARE(byte ? int(*byte) : -1, expected);
    }

    void parseNewAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("expected"); // -1: refused
        QTest::newRow("dotted") << u"192.168.1.100"_s << qint64(0xC0A80164);
        QTest::newRow("blanks around") << u" 10.0.0.1 "_s << qint64(0x0A000001);
        QTest::newRow("DHCP requests DHCP") << u"DHCP"_s << qint64(0);
        QTest::newRow("dhcp in any case") << u"Dhcp"_s << qint64(0);
        QTest::newRow("three parts") << u"192.168.1"_s << qint64(-1);
        QTest::newRow("part beyond 255") << u"192.168.1.256"_s << qint64(-1);
        QTest::newRow("list text with suffix") << u"192.168.1.5 (DHCP)"_s << qint64(-1);
        QTest::newRow("empty part") << u"192..1.5"_s << qint64(-1);
        QTest::newRow("word") << u"gateway"_s << qint64(-1);
    }
    void parseNewAddress()
    {
        QFETCH(QString, text);
        QFETCH(qint64, expected);
        const std::optional<quint32> address = ResetIpDialog::parseNewAddress(text);
        QCOMPARE(address ? qint64(*address) : qint64(-1), expected);
    }

    void resetRefusesInput_data()
    {
        QTest::addColumn<QString>("mac5");
        QTest::addColumn<QString>("mac6");
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("message");
        QTest::newRow("first MAC field empty") << QString() << u"2B"_s << u"192.168.1.100"_s << 212;
        QTest::newRow("second MAC field empty") << u"1a"_s << QString() << u"192.168.1.100"_s << 212;
        QTest::newRow("empty checks come first") << u"xy"_s << QString() << u"192.168.1.100"_s << 212;
        QTest::newRow("address empty") << u"1a"_s << u"2B"_s << QString() << 213;
        QTest::newRow("first MAC field not a byte") << u"1FF"_s << u"2B"_s << u"192.168.1.100"_s << 340;
        QTest::newRow("second MAC field not hexadecimal") << u"1a"_s << u"xy"_s << u"192.168.1.100"_s << 341;
        QTest::newRow("address not dotted") << u"1a"_s << u"2B"_s << u"192.168.1"_s << 342;
    }
    void resetRefusesInput()
    {
        QFETCH(QString, mac5);
        QFETCH(QString, mac6);
        QFETCH(QString, address);
        QFETCH(int, message);
        for (UiLanguage language : {UiLanguage::English, UiLanguage::German}) {
            StringTable::setCurrentLanguage(language);
            ResetIpDialog dialog({u"127.0.0.1"_s});
            dialog.show();
            editOf(&dialog, 1030)->setText(mac5);
            editOf(&dialog, 1031)->setText(mac6);
            editOf(&dialog, 1029)->setText(address);
            QString shown;
            whenModal<QMessageBox>([&](QMessageBox *box) {
                shown = box->text();
                box->button(QMessageBox::Ok)->click();
            });
            click(&dialog, 1);
            QCOMPARE(shown, StringTable::text(message, language));
            QVERIFY(dialog.isVisible());
            QCOMPARE(dialog.result(), 0);
            // The input stays for the user to mend.
            QCOMPARE(editOf(&dialog, 1030)->text(), mac5);
        }
    }

    // Pictures of the three dialogs in both languages, for a look by eye:
    // set GWCFG_SCREENSHOT_DIR to a folder to get them.
    void screenshots()
    {
        const QString folder = qEnvironmentVariable("GWCFG_SCREENSHOT_DIR");
        if (folder.isEmpty())
            QSKIP("GWCFG_SCREENSHOT_DIR not set");
        for (UiLanguage language : {UiLanguage::English, UiLanguage::German}) {
            StringTable::setCurrentLanguage(language);
            const QString suffix = language == UiLanguage::German ? u"de"_s : u"en"_s;
            PasswordSettingsDialog password;
            password.setProtectionFlag(1);
            password.setPassword(u"geheim"_s);
            BroadcastAddressDialog broadcast(u"255.255.255.255"_s, nullptr);
            ResetIpDialog reset({u"127.0.0.1"_s});
            const std::pair<TemplateDialog *, QString> dialogs[] = {
                {&password, u"password"_s}, {&broadcast, u"broadcast"_s}, {&reset, u"reset"_s}};
            for (const auto &[dialog, name] : dialogs) {
                dialog->OnInitDialog();
                dialog->show();
                QVERIFY(dialog->grab().save(QDir(folder).filePath(name + u'-' + suffix + u".png"_s)));
            }
        }
    }
};

QTEST_MAIN(TestAuxiliaryDialogs)
#include "TestAuxiliaryDialogs.moc"
