#include "GatewayConfiguration.h"

#include "DeviceTables.h"
#include "StringTable.h"
#include "Telegrams.h"

#include <QJsonValue>

namespace {

const QString Dhcp = QStringLiteral("dhcp");

QString typeText(quint32 typeCode)
{
    return QStringLiteral("0x%1").arg(typeCode, 8, 16, QLatin1Char('0'));
}

// A mask the way a person types it; no host bits is the gateway's own choice.
QString maskText(int hostBits)
{
    return hostBits == 0 ? QStringLiteral("auto") : DottedAddressText(MaskFromHostBits(hostBits));
}

QString addressText(bool dhcp, quint32 address)
{
    return dhcp ? Dhcp : DottedAddressText(address);
}

int modeOfText(const QString &text)
{
    for (int mode = 0; mode < ModeCount; ++mode) {
        for (UiLanguage language : {UiLanguage::English, UiLanguage::German}) {
            if (text.compare(StringTable::text(StringBase::ModeName + mode, language), Qt::CaseInsensitive) == 0)
                return mode;
        }
    }
    return -1;
}

std::optional<quint32> addressValue(const QJsonObject &object, const QString &key)
{
    const QString text = object.value(key).toString();
    if (text.split(QLatin1Char('.')).size() != 4 || !DottedAddressPartsInRange(text))
        return std::nullopt;
    return ParseDottedAddress(text);
}

} // namespace

