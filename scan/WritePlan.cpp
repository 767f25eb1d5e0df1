#include "WritePlan.h"

#include "DeviceTables.h"
#include "StringTable.h"
#include "Telegrams.h"

namespace {

int refusalOf(const GatewayConfiguration &current, const ConfigurationChange &change)
{
    if (change.touchesRecord() || change.oemType || change.locked) {
        if (current.status == int(RowStatus::WrongPassword))
            return WriteText::Locked;
        if (current.status == int(RowStatus::CorruptContent))
            return WriteText::Corrupt;
        if (current.typeCode == 0)
            return WriteText::UnknownType;
        // A record sent from fields never read would carry zeros.
        if (!current.recordRead)
            return WriteText::RecordNotRead;
        const int mode = change.mode.value_or(current.mode);
        const quint32 type = change.oemType.value_or(current.typeCode);
        for (const DeviceType &entry : DeviceTypeTable) {
            if (entry.typeCode == type && (entry.allowedModesMask & modeBit(mode)) == 0)
                return WriteText::ModeRefused;
        }
    }
    if (change.touchesNetwork() && !current.networkRead)
        return WriteText::NetworkNotRead;
    return 0;
}

} // namespace

QString WritePlan::refusalText(const ConfigurationChange &change) const
{
    const QString text = loadString(refusal);
    if (refusal == WriteText::ModeRefused)
        return text.arg(modeKey(target.mode));
    if (refusal == WriteText::ListedHolder || refusal == WriteText::ProbedHolder)
        return text.arg(DottedAddressText(change.address.value_or(0)), holder);
    return text;
}

WritePlan planWrite(const GatewayConfiguration &current, const ConfigurationChange &change,
                    const QHash<QString, quint32> &others, bool force)
{
    WritePlan plan;
    GatewayConfiguration &target = plan.target;
    target = current;
    plan.address = change.dhcp && (*change.dhcp != current.dhcp || (!*change.dhcp && *change.address != current.address));
    if (plan.address) {
        target.dhcp = *change.dhcp;
        target.address = target.dhcp ? 0 : *change.address;
    }
    plan.identity = change.oemType && *change.oemType != current.typeCode;
    target.typeCode = change.oemType.value_or(current.typeCode);
    target.hostBits = change.hostBits.value_or(current.hostBits);
    target.defaultGateway = change.defaultGateway.value_or(current.defaultGateway);
    plan.network = change.touchesNetwork()
        && (target.hostBits != current.hostBits || target.defaultGateway != current.defaultGateway);
    target.mode = change.mode.value_or(current.mode);
    target.port = change.port.value_or(current.port);
    target.remoteAddress = change.remoteAddress.value_or(current.remoteAddress);
    target.remoteMask = change.remoteMask.value_or(current.remoteMask);
    target.baudRate = change.baudRate.value_or(current.baudRate);
    target.dataBits = change.dataBits.value_or(current.dataBits);
    target.stopBits = change.stopBits.value_or(current.stopBits);
    target.parity = change.parity.value_or(current.parity);
    target.flowControl = change.flowControl.value_or(current.flowControl);
    plan.lock = change.locked.value_or(current.locked());
    plan.setup = current.recordRead
        && (plan.identity || plan.lock != current.locked() || target.mode != current.mode
            || target.port != current.port || target.remoteAddress != current.remoteAddress
            || target.remoteMask != current.remoteMask || target.baudRate != current.baudRate
            || target.dataBits != current.dataBits || target.stopBits != current.stopBits
            || target.parity != current.parity || target.flowControl != current.flowControl);

    plan.refusal = refusalOf(current, change);
    // A DHCP gateway made fixed at the address it has holds that address itself.
    if (plan.refusal || !plan.movesToFixedAddress() || target.address == current.address || force)
        return plan;
    for (auto other = others.cbegin(); other != others.cend(); ++other) {
        if (other.value() == target.address) {
            plan.refusal = WriteText::ListedHolder;
            plan.holder = MacAddressText(MacAddressFromText(other.key()));
            return plan;
        }
    }
    return plan;
}

void refuseTakenAddress(WritePlan *plan, const QString &holder)
{
    if (plan->refusal || holder.isEmpty()
        || QString(holder).remove(QLatin1Char('-')) == QString(plan->target.mac).remove(QLatin1Char('-')))
        return;
    plan->refusal = WriteText::ProbedHolder;
    plan->holder = holder;
}
