#include "ConfigurationWrite.h"

#include "ConfigurationEditor.h"
#include "DeviceTables.h"
#include "GatewayList.h"
#include "GatewayListDialog.h"
#include "StringTable.h"
#include "Texts.h"

// What the gateway reports after a write, judged against what the user typed
// and the run sent.

namespace {

const QString Dhcp = QStringLiteral("DHCP");

} // namespace

int ConfigurationWrite::outcome(const QString &ipText, const QString &mac) const
{
    const int row = m_editor.firstRowOf(mac);
    if (row < 0)
        return m_window.portTakenInLastRefresh() ? Text::PortInUse : Text::GatewayNotFoundAgain;

    const GatewayList &list = m_window.gatewayList();
    const QString shown = list.cellText(row, GatewayList::IpAddressColumn);
    const bool shownDhcp = shown.contains(Dhcp);
    // Whether an address came from DHCP arrives with the network reply; a
    // gateway that gave none (an unidentified one) cannot tell. Then only a
    // move away from the address it had shows that it took the switch; one
    // still at that address ignored it.
    const bool dhcpUnknown = list.cellText(row, GatewayList::SubnetGatewayColumn).isEmpty();
    const bool movedAway = ParseDottedAddress(shown) != m_request.shownAddressValue;
    const bool addressTaken = m_written.address
        ? (m_written.toDhcp ? shownDhcp || (dhcpUnknown && movedAway)
                            : !shownDhcp && ParseDottedAddress(shown) == m_written.addressValue)
        : ParseDottedAddress(shown) == ParseDottedAddress(ipText);
    if (!addressTaken)
        return Text::GatewayReportsOtherAddress;
    for (const int result : {identityOutcome(row), setupOutcome(row), subnetOutcome(row)}) {
        if (result != Text::None)
            return result;
    }
    return Text::GatewayReportsNewConfiguration;
}

int ConfigurationWrite::identityOutcome(int row) const
{
    if (!m_request.oemType)
        return Text::None;
    // The run went on after the identity could not be sent; the record
    // written after it must not make that look confirmed.
    if (!m_written.identity)
        return Text::IdentityNotSent;
    return m_window.gatewayList().typeCode(row) == *m_request.oemType ? Text::None : Text::GatewayReportsOtherType;
}

int ConfigurationWrite::setupOutcome(int row) const
{
    if (!m_written.setup)
        return Text::None;
    const SetupRecord &record = *m_written.setup;
    const GatewayList &list = m_window.gatewayList();
    const auto shows = [&](int column, const QString &expected) { return list.cellText(row, column) == expected; };
    // The texts the list shows for a record, as the setup reply fills them.
    // Fields the editor did not show were not the user's to set, and a
    // gateway may keep its own values there.
    const int mode = qMin(int(record.mode), ModeCount - 1);
    if (!shows(GatewayList::ModeColumn, loadString(StringBase::ModeName + mode)))
        return Text::GatewayReportsOtherMode;
    if (!shows(GatewayList::PortColumn, QString::number(record.port)))
        return Text::GatewayReportsOtherPort;
    if (!shows(GatewayList::RemoteIpColumn, DottedAddressText(record.remoteAddress)))
        return Text::GatewayReportsOtherRemoteAddress;
    if (m_request.allowedMaskShown && !shows(GatewayList::IpMaskColumn, DottedAddressText(record.allowedMask)))
        return Text::GatewayReportsOtherAllowedMask;
    if (m_request.serialShown
        && (!shows(GatewayList::BaudRateColumn, QString::number(qint32(record.baudRate)))
            || !shows(GatewayList::DataBitsColumn, QString::number(record.dataBits))
            || !shows(GatewayList::StopBitsColumn, QString::number(record.stopBits))
            || !shows(GatewayList::ParityColumn, QString::number(record.parity))
            || !shows(GatewayList::FlowControlColumn, QString::number(record.flowControl))))
        return Text::GatewayReportsOtherSerialSettings;
    return Text::None;
}

int ConfigurationWrite::subnetOutcome(int row) const
{
    // Only what the user typed is judged. Fields the run sent on its own
    // (the switch to DHCP empties them) are no request of the user's, and a
    // DHCP server supplies its own default gateway in their place.
    if (!m_request.subnetTyped)
        return Text::None;
    const QString &mask = m_request.subnetMaskText;
    const QString &gateway = m_request.defaultGatewayText;
    const bool sent = m_written.network && m_written.subnetMaskText == mask && m_written.defaultGatewayText == gateway;

    const GatewayList &list = m_window.gatewayList();
    const QString column = list.cellText(row, GatewayList::SubnetGatewayColumn);
    if (column.isEmpty())
        return sent ? Text::SubnetNotReported : Text::SubnetNotWritten;
    const SubnetColumn reported = ParseSubnetColumn(column);
    // A gateway on DHCP shows no host bits of its own.
    const bool dhcp = list.cellText(row, GatewayList::IpAddressColumn).contains(Dhcp);
    const bool maskReported =
        dhcp || HostBitsFromMask(ParseDottedAddress(reported.maskText)) == HostBitsFromMask(ParseDottedAddress(mask));
    const bool gatewayReported = ParseDottedAddress(reported.gatewayText) == ParseDottedAddress(gateway);
    if (maskReported && gatewayReported)
        return Text::None;
    if (!sent)
        return Text::SubnetNotWritten;
    return maskReported ? Text::GatewayReportsOtherDefaultGateway : Text::GatewayReportsOtherSubnetMask;
}
