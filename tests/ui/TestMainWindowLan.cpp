// The main window against simulated gateways. Runs only inside the virtual
// LAN of scripts/vlan.sh (CTest starts it there); elsewhere every test skips
// before a window exists, because the window discovers as soon as it starts.

#include "DeviceTables.h"
#include "GatewayListDialog.h"
#include "Settings.h"
#include "ListedRows.h"
#include "SimulatorProcess.h"
#include "StringTable.h"
#include "TemporaryConfigHome.h"
#include "Texts.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QString ipOf(int host) { return u"198.18.0.%1"_s.arg(host); }
QString macOf(int host) { return u"00-50-C2-4A-00-%1"_s.arg(host, 2, 16, QLatin1Char('0')).toUpper(); }

QJsonObject withFault(QJsonObject gateway, const QString &key, const QJsonValue &value)
{
    QJsonObject faults = gateway.value(u"faults"_s).toObject();
    faults.insert(key, value);
    gateway.insert(u"faults"_s, faults);
    return gateway;
}

// The requests of one kind (first four bytes as hex) in the order received,
// as the addresses they went to.
QStringList requestsOf(const QList<QJsonObject> &log, const QString &code)
{
    QStringList targets;
    for (const QJsonObject &entry : log) {
        if (entry.value(u"hex"_s).toString().startsWith(code))
            targets.append(entry.value(u"to"_s).toString());
    }
    return targets;
}

// Opens the context menu of `control` by Shift+F10 and picks its last entry
// by the keyboard. Gives the menu's name and its entries' texts.
QStringList chooseLastEntryByKeyboard(QWidget *control)
{
    QStringList seen;
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        poll.stop();
        seen.append(menu->accessibleName());
        for (QAction *action : menu->actions()) {
            if (!action->isSeparator())
                seen.append(action->text());
        }
        QTest::keyClick(menu, Qt::Key_Up);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    poll.start();
    QTimer::singleShot(5000, &poll, [&poll] {
        poll.stop();
        if (QWidget *popup = QApplication::activePopupWidget())
            popup->close();
    });
    QTest::keyClick(control, Qt::Key_F10, Qt::ShiftModifier);
    return seen;
}

QString statusText(GatewayListDialog &window)
{
    return qobject_cast<QLabel *>(window.control(Control::StatusLine))->text();
}

struct RunResult
{
    qint64 elapsedMs = -1;
    QStringList statusTexts;
    bool commandsEverEnabled = false; // Refresh list or Set configuration
};

} // namespace

class TestMainWindowLan : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<GatewayListDialog> makeWindow(int variant = 2, quint32 filter = 0,
                                                  const QString &broadcast = u"255.255.255.255"_s)
    {
        auto window = std::make_unique<GatewayListDialog>();
        window->setVariant(variant, filter);
        window->setBroadcastAddress(broadcast);
        window->show();
        return window;
    }

    // Opens the window's first refresh and waits for its end.
    static RunResult refresh(GatewayListDialog &window)
    {
        RunResult result;
        QTimer sampler;
        sampler.setInterval(25);
        QObject::connect(&sampler, &QTimer::timeout, &window, [&] {
            if (!window.isBusy())
                return;
            result.commandsEverEnabled |= window.control(Control::RefreshButton)->isEnabled()
                || window.control(Control::SetConfigurationButton)->isEnabled();
            const QString text = qobject_cast<QLabel *>(window.control(Control::StatusLine))->text();
            if (result.statusTexts.value(result.statusTexts.size() - 1) != text)
                result.statusTexts.append(text);
        });
        sampler.start();
        QSignalSpy finished(&window, &GatewayListDialog::refreshFinished);
        QElapsedTimer clock;
        clock.start();
        window.OnInitDialog();
        if (finished.wait(120000))
            result.elapsedMs = clock.elapsed();
        return result;
    }

    static int rowOf(GatewayList &list, const QString &ip)
    {
        for (int row = 0; row < list.count(); ++row) {
            if (list.cellText(row, GatewayList::IpAddressColumn).startsWith(ip))
                return row;
        }
        return -1;
    }

    std::unique_ptr<SimulatorProcess> m_sim;

