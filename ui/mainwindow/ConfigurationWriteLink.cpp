#include "ConfigurationWrite.h"

#include "ConfigurationEditor.h"
#include "ExchangeWaits.h"
#include "GatewayExchange.h"
#include "GatewayList.h"
#include "GatewayListDialog.h"
#include "Texts.h"

#include <QAbstractButton>

#include <array>
#include <memory>

// The window as the write engine's link: its list is what the gateways
// reported, its own refresh looks up a DHCP lease and reads the result, and
// every exchange has its own socket, status text and wait.

namespace {

constexpr int FixedModeVariant = 5;

} // namespace

WriteLink::ReadResult ConfigurationWrite::read(Purpose purpose)
{
    switch (purpose) {
    case Purpose::Before:
        break; // the list as the user chose from it
    case Purpose::Leases:
        takeLease();
        break;
    case Purpose::After:
        readAgain();
        break;
    }
    return {GatewayScanner::Outcome::Finished, QString(), &m_window.gatewayList()};
}

bool ConfigurationWrite::exchange(int sendingText, const std::function<bool(GatewayExchange &)> &request)
{
    m_window.ShowStatus(sendingText);
    bool sent = false;
    if (std::unique_ptr<GatewayExchange> exchange = m_window.makeExchange(-1)) {
        sent = request(*exchange);
        // Every write holds the window this long; only the network write
        // ends early, 200 ms after the gateway's acknowledgement.
        m_window.WaitForReplies(ExchangeWait::WriteMs, exchange.get());
        exchange->Close();
    }
    return sent;
}

QList<bool> ConfigurationWrite::send(Kind kind, const QList<WriteExchanges::Target> &targets)
{
    // A batch of one: the gateway the editor names.
    const WriteExchanges::Target &target = targets.constFirst();
    const GatewayReading &values = target.values;
    bool sent = false;
    switch (kind) {
    case Kind::IpSetup: {
        const quint32 address = values.dhcp ? 0 : values.address;
        sent = exchange(Text::SendingIpAddress, [&](GatewayExchange &gateway) {
            return gateway.SendIpSetup(address, quint16(ParseHexNumber(target.mac.right(4))),
                                       m_window.broadcastAddress(), m_window.adapterBroadcastList());
        });
        if (sent) {
            m_written.address = true;
            m_written.toDhcp = values.dhcp;
            m_written.addressValue = address;
        }
        m_window.ShowStatus(StringBase::WriteResult + (sent ? 1 : 0));
        break;
    }
    case Kind::Identity:
        sent = exchange(Text::SendingOemInfo, [&](GatewayExchange &gateway) {
            return gateway.SendWriteIdentity(target.destination, values.typeCode);
        });
        m_written.identity = sent;
        m_window.ShowStatus(StringBase::WriteResult + (sent ? 1 : 0));
        // Asked once, written once, whatever came of it.
        if (auto *oemBox = qobject_cast<QAbstractButton *>(m_controls.widget(Control::SetOemCheck)))
            oemBox->setChecked(false);
        break;
    case Kind::Network:
        sent = exchange(Text::SendingSubnetInfo, [&](GatewayExchange &gateway) {
            return gateway.SendWriteNetwork(target.destination, values.hostBits, values.defaultGateway);
        });
        if (sent) {
            m_written.network = true;
            m_written.subnetMaskText = m_controls.text(Control::SubnetMaskEdit);
            m_written.defaultGatewayText = m_controls.text(Control::DefaultGatewayEdit);
        }
        m_window.ShowStatus(Text::None);
        break;
    case Kind::Setup:
        sent = exchange(Text::SendingConfiguration, [&](GatewayExchange &gateway) {
            return gateway.SendWriteSetup(target.destination, target.mac, values, target.lock);
        });
        if (sent)
            m_written.setup = values;
        m_window.ShowStatus(StringBase::WriteResult + (sent ? 1 : 0));
        break;
    }
    return QList<bool>(targets.size(), sent);
}

void ConfigurationWrite::takeLease()
{
    // The gateway now takes its address from a DHCP server; the refresh
    // finds out which. It empties the editor, so what the user set for the
    // configuration record is carried over it.
    const QString port = m_controls.text(Control::PortEdit);
    const QString remote = m_controls.text(Control::RemoteAddressEdit);
    const QString mask = m_controls.text(Control::AllowedMaskEdit);
    std::array<int, 5> serial{};
    std::size_t i = 0;
    for (Control id : ControlGroup::SerialCombos)
        serial[i++] = m_controls.currentIndex(id);

    m_window.OnRefreshList();
    // A list that rebuilt its rows left nothing selected; the editor is empty.
    m_editor.OnGatewayListItemChanged();

    m_controls.setText(Control::PortEdit, port);
    m_controls.setText(Control::RemoteAddressEdit, remote);
    m_controls.setText(Control::AllowedMaskEdit, mask);
    i = 0;
    for (Control id : ControlGroup::SerialCombos)
        m_controls.setCurrentIndex(id, serial[i++]);
    // Subnet fields the user typed go out as typed; untouched ones stay
    // empty and are compared with what the gateway reports under DHCP.
    if (m_request.subnetTyped) {
        m_controls.setText(Control::SubnetMaskEdit, m_request.subnetMaskText);
        m_controls.setText(Control::DefaultGatewayEdit, m_request.defaultGatewayText);
    }
    m_window.EnableCommands(false);
}

void ConfigurationWrite::leaseFound(const GatewayReading &leased, WritePlan *pending)
{
    m_ipText = DottedAddressText(leased.address);
    if (m_request.checkCode > 0)
        return;
    // The subnet write is decided again on the refreshed row, with what the
    // editor holds now.
    const EditorContents typed = m_editor.contents();
    pending->network = m_editor.IsSubnetChanged(m_request.mac);
    pending->target.hostBits = EditorValues::hostBits(typed);
    pending->target.defaultGateway = EditorValues::defaultGateway(typed);
}

void ConfigurationWrite::readAgain()
{
    const QString &mac = m_request.mac;
    // A gateway the check refused got its address only; a new fixed one is
    // shown by a refresh, a lease was shown by the refresh that found it.
    if (m_request.checkCode > 0) {
        if (m_written.address && !m_written.toDhcp)
            m_window.OnRefreshList();
        return;
    }
    // The scan gateway variant reads the written row again in place and
    // refreshes the whole list only when that fails.
    const int row = m_editor.FindGatewayRow(std::nullopt, mac);
    const bool reread = m_window.variantIndex() == FixedModeVariant && row != -1 && RereadGatewayRow(row, m_ipText);
    if (!reread)
        refreshAndSelect(m_ipText, mac);
}

void ConfigurationWrite::refreshAndSelect(const QString &ipText, const QString &mac)
{
    m_window.OnRefreshList();
    const int row = m_editor.FindGatewayRow(ipText, mac);
    if (row != -1) {
        m_editor.selectRow(row);
        m_editor.OnGatewayListItemChanged();
    }
}
