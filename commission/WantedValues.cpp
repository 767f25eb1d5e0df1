#include "WantedValues.h"

#include "DeviceTables.h"
#include "LocalAdapters.h"
#include "StringTable.h"
#include "Telegrams.h"
#include "Texts.h"

#include <algorithm>

bool ConfigurationChange::take(const QString &name, const QString &value)
{
    bool ok = false;
    const int number = value.toInt(&ok, 10);
    if (name == QLatin1String("--ip")) {
        if (value.compare(QLatin1String("dhcp"), Qt::CaseInsensitive) == 0) {
            dhcp = true;
            return true;
        }
        address = DottedValue(value);
        dhcp = false;
        return address && *address != 0;
    }
    if (name == QLatin1String("--mask")) {
        const std::optional<quint32> mask = DottedValue(value);
        if (value == QLatin1String("auto")) {
            hostBits = 0;
            return true;
        }
        // Only a run of ones followed by zeros is a subnet mask.
        if (!mask || *mask == 0 || MaskFromHostBits(HostBitsFromMask(*mask)) != *mask)
            return false;
        hostBits = HostBitsFromMask(*mask);
        return true;
    }
    if (name == QLatin1String("--gateway")) {
        defaultGateway = value == QLatin1String("none") ? std::optional<quint32>(0) : DottedValue(value);
        return defaultGateway.has_value();
    }
    if (name == QLatin1String("--mode")) {
        for (int index = 0; index < ModeCount; ++index) {
            if (value == modeKey(index) || (ok && number == index))
                mode = index;
        }
        return mode.has_value();
    }
    if (name == QLatin1String("--port")) {
        port = number;
        return ok && number >= 0 && number <= 0xFFFF;
    }
    if (name == QLatin1String("--remote-ip") || name == QLatin1String("--remote-mask")) {
        std::optional<quint32> &field = name == QLatin1String("--remote-ip") ? remoteAddress : remoteMask;
        field = DottedValue(value);
        return field.has_value();
    }
    if (name == QLatin1String("--baud")) {
        baudRate = number;
        return ok && IsOfferedBaudRate(number);
    }
    if (name == QLatin1String("--data-bits")) {
        dataBits = number;
        return ok && IsOfferedDataBits(number);
    }
    if (name == QLatin1String("--stop-bits")) {
        stopBits = number;
        return ok && IsOfferedStopBits(number);
    }
    if (name == QLatin1String("--parity")) {
        parity = int(QStringList{QStringLiteral("none"), QStringLiteral("even"), QStringLiteral("odd")}.indexOf(value));
        return *parity >= 0;
    }
    if (name == QLatin1String("--flow")) {
        flowControl = int(QStringList{QStringLiteral("none"), QStringLiteral("rtscts")}.indexOf(value));
        return *flowControl >= 0;
    }
    // --oem: a type code of the device table.
    const quint32 type = ParseHexNumber(value);
    oemType = type;
    return std::any_of(DeviceTypeTable.cbegin(), DeviceTypeTable.cend(),
                       [type](const DeviceType &entry) { return entry.typeCode == type; });
}

const QStringList &ChangeOptionNames()
{
    static const QStringList Names{
        QStringLiteral("ip"),        QStringLiteral("mask"),      QStringLiteral("gateway"),
        QStringLiteral("mode"),      QStringLiteral("port"),      QStringLiteral("remote-ip"),
        QStringLiteral("remote-mask"), QStringLiteral("baud"),    QStringLiteral("data-bits"),
        QStringLiteral("stop-bits"), QStringLiteral("parity"),    QStringLiteral("flow"),
        QStringLiteral("oem")};
    return Names;
}

QString NetworkMaskText(int hostBits)
{
    return hostBits == 0 ? QString() : DottedAddressText(MaskFromHostBits(hostBits));
}

void ConfigurationChange::takeRecord(const GatewayReading &record, bool withMask)
{
    mode = record.mode();
    port = record.port;
    remoteAddress = record.remoteAddress;
    if (withMask)
        remoteMask = record.remoteMask;
    baudRate = record.baudRate;
    dataBits = record.dataBits;
    stopBits = record.stopBits;
    parity = record.parity;
    flowControl = record.flowControl;
}

ConfigurationChange ConfigurationChange::fromSnapshot(const GatewayReading &s)
{
    ConfigurationChange change;
    // Whether the address came from a DHCP server is known only from the
    // network reply.
    if (s.networkRead) {
        change.dhcp = s.dhcp;
        if (!s.dhcp) {
            change.address = s.address;
            // A DHCP gateway reports no mask of its own.
            change.hostBits = s.hostBits;
        }
        change.defaultGateway = s.defaultGateway;
    }
    if (s.recordRead)
        change.takeRecord(s, s.reportsRemoteMask());
    if (s.identified())
        change.oemType = s.typeCode;
    change.locked = s.lock;
    return change;
}

QString UnusableAddressText(quint32 address, const QList<LocalAdapter> &adapters)
{
    const QString text = DottedAddressText(address);
    if ((address >> 24) == 127)
        return loadString(Text::AddressLoopback).arg(text);
    if ((address >> 28) == 0xE)
        return loadString(Text::AddressMulticast).arg(text);
    if ((address >> 24) == 0)
        return loadString(Text::AddressThisNetwork).arg(text);
    if (address == 0xFFFFFFFF)
        return loadString(Text::AddressLimitedBroadcast).arg(text);
    for (const LocalAdapter &adapter : adapters) {
        // A /31 or /32 has no network or broadcast address to avoid.
        if (!adapter.contains(address) || (~adapter.mask) < 3)
            continue;
        const QString subnet = QStringLiteral("%1/%2").arg(DottedAddressText(adapter.address & adapter.mask))
                                   .arg(32 - HostBitsFromMask(adapter.mask));
        if (address == (adapter.address & adapter.mask))
            return loadString(Text::AddressSubnetNetwork).arg(text, subnet, adapter.name);
        if (address == adapter.broadcast())
            return loadString(Text::AddressSubnetBroadcast).arg(text, subnet, adapter.name);
    }
    return QString();
}
