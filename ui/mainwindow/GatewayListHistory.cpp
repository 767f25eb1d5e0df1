// The main window's history of a gateway and the restore of one of its
// snapshots. The restore goes through the one write sequence every other
// write of a whole site goes through (WriteEngine), with the window's own
// destinations and password, so it is refused, checked, journaled and
// verified exactly as they are.

#include "BroadcastDestinations.h"
#include "ConfigurationEditor.h"
#include "GatewayHistoryDialog.h"
#include "GatewayListDialog.h"
#include "JournalEntry.h"
#include "JournalSafeguards.h"
#include "NeighbourProbe.h"
#include "NoReplyDiagnosis.h"
#include "StringTable.h"
#include "Texts.h"
#include "WriteEngine.h"
#include "WriteJournal.h"

#include <QAction>
#include <QApplication>
#include <QTreeView>

namespace {

// The status text of each phase the engine names.
int phaseText(const QString &phase)
{
    static const QHash<QString, int> texts = {
        {QStringLiteral("read"), Text::PhaseRead},         {QStringLiteral("ipSetup"), Text::PhaseIpSetup},
        {QStringLiteral("identity"), Text::PhaseIdentity}, {QStringLiteral("network"), Text::PhaseNetwork},
        {QStringLiteral("setup"), Text::PhaseSetup},       {QStringLiteral("lookup"), Text::PhaseLookup},
        {QStringLiteral("confirm"), Text::PhaseConfirm},
    };
    return texts.value(phase, Text::PhaseRead);
}

// What the status line says once the run is over.
QString resultText(const WriteEngine::Result &result)
{
    switch (result.scan) {
    case GatewayScanner::Outcome::PortTaken:
        return NoReplyDiagnosis::portTakenText();
    case GatewayScanner::Outcome::SocketFailed:
        return loadString(Text::SocketFailed).arg(result.socketError);
    case GatewayScanner::Outcome::Finished:
        break;
    }
    if (!result.journalError.isEmpty())
        return result.journalError;
    return result.reports.isEmpty() ? loadString(Text::GatewayMissing) : result.reports.first().text;
}

} // namespace

void GatewayListDialog::connectHistory()
{
    if (!m_listView)
        return;
    // On the list itself, so the main window's layout stays as it is: the
    // context menu of a row (connectFastRefresh), and its shortcut while the
    // list has the focus.
    auto *history = new QAction(loadString(Text::HistoryCommand), m_listView);
    history->setObjectName(QStringLiteral("historyAction"));
    history->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    history->setShortcutContext(Qt::WidgetShortcut);
    m_listView->addAction(history);
    connect(history, &QAction::triggered, this, &GatewayListDialog::OnHistory);
}

void GatewayListDialog::OnHistory()
{
    if (m_busy)
        return;
    const int row = m_editor->selectedRow();
    if (row < 0) {
        ShowStatus(Text::SelectGatewayFirst);
        return;
    }
    const QString mac = MacAddressText(MacAddressFromText(m_gatewayList.cellText(row, GatewayList::MacAddressColumn)));
    GatewayHistoryDialog dialog(mac, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (const std::optional<WriteHistory::Write> write = dialog.chosenWrite())
        RestoreSnapshot(mac, *write);
}

void GatewayListDialog::RestoreSnapshot(const QString &macText, const WriteHistory::Write &write)
{
    if (m_busy)
        return;
    // Only what the snapshot read goes back; a damaged one refuses the
    // whole restore before anything is read or sent.
    QString damagedKey;
    const std::optional<GatewayReading> snapshot = JournalEntry::snapshot(write.entry, &damagedKey);
    if (!snapshot) {
        ShowStatusText(loadString(Text::DamagedSnapshot).arg(QString::number(write.number), damagedKey));
        emit restoreFinished();
        return;
    }

    const QStringList destinations = SelectBroadcastDestinations(m_broadcastAddress, m_adapterBroadcastList);
    const QString password = m_protectionFlag != 0 ? m_password : QString();
    WriteEngine::Settings settings;
    settings.scan.destinations = destinations;
    settings.scan.passwordProtection = m_protectionFlag != 0;
    settings.scan.password = password;
    settings.scan.typeFilter = m_typeFilter;
    settings.ipSetupDestinations = destinations;
    settings.password = password;
    // Read once and judged, as the window's own writes are.
    settings.retryRounds = 0;

    WriteJournal journal;
    WriteEngine::Safeguards safeguards;
    UseJournal(&safeguards, journal, QStringLiteral("window"), Text::JournalNotWritable);
    safeguards.checkAddresses = [this](const QList<quint32> &addresses) { return checkAddressesOnLink(addresses); };

    EnableCommands(false);
    const QString number = QString::number(write.number);
    const auto showPhase = [this, number, macText](int phase) {
        ShowStatusText(loadString(Text::Restoring).arg(number, macText, loadString(phase)));
    };
    showPhase(Text::PhaseRead);
    WriteEngine engine(settings, safeguards);
    connect(&engine, &WriteEngine::phase, this,
            [showPhase](const QString &name, int, int) { showPhase(phaseText(name)); });
    // The engine's waits run the event loop: the window keeps painting.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const WriteEngine::Result result =
        engine.run({WriteRequest{MacKey(macText), ConfigurationChange::fromSnapshot(*snapshot)}});
    QApplication::restoreOverrideCursor();
    EnableCommands(true);

    // The list shows what the gateways report now, the gateway selected again.
    OnRefreshList();
    const int row = m_editor->firstRowOf(ConfigurationEditor::NormalizeMac(macText));
    if (row >= 0)
        m_editor->selectRow(row);
    ShowStatusText(resultText(result));
    emit restoreFinished();
}

AddressCheck GatewayListDialog::checkAddressesOnLink(const QList<quint32> &addresses)
{
    NeighbourProbe probe(addresses);
    // Bounded by the probe's own time limit; the count only guards a clock
    // that stands still.
    constexpr int MaxPolls = 150;
    bool decided = probe.poll();
    for (int polls = 0; !decided && polls < MaxPolls; ++polls) {
        WaitForReplies(NeighbourProbe::PollIntervalMs);
        decided = probe.poll();
    }
    AddressCheck check{probe.holders(), probe.unchecked()};
    // "Free" is never claimed without an answer.
    if (!decided) {
        for (quint32 address : addresses) {
            if (!check.holders.contains(address))
                check.unchecked.insert(address);
        }
    }
    return check;
}
