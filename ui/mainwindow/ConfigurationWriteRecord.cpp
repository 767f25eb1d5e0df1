#include "ConfigurationWrite.h"

#include "ConfigurationEditor.h"
#include "GatewayList.h"
#include "GatewayListDialog.h"
#include "JournalEntry.h"
#include "StringTable.h"
#include "Texts.h"
#include "WriteJournal.h"

#include <QJsonObject>

// The editor as values wanted, the checks and the journal around the
// engine's run, and its result in the status line.

ConfigurationChange ConfigurationWrite::wantedChange(bool addressChanges, quint32 addressValue,
                                                     quint32 typeCode) const
{
    // Only the parts this run sends: the address when the field names
    // another, the identity when asked, the subnet fields the user changed
    // on a gateway that reported its own, the record when it is shown.
    ConfigurationChange change;
    if (addressChanges) {
        change.dhcp = addressValue == 0;
        if (addressValue != 0)
            change.address = addressValue;
    }
    if (m_request.checkCode > 0)
        return change;
    const int row = m_editor.firstRowOf(m_request.mac);
    const bool networkRead = row >= 0 && m_window.gatewayList().reading(row).networkRead;
    const EditorContents typed = m_editor.contents();
    change.oemType = m_request.oemType;
    if (m_request.subnetTyped && networkRead) {
        change.hostBits = EditorValues::hostBits(typed);
        change.defaultGateway = EditorValues::defaultGateway(typed);
    }
    if (m_request.setupWrite) {
        change.takeRecord(EditorValues::record(typed, typeCode), true);
        change.locked = m_window.passwordProtection();
    }
    return change;
}

QString ConfigurationWrite::pressKey() const
{
    const EditorContents typed = m_editor.contents();
    return QStringList{m_request.mac, m_controls.text(Control::IpAddressEdit), typed.subnetMaskText,
                       typed.defaultGatewayText, QString::number(typed.modeIndex), typed.portText,
                       typed.remoteAddressText, typed.allowedMaskText}
        .join(QLatin1Char('|'));
}

WriteEngine::Safeguards ConfigurationWrite::safeguards()
{
    WriteEngine::Safeguards safeguards;
    safeguards.recordSnapshot = [this](const WriteReport &report, const WritePlan &plan, QString *error) {
        return recordSnapshot(report, plan, error);
    };
    // The outcome is the window's own verdict, recorded once it is known.
    safeguards.checkAddresses = [this](const QList<quint32> &addresses) {
        m_window.ShowStatus(Text::CheckingAddress);
        const AddressCheck check = m_window.checkAddressesOnLink(addresses);
        m_window.ShowStatus(Text::None);
        return check;
    };
    return safeguards;
}

void ConfigurationWrite::showResult(const WriteEngine::Result &result, const QString &press)
{
    if (!result.journalError.isEmpty()) {
        m_window.ShowStatusText(result.journalError);
        return;
    }
    // The window's own list is always there to read; a run without a
    // report decided nothing and sent nothing.
    if (result.reports.isEmpty())
        return;
    const WriteReport &report = result.reports.constFirst();
    const WritePlan &plan = result.plans.constFirst();
    if (report.result == QLatin1String("refused")) {
        refuse(plan);
        // A new address another device holds is refused once; the same
        // press again writes.
        if (plan.refusal == Text::WriteListedHolder || plan.refusal == Text::WriteProbedHolder
            || plan.refusal == Text::WriteOwnAddress)
            m_writeAnyway = press;
        return;
    }
    if (report.result == QLatin1String("missing")) {
        m_window.ShowStatus(Text::UnknownMacAddress);
        return;
    }
    // The run ended at a write that could not go out, and nothing was read
    // again; the status line says already which exchange failed.
    if (report.result == QLatin1String("notSent") && !report.reported) {
        recordOutcome(report, report.result, StringBase::WriteResult);
        return;
    }
    // The switch to DHCP left no address to write to.
    if (report.result == QLatin1String("stopped")) {
        m_window.ShowStatus(Text::MissingGatewayAddress);
        recordOutcome(report, report.result, Text::MissingGatewayAddress);
        return;
    }
    // Nothing needed sending; the list is read again all the same, so that
    // the editor shows what the gateway reports.
    if (report.result == QLatin1String("nothingToWrite"))
        readAgain();
    if (m_request.checkCode > 0) {
        const int status = StringBase::CheckMessage + m_request.checkCode;
        m_window.ShowStatus(status);
        recordOutcome(report, QStringLiteral("stopped"), status);
        return;
    }
    const int status = outcome(m_ipText, m_request.mac);
    m_window.ShowStatus(status);
    if (report.result != QLatin1String("nothingToWrite"))
        recordOutcome(report,
                      status == Text::GatewayReportsNewConfiguration ? QStringLiteral("confirmed")
                                                                     : QStringLiteral("notConfirmed"),
                      status);
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

bool ConfigurationWrite::recordSnapshot(const WriteReport &report, const WritePlan &plan, QString *error) const
{
    // In the journal's one form, so that the history and a restore read the
    // window's writes as the command line's.
    WriteJournal journal;
    QString reason;
    if (journal.append(JournalEntry::write(QStringLiteral("window"), report, plan), &reason))
        return true;
    *error = loadString(Text::JournalNotWritable).arg(journal.path(), reason);
    return false;
}

void ConfigurationWrite::recordOutcome(const WriteReport &report, const QString &outcome, int status) const
{
    WriteReport recorded = report;
    recorded.result = outcome;
    QJsonObject entry = JournalEntry::outcome(recorded);
    // The window's own verdict, as its status line said it.
    entry.insert(QStringLiteral("status"), status);
    QString ignored;
    WriteJournal().append(entry, &ignored);
}
