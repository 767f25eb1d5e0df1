#include "WriteDecision.h"

#include "DeviceTables.h"
#include "StringTable.h"
#include "Texts.h"

#include <algorithm>

namespace {

int refusalOf(const GatewayReading &current, const ConfigurationChange &change, const WritePlan &plan)
{
    if (change.touchesRecord() || change.oemType || change.locked) {
        if (current.status == int(RowStatus::WrongPassword))
            return Text::WriteLocked;
        if (current.status == int(RowStatus::CorruptContent))
            return Text::WriteCorrupt;
        if (!current.identified())
            return Text::WriteUnknownType;
        // A record sent from fields never read would carry zeros.
        if (!current.recordRead && !change.namesWholeRecord())
            return Text::WriteRecordNotRead;
        if (!ModeAllowed(plan.target.typeCode, plan.target.mode(), current.firmware))
            return Text::WriteModeRefused;
    }
    if (change.touchesNetwork() && !current.networkRead)
        return Text::WriteNetworkNotRead;
    return 0;
}

} // namespace

bool ModeAllowed(quint32 typeCode, int mode, const QString &firmware)
{
    for (const DeviceType &entry : DeviceTypeTable) {
        if (entry.typeCode != typeCode || (entry.allowedModesMask & modeBit(mode)) != 0)
            continue;
        if (typeCode == EnOceanGatewayType && firmware.startsWith(QStringLiteral("1.")))
            continue;
        return false;
    }
    return true;
}

QString WritePlan::refusalText() const
{
    const QString text = loadString(refusal);
    if (refusal == Text::WriteModeRefused)
        return text.arg(modeKey(target.mode()));
    if (refusal == Text::SharedMacTail)
        return text.arg(target.mac, holder);
    if (refusal == Text::WriteListedHolder || refusal == Text::WriteProbedHolder
        || refusal == Text::WriteOwnAddress)
        return text.arg(DottedAddressText(target.address), holder);
    return text;
}

WritePlan planWrite(const GatewayReading &current, const ConfigurationChange &change, const WriteContext &context)
{
    WritePlan plan;
    GatewayReading &target = plan.target;
    ConfigurationChange &wanted = plan.wanted;
    target = current;
    wanted = change;

    plan.address = change.dhcp
        && (context.rewrite || *change.dhcp != current.dhcp || (!*change.dhcp && *change.address != current.address));
    if (plan.address) {
        target.dhcp = *change.dhcp;
        target.address = target.dhcp ? 0 : *change.address;
    }
    // A DHCP gateway reports no host bits of its own (the list shows 0), so
    // a mask given to one could never be confirmed and would go out again on
    // every run.
    if (wanted.hostBits && (change.dhcp ? *change.dhcp : current.dhcp)) {
        wanted.hostBits.reset();
        plan.ignored.append(QStringLiteral("mask"));
    }
    plan.identity = change.oemType && (context.rewrite || *change.oemType != current.typeCode);
    target.typeCode = change.oemType.value_or(current.typeCode);
    // What cannot be confirmed is not judged; a caller that writes what it
    // shows (the window) still sends it as given.
    const ConfigurationChange &sent = context.rewrite ? change : wanted;
    target.hostBits = sent.hostBits.value_or(current.hostBits);
    target.defaultGateway = wanted.defaultGateway.value_or(current.defaultGateway);
    plan.network = sent.touchesNetwork()
        && (context.rewrite || target.hostBits != current.hostBits || target.defaultGateway != current.defaultGateway);

    target.modeByte = quint8(change.mode.value_or(current.mode()));
    // Nor does a gateway in TCP-Client mode keep a mask of allowed addresses.
    if (wanted.remoteMask && target.mode() == 1) {
        wanted.remoteMask.reset();
        plan.ignored.append(QStringLiteral("remoteMask"));
    }
    target.port = quint16(change.port.value_or(current.port));
    target.remoteAddress = change.remoteAddress.value_or(current.remoteAddress);
    target.remoteMask = sent.remoteMask.value_or(current.remoteMask);
    target.baudRate = change.baudRate.value_or(current.baudRate);
    target.dataBits = change.dataBits.value_or(current.dataBits);
    target.stopBits = change.stopBits.value_or(current.stopBits);
    target.parity = change.parity.value_or(current.parity);
    target.flowControl = change.flowControl.value_or(current.flowControl);
    plan.lock = change.locked.value_or(current.lock.value_or(false));
    target.lock = plan.lock;
    const bool maskChanges = target.reportsRemoteMask() && target.remoteMask != current.remoteMask;
    const bool recordChanges = plan.identity || plan.lock != current.lock.value_or(false)
        || target.mode() != current.mode() || target.port != current.port
        || target.remoteAddress != current.remoteAddress || maskChanges || target.baudRate != current.baudRate
        || target.dataBits != current.dataBits || target.stopBits != current.stopBits
        || target.parity != current.parity || target.flowControl != current.flowControl;
    if (context.rewrite)
        plan.setup = change.touchesRecord();
    else
        plan.setup = current.recordRead ? recordChanges : change.namesWholeRecord();

    plan.refusal = refusalOf(current, wanted, plan);
    // Locking a record needs the password; a row that sends no record does not.
    if (!plan.refusal && plan.setup && plan.lock && !context.passwordGiven)
        plan.refusal = Text::WritePasswordNeeded;
    // IP-SETUP names its gateway by the last two bytes of the MAC address
    // only: every listed gateway that ends alike would take the address too.
    // No --force makes two devices share one address.
    if (!plan.refusal && plan.address) {
        const QStringList sharing =
            MacsEndingIn(MacKey(current.mac).right(4), context.others.keys(), current.mac);
        if (!sharing.isEmpty()) {
            plan.refusal = Text::SharedMacTail;
            plan.holder = MacAddressText(MacAddressFromText(sharing.first()));
            return plan;
        }
    }
    // A DHCP gateway made fixed at the address it has holds that address itself.
    if (plan.refusal || !plan.movesToFixedAddress() || target.address == current.address || context.force)
        return plan;
    for (auto other = context.others.cbegin(); other != context.others.cend(); ++other) {
        if (other.value() == target.address) {
            plan.refusal = Text::WriteListedHolder;
            plan.holder = MacAddressText(MacAddressFromText(other.key()));
            return plan;
        }
    }
    return plan;
}

QStringList MacsEndingIn(const QString &tail, const QStringList &listedMacs, const QString &mac)
{
    const QString own = MacKey(mac);
    const QString wanted = QString(tail).remove(QLatin1Char('-')).toUpper();
    QStringList sharing;
    for (const QString &listed : listedMacs) {
        const QString other = MacKey(listed);
        if (other.right(4) == wanted && other != own && !sharing.contains(listed))
            sharing.append(listed);
    }
    sharing.sort();
    return sharing;
}

void refuseTakenAddress(WritePlan *plan, const QString &holder)
{
    if (plan->refusal || holder.isEmpty() || MacKey(holder) == MacKey(plan->target.mac))
        return;
    plan->refusal = HolderIsDevice(holder) ? Text::WriteProbedHolder : Text::WriteOwnAddress;
    plan->holder = holder;
}

bool HolderIsDevice(const QString &holder)
{
    const QString digits = MacKey(holder).remove(QLatin1Char(':'));
    return digits.size() == 12
        && std::all_of(digits.cbegin(), digits.cend(), [](QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'); });
}
