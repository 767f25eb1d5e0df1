#include "ConfigurationWrite.h"

#include "ConfigurationEditor.h"
#include "GatewayList.h"
#include "GatewayListDialog.h"
#include "StringTable.h"
#include "Texts.h"
#include "JournalEntry.h"
#include "NeighbourProbe.h"
#include "WriteJournal.h"

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

bool ConfigurationWrite::recordSnapshot(const QString &mac, const QString &ipText)
{
    m_journalId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QJsonObject send{{QStringLiteral("ip"), ipText},
                     {QStringLiteral("mask"), m_request.subnetMaskText},
                     {QStringLiteral("gateway"), m_request.defaultGatewayText}};
    if (m_request.oemType)
        send.insert(QStringLiteral("typeCode"), QStringLiteral("0x%1").arg(*m_request.oemType, 8, 16, QLatin1Char('0')));
    if (m_request.setupWrite) {
        const EditorContents typed = m_editor.contents();
        send.insert(QStringLiteral("mode"), typed.modeIndex);
        send.insert(QStringLiteral("port"), typed.portText);
        send.insert(QStringLiteral("remoteIp"), typed.remoteAddressText);
        send.insert(QStringLiteral("remoteMask"), typed.allowedMaskText);
        send.insert(QStringLiteral("locked"), m_window.passwordProtection());
    }
    QJsonObject entry{{QStringLiteral("event"), QStringLiteral("write")},
                      {QStringLiteral("version"), JournalEntry::FormatVersion},
                      {QStringLiteral("id"), m_journalId},
                      {QStringLiteral("command"), QStringLiteral("window")},
                      {QStringLiteral("mac"), MacAddressText(MacAddressFromText(mac))},
                      {QStringLiteral("send"), send}};
    const int row = m_editor.firstRowOf(mac);
    if (row >= 0)
        entry.insert(QStringLiteral("read"), m_window.gatewayList().reading(row).toJson());

    WriteJournal journal;
    QString reason;
    if (journal.append(entry, &reason))
        return true;
    m_window.ShowStatusText(loadString(Text::JournalNotWritable).arg(journal.path(), reason));
    return false;
}

void ConfigurationWrite::recordOutcome(const QString &mac, const QString &outcome, int status)
{
    QString ignored;
    WriteJournal().append(QJsonObject{{QStringLiteral("event"), QStringLiteral("outcome")},
                                      {QStringLiteral("id"), m_journalId},
                                      {QStringLiteral("mac"), MacAddressText(MacAddressFromText(mac))},
                                      {QStringLiteral("outcome"), outcome},
                                      {QStringLiteral("status"), status}},
                          &ignored);
}

