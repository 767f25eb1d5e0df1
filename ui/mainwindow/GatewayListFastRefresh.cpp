// The fast refresh of the main window: the pipelined scan of the command
// line fills the window's list, with the rows, texts and status images of
// the window's own refresh and in its order, in about a second instead of
// a fifth of a second per gateway. The user chooses it in the context menus
// of the list and of the Refresh button; the window's own refresh stays the
// default, and takes over wherever the scan cannot give the same list.

#include "BroadcastDestinations.h"
#include "CommandMenu.h"
#include "DiscoveryOrder.h"
#include "ExchangeWaits.h"
#include "GatewayListDialog.h"
#include "GatewayScanner.h"
#include "MainWindowControls.h"
#include "ReplyWait.h"
#include "Settings.h"
#include "StringTable.h"
#include "Texts.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QLocale>
#include <QProgressBar>
#include <QTimer>
#include <QTreeView>

namespace {

// The progress bar follows the scan in these steps; the bar only shows that
// the run goes on, it ends no wait.
constexpr int ProgressUpdateMs = 50;

} // namespace

void GatewayListDialog::connectFastRefresh()
{
    m_fastRefreshAction = new QAction(loadString(Text::FastRefreshCommand), this);
    m_fastRefreshAction->setObjectName(QStringLiteral("fastRefreshAction"));
    m_fastRefreshAction->setCheckable(true);
    // Only a user's choice is stored, not the one the window starts with.
    connect(m_fastRefreshAction, &QAction::triggered, this, &GatewayListDialog::onFastRefreshChosen);

    // In context menus only, so the window's layout stays as it is.
    if (m_listView) {
        auto *separator = new QAction(m_listView);
        separator->setSeparator(true);
        m_listView->addAction(separator);
        m_listView->addAction(m_fastRefreshAction);
        new CommandMenu(m_listView, loadString(Text::ListMenuName));
    }
    if (QWidget *refresh = control(Control::RefreshButton)) {
        refresh->addAction(m_fastRefreshAction);
        new CommandMenu(refresh, loadString(Text::RefreshMenuName));
    }
}

void GatewayListDialog::setFastRefresh(bool fast)
{
    m_fastRefresh = fast;
    if (m_fastRefreshAction)
        m_fastRefreshAction->setChecked(fast);
    // The button's caption stays; a screen reader learns the choice here.
    if (QWidget *refresh = control(Control::RefreshButton))
        refresh->setAccessibleDescription(fast ? loadString(Text::FastRefreshChosen) : QString());
}

void GatewayListDialog::onFastRefreshChosen(bool fast)
{
    setFastRefresh(fast);
    if (m_settings)
        m_settings->setFastRefresh(fast);
}

std::optional<bool> GatewayListDialog::refreshByScan()
{
    // Tests that run the window on a fake network get the window's refresh:
    // the scan would go to the real one.
    if (m_exchangesReplaced)
        return std::nullopt;
    ShowStatus(Text::FastRefreshRunning);

    ScanSettings settings;
    settings.destinations = SelectBroadcastDestinations(m_broadcastAddress, m_adapterBroadcastList);
    settings.passwordProtection = m_protectionFlag != 0;
    settings.password = m_password;
    settings.typeFilter = m_typeFilter;
    // Discovery answers are taken as long as the window's discovery waits.
    settings.timeoutMs = ExchangeWait::ReadMs;
    GatewayScanner scanner(settings);
    DiscoveryOrder order;
    connect(&scanner, &GatewayScanner::discoveryReplied, this,
            [&order](quint32 source, int request) { order.add(request, source); });

    // The scan runs an event loop of its own until it is done: the window
    // keeps painting, and the input lock keeps the user's commands out, as
    // during the window's own waits.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QElapsedTimer clock;
    clock.start();
    QTimer progress;
    if (m_progressBar) {
        m_progressBar->setRange(0, (settings.timeoutMs + scanner.readGraceMs()) / ReplyWait::StepMs);
        m_progressBar->setValue(0);
        m_progressBar->show();
        connect(&progress, &QTimer::timeout, m_progressBar,
                [this, &clock] { m_progressBar->setValue(int(clock.elapsed() / ReplyWait::StepMs)); });
        progress.start(ProgressUpdateMs);
    }
    const GatewayScanner::Outcome outcome = scanner.run();
    progress.stop();
    if (m_progressBar)
        m_progressBar->hide();
    QApplication::restoreOverrideCursor();

    switch (outcome) {
    case GatewayScanner::Outcome::PortTaken:
        return true;
    case GatewayScanner::Outcome::SocketFailed:
        return std::nullopt;
    case GatewayScanner::Outcome::Finished:
        break;
    }

    // One row per discovery reply the window would have taken, in the order
    // it would have taken them.
    QHash<quint32, int> scannedRow;
    const std::vector<ScannedGateway> &gateways = scanner.gateways();
    for (std::size_t row = 0; row < gateways.size(); ++row)
        scannedRow.insert(gateways[row].address, int(row));
    QList<int> rows;
    for (quint32 source : order.rows()) {
        if (const auto found = scannedRow.constFind(source); found != scannedRow.constEnd())
            rows.append(*found);
    }
    m_editorReloadHeld = true;
    m_gatewayList.appendRowsFrom(scanner.list(), rows);
    releaseEditorReload();

    // A gateway whose replies stayed away through every retry, and one at a
    // group address, which the scan leaves unread, are read as the window's
    // refresh reads them, last row first.
    QList<int> unfinished;
    for (qsizetype row = rows.size() - 1; row >= 0; --row) {
        const ScannedGateway &gateway = gateways[std::size_t(rows[row])];
        if (!gateway.complete || scanner.isGroupAddress(gateway.address))
            unfinished.append(int(row));
    }
    return readRows(unfinished);
}

QString GatewayListDialog::fastRefreshSummary(qint64 elapsedMs) const
{
    const QLocale locale(StringTable::currentLanguage() == UiLanguage::German ? QLocale::German
                                                                               : QLocale::English);
    const QString seconds = locale.toString(double(elapsedMs) / 1000.0, 'f', 1);
    const int rows = m_gatewayList.count();
    if (rows == 1)
        return loadString(Text::FastRefreshListedOne).arg(seconds);
    return loadString(Text::FastRefreshListed).arg(QString::number(rows), seconds);
}
