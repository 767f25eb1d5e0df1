// The reset and broadcast address dialogs against simulated gateways. Runs
// only inside the virtual LAN of scripts/vlan.sh (CTest starts it there,
// also with two tool adapters); elsewhere every test skips before a window
// exists, because the window and the reset broadcast at once.

#include "BroadcastAddressDialog.h"
#include "GatewayListDialog.h"
#include "ModalDriver.h"
#include "ResetIpDialog.h"
#include "Settings.h"
#include "SimulatorProcess.h"
#include "StringTable.h"
#include "TemporaryConfigHome.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString GatewayIp = u"198.18.0.70"_s;
const QString GatewayMac = u"00-50-C2-4A-00-46"_s;
const QString NewIp = u"198.18.0.71"_s;

// The datagrams of one kind (first four bytes as hex) the gateways received.
QList<QJsonObject> requestsOf(const QList<QJsonObject> &log, const QString &code)
{
    QList<QJsonObject> found;
    for (const QJsonObject &entry : log) {
        if (entry.value(u"hex"_s).toString().startsWith(code))
            found.append(entry);
    }
    return found;
}

void fillReset(ResetIpDialog *dialog, const QString &mac5, const QString &mac6, const QString &address)
{
    qobject_cast<QLineEdit *>(dialog->control(1030))->setText(mac5);
    qobject_cast<QLineEdit *>(dialog->control(1031))->setText(mac6);
    qobject_cast<QLineEdit *>(dialog->control(1029))->setText(address);
}

} // namespace

class TestAuxiliaryDialogsLan : public QObject
{
    Q_OBJECT

private:
    // A window whose first refresh has ended; the simulator's log is empty.
    std::unique_ptr<GatewayListDialog> openWindow()
    {
        auto window = std::make_unique<GatewayListDialog>();
        window->setVariant(2, 0);
        window->setBroadcastAddress(u"255.255.255.255"_s);
        window->setSettings(m_settings.get());
        window->show();
        QSignalSpy finished(window.get(), &GatewayListDialog::refreshFinished);
        window->OnInitDialog();
        if (!finished.wait(20000))
            return nullptr;
        m_sim->clearLog();
        return window;
    }

    static int adapterCount() { return int(qEnvironmentVariable("GWLAN_TOOL_ADDRESSES").split(u',').size()); }

    std::unique_ptr<SimulatorProcess> m_sim;
    std::unique_ptr<TemporaryConfigHome> m_config;
    std::unique_ptr<Settings> m_settings;

private slots:
    void initTestCase()
    {
        if (!SimulatorProcess::available())
            QSKIP("needs the virtual LAN (scripts/vlan.sh) and the simulator");
        StringTable::setCurrentLanguage(UiLanguage::English);
    }

    void init()
    {
        m_config = std::make_unique<TemporaryConfigHome>();
        m_settings = std::make_unique<Settings>(2, u"ovipgwconfig"_s);
        m_sim = std::make_unique<SimulatorProcess>();
        QVERIFY2(m_sim->start(SimulatorProcess::config({SimulatorProcess::gateway(GatewayIp, GatewayMac)})),
                 qPrintable(m_sim->errorString()));
    }
    void cleanup() { m_sim.reset(); }

    void resetSendsOneTelegramPerAdapterThenRefreshes()
    {
        const auto window = openWindow();
        QVERIFY(window);
        const QStringList destinations = window->adapterBroadcastList();
        QCOMPARE(destinations.size(), adapterCount());

        // What the dialog looked like while it sent and waited.
        int samples = 0;
        int lockedSamples = 0;
        qint64 closedAfterMs = -1;
        qint64 sendingSinceMs = -1;
        QElapsedTimer clock;
        whenModal<ResetIpDialog>([&](ResetIpDialog *dialog) {
            fillReset(dialog, u"0x00"_s, u"46"_s, NewIp);
            QTimer sampler;
            QObject::connect(&sampler, &QTimer::timeout, dialog, [&] {
                if (!dialog->isSending())
                    return;
                ++samples;
                const QCursor *cursor = QApplication::overrideCursor();
                if (!dialog->isEnabled() && cursor && cursor->shape() == Qt::WaitCursor)
                    ++lockedSamples;
            });
            // The waits count from the first telegram; the check that the new
            // address is free comes before it.
            QTimer sendingWatch;
            QObject::connect(&sendingWatch, &QTimer::timeout, dialog, [&] {
                if (dialog->isSending() && sendingSinceMs < 0)
                    sendingSinceMs = clock.elapsed();
            });
            QObject::connect(dialog, &QDialog::finished, dialog,
                             [&] { closedAfterMs = clock.elapsed() - qMax<qint64>(0, sendingSinceMs); });
            sendingWatch.start(5);
            sampler.start(100);
            clock.start();
            dialog->OnOK();
        });
        QSignalSpy refreshed(window.get(), &GatewayListDialog::refreshFinished);
        window->OnResetIp();

        const qint64 expectedMs = qint64(destinations.size()) * ResetIpDialog::TelegramWaitMs
            + ResetIpDialog::SettleWaitMs;
        QVERIFY2(closedAfterMs >= expectedMs - 10 && closedAfterMs < expectedMs + 500,
                 qPrintable(QString::number(closedAfterMs)));
        // The windows kept being served during the waits, with input locked.
        QVERIFY2(samples >= 45, qPrintable(QString::number(samples)));
        QCOMPARE(lockedSamples, samples);

        const QList<QJsonObject> telegrams = requestsOf(m_sim->receivedDatagrams(), u"000000fc"_s);
        QCOMPARE(telegrams.size(), destinations.size());
        for (const QJsonObject &telegram : telegrams)
            QCOMPARE(telegram.value(u"hex"_s).toString(), u"000000fc49502d534554555000000046c6120047"_s);
        QCOMPARE(refreshed.count(), 1);
        GatewayList &list = window->gatewayList();
        QVERIFY(list.count() >= 1);
        for (int row = 0; row < list.count(); ++row)
            QCOMPARE(list.cellText(row, GatewayList::IpAddressColumn), NewIp);
    }

