#include "ConfigurationWrite.h"

#include "ConfigurationEditor.h"
#include "GatewayList.h"
#include "GatewayListDialog.h"
#include "StringTable.h"
#include "Texts.h"
#include "JournalEntry.h"
#include "NeighbourProbe.h"
#include "WriteDecision.h"
#include "WriteJournal.h"
#include "WriteJudgement.h"

#include <QJsonObject>
#include <QUuid>

// What the run is to send, decided by the write library as for every
// command; the check that a new address is free; the record of the write in
// the journal. All of it before anything is sent.

WritePlan ConfigurationWrite::decide(const QString &mac, quint32 addressValue, bool addressChanges,
                                     quint32 typeCode)
{
    const GatewayList &list = m_window.gatewayList();
    const int row = m_editor.firstRowOf(mac);
    GatewayReading current = row >= 0 ? list.reading(row) : GatewayReading{};
    current.mac = MacAddressText(MacAddressFromText(mac));

    // Only the parts this run sends: the address when the field names
    // another, the identity when asked, the subnet fields the user changed
    // on a gateway that reported its own, the record when it is shown.
    const EditorContents typed = m_editor.contents();
    ConfigurationChange change;
    if (addressChanges) {
        change.dhcp = addressValue == 0;
        if (addressValue != 0)
            change.address = addressValue;
    }
    change.oemType = m_request.oemType;
    if (m_request.subnetTyped && current.networkRead) {
        change.hostBits = EditorValues::hostBits(typed);
        change.defaultGateway = EditorValues::defaultGateway(typed);
    }
    if (m_request.setupWrite) {
        change.takeRecord(EditorValues::record(typed, typeCode), true);
        change.locked = m_window.passwordProtection();
    }

    WriteContext context;
    for (int other = 0; other < list.count(); ++other) {
        const QString key = MacKey(list.cellText(other, GatewayList::MacAddressColumn));
        if (key != MacKey(mac))
            context.others.insert(key, list.reading(other).address);
    }
    // The window locks with the password it keeps, whatever that holds.
    context.passwordGiven = true;
    context.rewrite = true;
    // A new address another device holds is refused once; the same press
    // again writes.
    const QString press = QStringList{mac, m_controls.text(Control::IpAddressEdit), typed.subnetMaskText,
                                      typed.defaultGatewayText, QString::number(typed.modeIndex), typed.portText,
                                      typed.remoteAddressText, typed.allowedMaskText}
                              .join(QLatin1Char('|'));
    context.force = press == m_writeAnyway;

    WritePlan plan = planWrite(current, change, context);
    if (!plan.refusal && !context.force && plan.movesToFixedAddress() && plan.target.address != current.address)
        refuseTakenAddress(&plan, probedHolder(plan.target.address));
    if (plan.refusal == Text::WriteListedHolder || plan.refusal == Text::WriteProbedHolder
        || plan.refusal == Text::WriteOwnAddress)
        m_writeAnyway = press;
    return plan;
}

QString ConfigurationWrite::probedHolder(quint32 addressValue)
{
    // Asking the link takes up to a few seconds; the window keeps painting.
    m_window.EnableCommands(false);
    m_window.ShowStatus(Text::CheckingAddress);
    NeighbourProbe probe({addressValue});
    while (!probe.poll())
        m_window.WaitForReplies(NeighbourProbe::PollIntervalMs);
    m_window.ShowStatus(Text::None);
    m_window.EnableCommands(true);
    return probe.holders().value(addressValue);
}

void ConfigurationWrite::refuse(const WritePlan &plan)
{
    switch (plan.refusal) {
    case Text::WriteListedHolder:
    case Text::WriteProbedHolder:
    case Text::WriteOwnAddress:
        m_window.ShowStatusText(
            loadString(Text::AddressAlreadyUsed).arg(DottedAddressText(plan.target.address), plan.holder));
        return;
    case Text::WriteModeRefused:
        m_window.ShowStatus(Text::ModeNotAvailable);
        return;
    case Text::WriteRecordNotRead:
        m_window.ShowStatus(Text::ConfigurationNotRead);
        return;
    default:
        m_window.ShowStatusText(plan.refusalText());
        return;
    }
}

bool ConfigurationWrite::recordSnapshot(const WritePlan &plan)
{
    m_journalId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    // What the run is to send, in the journal's one form, so that the
    // history and a restore read the window's writes as the command line's.
    const int row = m_editor.firstRowOf(MacKey(plan.target.mac));
    WriteReport report;
    report.mac = plan.target.mac;
    report.journalId = m_journalId;
    if (row >= 0)
        report.read = m_window.gatewayList().reading(row);

    WriteJournal journal;
    QString reason;
    if (journal.append(JournalEntry::write(QStringLiteral("window"), report, plan), &reason))
        return true;
    m_window.ShowStatusText(loadString(Text::JournalNotWritable).arg(journal.path(), reason));
    return false;
}

void ConfigurationWrite::recordOutcome(const QString &mac, const QString &outcome, int status)
{
    WriteReport report;
    report.mac = MacAddressText(MacAddressFromText(mac));
    report.journalId = m_journalId;
    report.result = outcome;
    QJsonObject entry = JournalEntry::outcome(report);
    // The window's own verdict, as its status line said it.
    entry.insert(QStringLiteral("status"), status);
    QString ignored;
    WriteJournal().append(entry, &ignored);
}
