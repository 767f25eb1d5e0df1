#include "ConfigurationWrite.h"

#include "ConfigurationEditor.h"
#include "GatewayList.h"
#include "GatewayListDialog.h"
#include "Texts.h"
#include "WriteJudgement.h"

#include <QHash>

#include <climits>

// What the gateway reports after a write, judged against what the user typed
// and the run sent: the fields are compared by the write library, as every
// command compares them; the window names the first that differs, in the
// order its status texts have always been checked.

namespace {

struct FieldVerdict
{
    int rank;
    int text;
};

// The status text of a field the gateway reports otherwise, and its place in
// the checking order (identity, record, subnet).
const QHash<QString, FieldVerdict> &fieldVerdicts()
{
    static const QHash<QString, FieldVerdict> verdicts{
        {QStringLiteral("type"), {0, Text::GatewayReportsOtherType}},
        {QStringLiteral("mode"), {1, Text::GatewayReportsOtherMode}},
        {QStringLiteral("port"), {2, Text::GatewayReportsOtherPort}},
        {QStringLiteral("remoteIp"), {3, Text::GatewayReportsOtherRemoteAddress}},
        {QStringLiteral("remoteMask"), {4, Text::GatewayReportsOtherAllowedMask}},
        {QStringLiteral("baudRate"), {5, Text::GatewayReportsOtherSerialSettings}},
        {QStringLiteral("dataBits"), {5, Text::GatewayReportsOtherSerialSettings}},
        {QStringLiteral("stopBits"), {5, Text::GatewayReportsOtherSerialSettings}},
        {QStringLiteral("parity"), {5, Text::GatewayReportsOtherSerialSettings}},
        {QStringLiteral("flowControl"), {5, Text::GatewayReportsOtherSerialSettings}},
        {QStringLiteral("mask"), {6, Text::GatewayReportsOtherSubnetMask}},
        {QStringLiteral("gateway"), {7, Text::GatewayReportsOtherDefaultGateway}},
    };
    return verdicts;
}

} // namespace

int ConfigurationWrite::outcome(const QString &ipText, const QString &mac) const
{
    const int row = m_editor.firstRowOf(mac);
    if (row < 0)
        return m_window.portTakenInLastRefresh() ? Text::PortInUse : Text::GatewayNotFoundAgain;

    const GatewayReading reported = m_window.gatewayList().reading(row);
    if (!addressTaken(reported, ipText))
        return Text::GatewayReportsOtherAddress;
    // The run went on after the identity could not be sent; the record
    // written after it must not make that look confirmed.
    if (m_request.oemType && !m_written.identity)
        return Text::IdentityNotSent;

    const bool subnetSent = m_written.network && m_written.subnetMaskText == m_request.subnetMaskText
        && m_written.defaultGatewayText == m_request.defaultGatewayText;
    FieldVerdict first{INT_MAX, Text::None};
    for (const FieldComparison &field : compareFields(expectedChange(reported), reported)) {
        const FieldVerdict verdict = fieldVerdicts().value(field.key, FieldVerdict{INT_MAX, Text::None});
        if (!field.matches() && verdict.rank < first.rank)
            first = verdict;
    }
    if (first.text == Text::None)
        return Text::GatewayReportsNewConfiguration;
    const bool subnetField =
        first.text == Text::GatewayReportsOtherSubnetMask || first.text == Text::GatewayReportsOtherDefaultGateway;
    if (!subnetField)
        return first.text;
    if (!reported.networkRead)
        return subnetSent ? Text::SubnetNotReported : Text::SubnetNotWritten;
    return subnetSent ? first.text : Text::SubnetNotWritten;
}

bool ConfigurationWrite::addressTaken(const GatewayReading &reported, const QString &ipText) const
{
    const bool reportedDhcp = reported.dhcp;
    if (!m_written.address)
        return reported.address == ParseDottedAddress(ipText);
    if (!m_written.toDhcp)
        return !reportedDhcp && reported.address == m_written.addressValue;
    // Whether an address came from DHCP arrives with the network reply; a
    // gateway that gave none (an unidentified one) cannot tell. Then only a
    // move away from the address it had shows that it took the switch; one
    // still at that address ignored it.
    return reportedDhcp || (!reported.networkRead && reported.address != m_request.shownAddressValue);
}

ConfigurationChange ConfigurationWrite::expectedChange(const GatewayReading &reported) const
{
    ConfigurationChange expected;
    expected.oemType = m_request.oemType;
    // Only what the user typed is judged. Fields the run sent on its own
    // (the switch to DHCP empties them) are no request of the user's, and a
    // DHCP server supplies its own default gateway in their place.
    if (m_request.subnetTyped) {
        // A gateway on DHCP shows no host bits of its own.
        if (!reported.dhcp)
            expected.hostBits = HostBitsFromMask(ParseDottedAddress(m_request.subnetMaskText));
        expected.defaultGateway = ParseDottedAddress(m_request.defaultGatewayText);
    }
    if (const std::optional<GatewayReading> &record = m_written.setup) {
        expected.mode = record->mode();
        expected.port = record->port;
        expected.remoteAddress = record->remoteAddress;
        // Fields the editor did not show were not the user's to set, and a
        // gateway may keep its own values there.
        if (m_request.allowedMaskShown)
            expected.remoteMask = record->remoteMask;
        if (m_request.serialShown) {
            expected.baudRate = record->baudRate;
            expected.dataBits = record->dataBits;
            expected.stopBits = record->stopBits;
            expected.parity = record->parity;
            expected.flowControl = record->flowControl;
        }
    }
    return expected;
}