    void refusedOrCancelledResetSendsNothing_data()
    {
        QTest::addColumn<QString>("mac5");
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("closeDuringCheck");
        QTest::newRow("MAC field of three digits") << u"1FF"_s << NewIp << false << false;
        QTest::newRow("address that is no address") << u"00"_s << u"198.18.0"_s << false << false;
        QTest::newRow("valid input, Escape") << u"00"_s << NewIp << true << false;
        // Closed by the window manager while the link is asked about an
        // address no earlier case left in the neighbour table.
        QTest::newRow("valid input, closed during the address check") << u"00"_s << u"198.18.0.72"_s << true << true;
    }
    void refusedOrCancelledResetSendsNothing()
    {
        QFETCH(QString, mac5);
        QFETCH(QString, address);
        QFETCH(bool, cancel);
        QFETCH(bool, closeDuringCheck);
        const auto window = openWindow();
        QVERIFY(window);
        QString message;
        bool closedWhileLocked = false;
        whenModal<ResetIpDialog>([&](ResetIpDialog *dialog) {
            fillReset(dialog, mac5, u"46"_s, address);
            if (closeDuringCheck) {
                QTimer::singleShot(300, dialog, [&closedWhileLocked, dialog] {
                    closedWhileLocked = !dialog->isEnabled() && dialog->close();
                });
                return dialog->OnOK();
            }
            if (!cancel) {
                whenModal<QMessageBox>([&](QMessageBox *box) {
                    message = box->text();
                    box->button(QMessageBox::Ok)->click();
                });
                dialog->OnOK();
            }
            QTest::keyClick(dialog, Qt::Key_Escape);
        });
        QSignalSpy refreshed(window.get(), &GatewayListDialog::refreshFinished);
        window->OnResetIp();
        QCOMPARE(message.isEmpty(), cancel);
        QCOMPARE(closedWhileLocked, closeDuringCheck);
        QTest::qWait(300);
        QVERIFY(m_sim->receivedDatagrams().isEmpty());
        QCOMPARE(refreshed.count(), 0);
    }

    void broadcastSettingTakesEffectAtOnce_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("directed broadcast") << u"198.18.0.255"_s;
        QTest::newRow("empty: every adapter") << QString();
    }
    void broadcastSettingTakesEffectAtOnce()
    {
        QFETCH(QString, typed);
        const auto window = openWindow();
        QVERIFY(window);
        whenModal<BroadcastAddressDialog>([&](BroadcastAddressDialog *dialog) {
            qobject_cast<QLineEdit *>(dialog->control(1018))->setText(typed);
            dialog->OnOK();
        });
        QSignalSpy refreshed(window.get(), &GatewayListDialog::refreshFinished);
        window->OnBroadcastAddress();
        QCOMPARE(refreshed.count(), 1);
        QCOMPARE(m_settings->broadcastAddress(), typed);
        const int requests = typed.isEmpty() ? adapterCount() : 1;
        QVERIFY(m_sim->waitForDatagrams(requests));
        QCOMPARE(requestsOf(m_sim->receivedDatagrams(), u"000000f6"_s).size(), requests);
        QCOMPARE(window->gatewayList().count(), requests);
    }
};

QTEST_MAIN(TestAuxiliaryDialogsLan)
#include "TestAuxiliaryDialogsLan.moc"