std::optional<quint32> DottedValue(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    quint32 value = 0;
    for (const QString &part : parts) {
        bool ok = false;
        const int number = part.toInt(&ok, 10);
        if (!ok || part.isEmpty() || part.size() > 3 || !part.at(0).isDigit() || number > 255)
            return std::nullopt;
        value = (value << 8) | quint32(number);
    }
    return value;
}

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
        return ok && StringTable::comboEntries(1015).contains(value);
    }
    if (name == QLatin1String("--data-bits")) {
        dataBits = number;
        return ok && (number == 7 || number == 8);
    }
    if (name == QLatin1String("--stop-bits")) {
        stopBits = number;
        return ok && (number == 1 || number == 2);
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

QString modeKey(int mode)
{
    static const QStringList Keys{QStringLiteral("tcp-server"), QStringLiteral("tcp-client"),
                                  QStringLiteral("udp-active"), QStringLiteral("udp-passive")};
    return Keys.value(mode);
}

GatewayConfiguration GatewayConfiguration::fromRow(const GatewayList &list, int row)
{
    QStringList cells;
    for (int column = 0; column < GatewayList::ColumnCount; ++column)
        cells.append(list.cellText(row, column));
    return fromCells(cells, list.typeCode(row), list.rowStatus(row));
}

GatewayConfiguration GatewayConfiguration::fromCells(const QStringList &cells, quint32 typeCode, int status)
{
    GatewayConfiguration c;
    const auto cell = [&](int column) { return cells.value(column); };
    c.mac = cell(GatewayList::MacAddressColumn);
    c.typeCode = typeCode;
    c.status = status;
    c.dhcp = cell(GatewayList::IpAddressColumn).contains(QStringLiteral("DHCP"));
    c.address = ParseDottedAddress(cell(GatewayList::IpAddressColumn));

    const QString subnet = cell(GatewayList::SubnetGatewayColumn);
    c.networkRead = !subnet.isEmpty();
    if (c.networkRead) {
        const SubnetColumn parts = ParseSubnetColumn(subnet);
        c.hostBits = parts.maskText.isEmpty() ? 0 : HostBitsFromMask(ParseDottedAddress(parts.maskText));
        c.defaultGateway = ParseDottedAddress(parts.gatewayText);
    }

    const int mode = modeOfText(cell(GatewayList::ModeColumn));
    bool portRead = false;
    const int port = cell(GatewayList::PortColumn).toInt(&portRead);
    c.recordRead = mode >= 0 && portRead;
    if (c.recordRead) {
        c.mode = mode;
        c.port = port;
        c.remoteAddress = ParseDottedAddress(cell(GatewayList::RemoteIpColumn));
        c.remoteMask = ParseDottedAddress(cell(GatewayList::IpMaskColumn));
        c.baudRate = cell(GatewayList::BaudRateColumn).toInt();
        c.dataBits = cell(GatewayList::DataBitsColumn).toInt();
        c.stopBits = cell(GatewayList::StopBitsColumn).toInt();
        c.parity = cell(GatewayList::ParityColumn).toInt();
        c.flowControl = cell(GatewayList::FlowControlColumn).toInt();
    }
    return c;
}

QJsonObject GatewayConfiguration::toJson() const
{
    QJsonObject object{{QStringLiteral("mac"), mac},
                       {QStringLiteral("typeCode"), typeText(typeCode)},
                       {QStringLiteral("dhcp"), dhcp},
                       {QStringLiteral("ip"), DottedAddressText(address)},
                       {QStringLiteral("locked"), locked()}};
    if (networkRead) {
        object.insert(QStringLiteral("hostBits"), hostBits);
        object.insert(QStringLiteral("gateway"), DottedAddressText(defaultGateway));
    }
    if (recordRead) {
        object.insert(QStringLiteral("mode"), modeKey(mode));
        object.insert(QStringLiteral("port"), port);
        object.insert(QStringLiteral("remoteIp"), DottedAddressText(remoteAddress));
        object.insert(QStringLiteral("remoteMask"), DottedAddressText(remoteMask));
        object.insert(QStringLiteral("baudRate"), baudRate);
        object.insert(QStringLiteral("dataBits"), dataBits);
        object.insert(QStringLiteral("stopBits"), stopBits);
        object.insert(QStringLiteral("parity"), parity);
        object.insert(QStringLiteral("flowControl"), flowControl);
    }
    return object;
}

std::optional<GatewayConfiguration> GatewayConfiguration::fromJson(const QJsonObject &object)
{
    GatewayConfiguration c;
    c.mac = object.value(QStringLiteral("mac")).toString();
    const std::optional<quint32> ip = addressValue(object, QStringLiteral("ip"));
    if (c.mac.isEmpty() || !ip)
        return std::nullopt;
    c.address = *ip;
    c.dhcp = object.value(QStringLiteral("dhcp")).toBool();
    c.typeCode = ParseHexNumber(object.value(QStringLiteral("typeCode")).toString());
    c.status = object.value(QStringLiteral("locked")).toBool() ? int(RowStatus::PasswordOk)
                                                                : int(RowStatus::NoPassword);
    const std::optional<quint32> gateway = addressValue(object, QStringLiteral("gateway"));
    c.networkRead = object.value(QStringLiteral("hostBits")).isDouble() && gateway;
    if (c.networkRead) {
        c.hostBits = qBound(0, object.value(QStringLiteral("hostBits")).toInt(), 32);
        c.defaultGateway = *gateway;
    }
    const int mode = QStringList{modeKey(0), modeKey(1), modeKey(2), modeKey(3)}.indexOf(
        object.value(QStringLiteral("mode")).toString());
    const std::optional<quint32> remote = addressValue(object, QStringLiteral("remoteIp"));
    const std::optional<quint32> remoteMask = addressValue(object, QStringLiteral("remoteMask"));
    const QJsonValue port = object.value(QStringLiteral("port"));
    c.recordRead = mode >= 0 && remote && remoteMask && port.isDouble();
    if (c.recordRead) {
        c.mode = mode;
        c.port = qBound(0, port.toInt(), 0xFFFF);
        c.remoteAddress = *remote;
        c.remoteMask = *remoteMask;
        c.baudRate = object.value(QStringLiteral("baudRate")).toInt();
        c.dataBits = object.value(QStringLiteral("dataBits")).toInt();
        c.stopBits = object.value(QStringLiteral("stopBits")).toInt();
        c.parity = object.value(QStringLiteral("parity")).toInt();
        c.flowControl = object.value(QStringLiteral("flowControl")).toInt();
    }
    return c;
}

ConfigurationChange ConfigurationChange::everything(const GatewayConfiguration &c)
{
    ConfigurationChange change;
    change.dhcp = c.dhcp;
    if (!c.dhcp)
        change.address = c.address;
    if (c.networkRead) {
        change.hostBits = c.hostBits;
        change.defaultGateway = c.defaultGateway;
    }
    if (c.recordRead) {
        change.mode = c.mode;
        change.port = c.port;
        change.remoteAddress = c.remoteAddress;
        change.remoteMask = c.remoteMask;
        change.baudRate = c.baudRate;
        change.dataBits = c.dataBits;
        change.stopBits = c.stopBits;
        change.parity = c.parity;
        change.flowControl = c.flowControl;
    }
    change.oemType = c.typeCode;
    change.locked = c.locked();
    return change;
}

QList<FieldComparison> compareFields(const ConfigurationChange &change, const GatewayConfiguration &c)
{
    QList<FieldComparison> fields;
    const auto add = [&fields](const QString &key, const QString &wanted, const QString &reported) {
        fields.append({key, wanted, reported});
    };
    if (change.dhcp)
        add(QStringLiteral("ip"), addressText(*change.dhcp, change.address.value_or(c.address)),
            addressText(c.dhcp, c.address));
    if (change.oemType)
        add(QStringLiteral("type"), typeText(*change.oemType), typeText(c.typeCode));
    const QString notRead = QStringLiteral("-");
    if (change.hostBits)
        add(QStringLiteral("mask"), maskText(*change.hostBits), c.networkRead ? maskText(c.hostBits) : notRead);
    if (change.defaultGateway)
        add(QStringLiteral("gateway"), DottedAddressText(*change.defaultGateway),
            c.networkRead ? DottedAddressText(c.defaultGateway) : notRead);
    const auto record = [&](const QString &key, const auto &wanted, const QString &reported,
                            const auto &toText) {
        if (wanted)
            add(key, toText(*wanted), c.recordRead ? reported : notRead);
    };
    const auto number = [](auto value) { return QString::number(value); };
    record(QStringLiteral("mode"), change.mode, modeKey(c.mode), modeKey);
    record(QStringLiteral("port"), change.port, number(c.port), number);
    record(QStringLiteral("remoteIp"), change.remoteAddress, DottedAddressText(c.remoteAddress), DottedAddressText);
    record(QStringLiteral("remoteMask"), change.remoteMask, DottedAddressText(c.remoteMask), DottedAddressText);
    record(QStringLiteral("baudRate"), change.baudRate, number(c.baudRate), number);
    record(QStringLiteral("dataBits"), change.dataBits, number(c.dataBits), number);
    record(QStringLiteral("stopBits"), change.stopBits, number(c.stopBits), number);
    record(QStringLiteral("parity"), change.parity, number(c.parity), number);
    record(QStringLiteral("flowControl"), change.flowControl, number(c.flowControl), number);
    const auto boolText = [](bool value) { return value ? QStringLiteral("true") : QStringLiteral("false"); };
    if (change.locked)
        add(QStringLiteral("locked"), boolText(*change.locked), boolText(c.locked()));
    return fields;
}