private slots:
    void initTestCase()
    {
        if (!SimulatorProcess::available())
            QSKIP("needs the virtual LAN (scripts/vlan.sh) and the simulator");
        StringTable::setCurrentLanguage(UiLanguage::English);
    }

    void init() { m_sim = std::make_unique<SimulatorProcess>(); }
    void cleanup() { m_sim.reset(); }

    void threeGatewaysAreReadCompletelyLastRowFirst()
    {
        QVERIFY2(m_sim->start(SimulatorProcess::config({SimulatorProcess::gateway(ipOf(10), macOf(10)),
                                                        SimulatorProcess::gateway(ipOf(11), macOf(11), 0x00030002),
                                                        SimulatorProcess::gateway(ipOf(12), macOf(12), 0x00010001)})),
                 qPrintable(m_sim->errorString()));
        const auto window = makeWindow();
        const RunResult run = refresh(*window);
        QVERIFY(run.elapsedMs > 0);
        // Discovery runs its full second; each read ends early by its completion.
        QVERIFY2(run.elapsedMs >= 1000 + 3 * 200 && run.elapsedMs < 1000 + 3 * 300,
                 qPrintable(QString::number(run.elapsedMs)));
        QVERIFY(!run.commandsEverEnabled);
        QCOMPARE(run.statusTexts, (QStringList{u"Searching for IP Gateways..."_s, u"Reading configuration..."_s}));

        GatewayList &list = window->gatewayList();
        QCOMPARE(list.count(), 3);
        QStringList rowsLastFirst;
        for (int row = list.count() - 1; row >= 0; --row) {
            rowsLastFirst.append(list.cellText(row, GatewayList::IpAddressColumn));
            QCOMPARE(list.rowStatus(row), int(RowStatus::NoPassword));
            QCOMPARE(list.cellText(row, GatewayList::ModeColumn), u"TCP-Server"_s);
            QCOMPARE(list.cellText(row, GatewayList::PortColumn), u"10001"_s);
            QCOMPARE(list.cellText(row, GatewayList::RemoteIpColumn), u"0.0.0.0"_s);
            QCOMPARE(list.cellText(row, GatewayList::IpMaskColumn), u"0.0.0.0"_s);
        }
        QCOMPARE(list.cellText(rowOf(list, ipOf(11)), GatewayList::TypeColumn), u"Vantor Serial Gateway"_s);
        QCOMPARE(list.cellText(rowOf(list, ipOf(12)), GatewayList::TypeColumn), u"PLN KNX IP Gateway"_s);

        QVERIFY(m_sim->waitForDatagrams(1 + 3 * 3));
        const QList<QJsonObject> log = m_sim->receivedDatagrams();
        QCOMPARE(requestsOf(log, u"000000f6"_s), QStringList{u"broadcast"_s});
        QCOMPARE(requestsOf(log, u"000000e5"_s), rowsLastFirst);
        QCOMPARE(requestsOf(log, u"000000f8"_s), rowsLastFirst);
        QCOMPARE(requestsOf(log, u"000000e6"_s), rowsLastFirst);
        QVERIFY(!window->isBusy() && window->control(Control::RefreshButton)->isEnabled()
                && window->control(Control::SetConfigurationButton)->isEnabled());
        QVERIFY(window->control(Control::ExportButton)->isVisible());
        QCOMPARE(qobject_cast<QLabel *>(window->control(Control::StatusLine))->text(), QString());
    }

    void incompleteReadsEndAfterTheFullWait_data()
    {
        QTest::addColumn<QJsonObject>("gateway");
        QTest::addColumn<int>("variant");
        QTest::addColumn<quint32>("filter");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("typeText");
        QTest::addColumn<QList<int>>("filledColumns");
        QTest::addColumn<QStringList>("requests"); // after the discovery
        const QStringList identityOnly{u"000000e5"_s};
        const QStringList wholeChain{u"000000e5"_s, u"000000f8"_s, u"000000e6"_s};
        QTest::newRow("type outside the variant's filter")
            << SimulatorProcess::gateway(ipOf(20), macOf(20), 0x00000001) << 1 << quint32(0x00010001)
            << int(RowStatus::UnknownType) << u"???"_s << QList<int>{0, 1, 2, 7} << identityOnly;
        QJsonObject locked = SimulatorProcess::gateway(ipOf(21), macOf(21));
        locked.insert(u"password"_s, u"secret"_s);
        QTest::newRow("locked, protection off") << locked << 2 << quint32(0) << int(RowStatus::WrongPassword)
                                                << u"Vantor EIB Gateway"_s << QList<int>{0, 1, 2, 7, 8}
                                                << wholeChain;
        QTest::newRow("bad checksum")
            << withFault(SimulatorProcess::gateway(ipOf(22), macOf(22)), u"setupReply"_s, u"badChecksum"_s) << 2
            << quint32(0) << int(RowStatus::CorruptContent) << u"Vantor EIB Gateway"_s
            << QList<int>{0, 1, 2, 7, 8} << wholeChain;
    }
    void incompleteReadsEndAfterTheFullWait()
    {
        QFETCH(QJsonObject, gateway);
        QFETCH(int, variant);
        QFETCH(quint32, filter);
        QFETCH(int, status);
        QFETCH(QString, typeText);
        QFETCH(QList<int>, filledColumns);
        QFETCH(QStringList, requests);
        QVERIFY2(m_sim->start(SimulatorProcess::config({gateway})), qPrintable(m_sim->errorString()));
        const auto window = makeWindow(variant, filter);
        const RunResult run = refresh(*window);
        QVERIFY2(run.elapsedMs >= 2000 && run.elapsedMs < 2150, qPrintable(QString::number(run.elapsedMs)));

        GatewayList &list = window->gatewayList();
        QCOMPARE(list.count(), 1);
        QCOMPARE(list.rowStatus(0), status);
        QCOMPARE(list.cellText(0, GatewayList::TypeColumn), typeText);
        for (int column = 0; column < GatewayList::ColumnCount; ++column) {
            QVERIFY2(list.cellText(0, column).isEmpty() != filledColumns.contains(column),
                     qPrintable(QString::number(column)));
        }
        QVERIFY(m_sim->waitForDatagrams(1 + requests.size()));
        QTest::qWait(100); // nothing further may arrive
        QStringList received;
        for (const QJsonObject &entry : m_sim->receivedDatagrams())
            received.append(entry.value(u"hex"_s).toString().left(8));
        QCOMPARE(received, QStringList{u"000000f6"_s} + requests);
    }

    void dhcpGatewayIsMarkedAndStillRead()
    {
        QJsonObject dhcp = SimulatorProcess::gateway(ipOf(30), macOf(30));
        dhcp.insert(u"dhcp"_s, true);
        QVERIFY2(m_sim->start(SimulatorProcess::config({dhcp})), qPrintable(m_sim->errorString()));
        const auto window = makeWindow();
        QVERIFY(refresh(*window).elapsedMs > 0);
        GatewayList &list = window->gatewayList();
        QCOMPARE(list.count(), 1);
        QCOMPARE(list.cellText(0, GatewayList::IpAddressColumn), ipOf(30) + u" (DHCP)"_s);
        QCOMPARE(list.rowStatus(0), int(RowStatus::NoPassword));
        QCOMPARE(list.cellText(0, GatewayList::PortColumn), u"10001"_s);
        QVERIFY(m_sim->waitForDatagrams(4));
        QCOMPARE(requestsOf(m_sim->receivedDatagrams(), u"000000e6"_s), QStringList{ipOf(30)});
    }

    void gatewayAnsweringTwiceIsListedTwice()
    {
        QJsonObject twice = withFault(SimulatorProcess::gateway(ipOf(40), macOf(40)), u"discoveryReplies"_s, 2);
        QVERIFY2(m_sim->start(SimulatorProcess::config({twice})), qPrintable(m_sim->errorString()));
        const auto window = makeWindow();
        QVERIFY(refresh(*window).elapsedMs > 0);
        GatewayList &list = window->gatewayList();
        QCOMPARE(list.count(), 2);
        for (int row = 0; row < 2; ++row) {
            QCOMPARE(list.cellText(row, GatewayList::MacAddressColumn), macOf(40));
            QCOMPARE(list.rowStatus(row), int(RowStatus::NoPassword));
        }
        QVERIFY(m_sim->waitForDatagrams(1 + 2 * 3));
        QCOMPARE(requestsOf(m_sim->receivedDatagrams(), u"000000e5"_s), (QStringList{ipOf(40), ipOf(40)}));
    }

    void discoveryGoesWhereTheSettingSays_data()
    {
        QTest::addColumn<QString>("broadcast");
        QTest::newRow("configured directed broadcast") << u"198.18.0.255"_s;
        QTest::newRow("default: every adapter") << u"255.255.255.255"_s;
        QTest::newRow("empty: every adapter") << QString();
    }
    void discoveryGoesWhereTheSettingSays()
    {
        QFETCH(QString, broadcast);
        QVERIFY2(m_sim->start(SimulatorProcess::config({SimulatorProcess::gateway(ipOf(50), macOf(50))})),
                 qPrintable(m_sim->errorString()));
        const auto window = makeWindow(2, 0, broadcast);
        QVERIFY(refresh(*window).elapsedMs > 0);
        // Every adapter of the LAN (vlan.sh --tool-adapters) is one destination.
        const qsizetype adapters = qEnvironmentVariable("GWLAN_TOOL_ADDRESSES").split(u',').size();
        QCOMPARE(window->adapterBroadcastList().size(), adapters);
        const int requests = broadcast == u"198.18.0.255"_s ? 1 : int(adapters);
        for (const QString &destination : window->adapterBroadcastList())
            QVERIFY2(destination.startsWith(u"198.18.0."_s), qPrintable(destination));
        QVERIFY(m_sim->waitForDatagrams(requests));
        QCOMPARE(requestsOf(m_sim->receivedDatagrams(), u"000000f6"_s).size(), requests);
        // One row per request that reached the gateway; the tool's own
        // request, which comes back to its socket, adds none.
        QCOMPARE(window->gatewayList().count(), requests);
    }

    void fastRefreshListsTheWindowsRowsAtFivePercentLoss_data()
    {
        QTest::addColumn<int>("variant");
        QTest::addColumn<quint32>("filter");
        QTest::addColumn<bool>("fromList"); // the menu of the list, else of the button
        QTest::addColumn<int>("menuName");
        QTest::newRow("every type, chosen on the Refresh button")
            << 2 << quint32(0) << false << int(Text::RefreshMenuName);
        QTest::newRow("EnOcean variant, chosen on the list")
            << 3 << EnOceanGatewayType << true << int(Text::ListMenuName);
    }
    void fastRefreshListsTheWindowsRowsAtFivePercentLoss()
    {
        QFETCH(int, variant);
        QFETCH(quint32, filter);
        QFETCH(bool, fromList);
        QFETCH(int, menuName);
        const TemporaryConfigHome home;
        QVERIFY(home.isValid());

        QJsonObject tcpClient = SimulatorProcess::gateway(ipOf(11), macOf(11), SerialGatewayType);
        tcpClient.insert(u"setup"_s, QJsonObject{{u"mode"_s, 1}, {u"mask"_s, u"255.255.0.0"_s}});
        QJsonObject dhcp = SimulatorProcess::gateway(ipOf(12), macOf(12), EnOceanGatewayType);
        dhcp.insert(u"dhcp"_s, true);
        QJsonObject opened = SimulatorProcess::gateway(ipOf(13), macOf(13), 0x00010001);
        opened.insert(u"password"_s, u"orvano"_s);
        QJsonObject locked = SimulatorProcess::gateway(ipOf(14), macOf(14));
        locked.insert(u"password"_s, u"other"_s);
        const QJsonObject gateways = SimulatorProcess::config({
            SimulatorProcess::gateway(ipOf(10), macOf(10)), tcpClient, dhcp, opened, locked,
            withFault(SimulatorProcess::gateway(ipOf(15), macOf(15), EnOceanGatewayType), u"setupReply"_s,
                      u"badChecksum"_s),
            SimulatorProcess::gateway(ipOf(16), macOf(16), 0x00000002),
            withFault(SimulatorProcess::gateway(ipOf(17), macOf(17), 0x00000003), u"discoveryReplies"_s, 2),
            // Never answers the network request: the scan gives up on it and
            // the window's own read takes over.
            withFault(SimulatorProcess::gateway(ipOf(18), macOf(18), EnOceanGatewayType), u"ignore"_s,
                      QJsonArray{u"network"_s}),
            SimulatorProcess::gateway(ipOf(19), macOf(19), ScanGatewayType)});
        const auto protect = [](GatewayListDialog &window) {
            window.setProtectionFlag(1);
            window.setPassword(u"orvano"_s);
        };

        // What the window's own refresh lists, without any loss.
        QVERIFY2(m_sim->start(gateways), qPrintable(m_sim->errorString()));
        auto reference = makeWindow(variant, filter);
        protect(*reference);
        const RunResult own = refresh(*reference);
        QVERIFY(own.elapsedMs > 0);
        const QStringList expected = listedRows(reference->gatewayList());
        QCOMPARE(expected.size(), 11);
        reference.reset();
        QVERIFY(m_sim->stop());

        m_sim->setExtraArguments({u"--loss"_s, u"5"_s, u"--seed"_s, u"7"_s});
        QVERIFY2(m_sim->start(gateways), qPrintable(m_sim->errorString()));
        Settings settings(variant, u"fastrefreshtest"_s);
        auto window = makeWindow(variant, filter);
        protect(*window);
        window->setSettings(&settings);
        window->setFastRefresh(settings.fastRefresh());
        QVERIFY(!window->fastRefresh());
        QWidget *menuOwner = fromList ? window->control(Control::GatewayList) : window->control(Control::RefreshButton);
        const QStringList menu = chooseLastEntryByKeyboard(menuOwner);
        QCOMPARE(menu.value(0), StringTable::text(menuName));
        QCOMPARE(menu.last(), StringTable::text(Text::FastRefreshCommand));
        QVERIFY(window->fastRefresh());
        QVERIFY(Settings(variant, u"fastrefreshtest"_s).fastRefresh());

        // The start-up refresh, then the Refresh button: the same rows each
        // time, in the same order, with the status line saying what ran.
        const QString running = StringTable::text(Text::FastRefreshRunning);
        const QString seconds = u"SECONDS"_s;
        const QRegularExpression listed(
            u"^"_s
            + QRegularExpression::escape(StringTable::text(Text::FastRefreshListed).arg(QString::number(expected.size()), seconds))
                  .replace(seconds, u"([0-9]+\\.[0-9])"_s)
            + u"$"_s);
        const RunResult fast = refresh(*window);
        QVERIFY(fast.elapsedMs > 0);
        QVERIFY2(fast.elapsedMs * 2 < own.elapsedMs, qPrintable(u"%1 / %2 ms"_s.arg(fast.elapsedMs).arg(own.elapsedMs)));
        QVERIFY(!fast.commandsEverEnabled);
        QCOMPARE(fast.statusTexts.value(0), running);
        QCOMPARE(listedRows(window->gatewayList()), expected);
        const QRegularExpressionMatch summary = listed.match(statusText(*window));
        QVERIFY2(summary.hasMatch(), qPrintable(statusText(*window)));
        QVERIFY(summary.captured(1).toDouble() * 1000 <= double(fast.elapsedMs) + 100);

        auto *refreshButton = qobject_cast<QAbstractButton *>(window->control(Control::RefreshButton));
        QSignalSpy finished(window.get(), &GatewayListDialog::refreshFinished);
        refreshButton->click();
        QVERIFY(finished.count() == 1 || finished.wait(10000));
        QCOMPARE(listedRows(window->gatewayList()), expected);
        QVERIFY(listed.match(statusText(*window)).hasMatch());

        // Port 30718 held by another program: said as by the window's refresh.
        QUdpSocket otherCopy;
        QVERIFY(otherCopy.bind(QHostAddress::AnyIPv4, 30718, QAbstractSocket::DontShareAddress));
        refreshButton->click();
        QVERIFY(finished.count() == 2 || finished.wait(10000));
        QCOMPARE(window->gatewayList().count(), 0);
        QVERIFY(window->portTakenInLastRefresh());
        QCOMPARE(statusText(*window), StringTable::text(Text::PortInUse));
        QVERIFY(!window->control(Control::ExportButton)->isVisible());
    }

    void takenPortIsReported()
    {
        QVERIFY2(m_sim->start(SimulatorProcess::config({SimulatorProcess::gateway(ipOf(60), macOf(60))})),
                 qPrintable(m_sim->errorString()));
        QUdpSocket otherCopy;
        QVERIFY(otherCopy.bind(QHostAddress::AnyIPv4, 30718, QAbstractSocket::DontShareAddress));
        const auto window = makeWindow();
        const RunResult run = refresh(*window);
        QVERIFY(run.elapsedMs >= 1000);
        QCOMPARE(window->gatewayList().count(), 0);
        QCOMPARE(qobject_cast<QLabel *>(window->control(Control::StatusLine))->text(), StringTable::text(Text::PortInUse));
        QVERIFY(!window->control(Control::ExportButton)->isVisible());
        QTest::qWait(200);
        QVERIFY(requestsOf(m_sim->receivedDatagrams(), u"000000f6"_s).isEmpty());
    }
};

QTEST_MAIN(TestMainWindowLan)
#include "TestMainWindowLan.moc"
