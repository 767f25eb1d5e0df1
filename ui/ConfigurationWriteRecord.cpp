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

// The record of a write in the journal, and the check that a new address is
// free, both before anything is sent.

bool ConfigurationWrite::addressHeldByAnother(const QString &mac, const QString &ipText, quint32 addressValue)
{
    const EditorContents typed = m_editor.contents();
    const QString press = QStringList{mac, ipText, typed.subnetMaskText, typed.defaultGatewayText,
                                      QString::number(typed.modeIndex), typed.portText, typed.remoteAddressText,
                                      typed.allowedMaskText}
                              .join(QLatin1Char('|'));
    if (press == m_writeAnyway)
        return false;
    // A DHCP gateway made fixed at the address it has holds that address itself.
    const int own = m_editor.firstRowOf(mac);
    if (own >= 0 && ParseDottedAddress(m_window.gatewayList().cellText(own, GatewayList::IpAddressColumn)) == addressValue)
        return false;

    QString holder;
    const GatewayList &list = m_window.gatewayList();
    for (int row = 0; row < list.count() && holder.isEmpty(); ++row) {
        const QString rowMac = list.cellText(row, GatewayList::MacAddressColumn);
        if (ConfigurationEditor::NormalizeMac(rowMac) != mac
            && ParseDottedAddress(list.cellText(row, GatewayList::IpAddressColumn)) == addressValue)
            holder = rowMac;
    }
    if (holder.isEmpty()) {
        // Asking the link takes up to a few seconds; the window keeps painting.
        m_window.EnableCommands(false);
        m_window.ShowStatus(Text::CheckingAddress);
        NeighbourProbe probe({addressValue});
        while (!probe.poll())
            m_window.WaitForReplies(NeighbourProbe::PollIntervalMs);
        m_window.ShowStatus(Text::None);
        m_window.EnableCommands(true);
        holder = probe.holders().value(addressValue);
        if (ConfigurationEditor::NormalizeMac(holder) == mac)
            holder.clear();
    }
    if (holder.isEmpty())
        return false;
    m_writeAnyway = press;
    m_window.ShowStatusText(loadString(Text::AddressAlreadyUsed).arg(DottedAddressText(addressValue), holder));
    return true;
}

bool ConfigurationWrite::recordSnapshot(const QString &mac, quint32 addressValue, bool addressChanges)
{
    m_journalId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    // What the run is to send, in the journal's one form, so that the
    // history and a restore read the window's writes as the command line's.
    const int row = m_editor.firstRowOf(mac);
    const EditorContents typed = m_editor.contents();
    WritePlan plan;
    if (row >= 0)
        plan.target = m_window.gatewayList().reading(row);
    plan.target.mac = MacAddressText(MacAddressFromText(mac));
    plan.address = addressChanges;
    if (addressChanges) {
        plan.target.address = addressValue;
        plan.target.dhcp = addressValue == 0;
    }
    plan.identity = m_request.oemType.has_value();
    if (m_request.oemType)
        plan.target.typeCode = *m_request.oemType;
    plan.network = m_request.subnetTyped;
    if (plan.network) {
        plan.target.hostBits = EditorValues::hostBits(typed);
        plan.target.defaultGateway = EditorValues::defaultGateway(typed);
    }
    plan.setup = m_request.setupWrite;
    plan.lock = m_window.passwordProtection();
    if (plan.setup) {
        GatewayReading record = EditorValues::record(typed, plan.target.typeCode);
        record.mac = plan.target.mac;
        record.address = plan.target.address;
        record.dhcp = plan.target.dhcp;
        record.networkRead = plan.target.networkRead;
        record.hostBits = plan.target.hostBits;
        record.defaultGateway = plan.target.defaultGateway;
        record.firmware = plan.target.firmware;
        record.lock = plan.lock;
        plan.target = record;
    }
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
