#include "GatewayRowWriter.h"

#include "DeviceTables.h"
#include "StringTable.h"

namespace {

std::array<quint8, 4> addressBytes(quint32 value)
{
    return {quint8(value >> 24), quint8(value >> 16), quint8(value >> 8), quint8(value)};
}

QString typeName(quint32 typeCode)
{
    for (const DeviceType &entry : DeviceTypeTable) {
        if (entry.typeCode == typeCode)
            return loadString(entry.nameString);
    }
    return {};
}

void showIdentity(GatewayList &list, int row)
{
    const GatewayReading reading = list.reading(row);
    if (reading.identified())
        list.setCellText(row, GatewayList::TypeColumn, typeName(reading.typeCode));
}

void showNetwork(GatewayList &list, int row)
{
    const GatewayReading reading = list.reading(row);
    if (!reading.networkRead)
        return;
    if (reading.dhcp)
        list.setCellText(row, GatewayList::IpAddressColumn, DottedAddressText(reading.address) + QStringLiteral(" (DHCP)"));
    list.setCellText(row, GatewayList::SubnetGatewayColumn,
                     SubnetColumnText(reading.hostBits, addressBytes(reading.defaultGateway)));
}

void showRecord(GatewayList &list, int row)
{
    const GatewayReading reading = list.reading(row);
    if (!reading.recordRead)
        return;
    list.setCellText(row, GatewayList::ModeColumn, loadString(StringBase::ModeName + reading.mode()));
    list.setCellText(row, GatewayList::PortColumn, QString::number(reading.port));
    list.setCellText(row, GatewayList::RemoteIpColumn, DottedAddressText(reading.remoteAddress));
    // In TCP-Client mode the gateway keeps no mask; the column keeps what it had.
    if (reading.reportsRemoteMask())
        list.setCellText(row, GatewayList::IpMaskColumn, DottedAddressText(reading.remoteMask));
    // "%d" of the stored 32-bit value, as the list has always shown it.
    list.setCellText(row, GatewayList::BaudRateColumn, QString::number(reading.baudRate));
    list.setCellText(row, GatewayList::DataBitsColumn, QString::number(reading.dataBits));
    list.setCellText(row, GatewayList::StopBitsColumn, QString::number(reading.stopBits));
    list.setCellText(row, GatewayList::ParityColumn, QString::number(reading.parity));
    list.setCellText(row, GatewayList::FlowControlColumn, QString::number(reading.flowControl));
}

} // namespace

namespace GatewayRowWriter {

int appendDiscovered(GatewayList &list, const DiscoveryReply &reply, const QString &sourceText)
{
    const int row = list.appendRow();
    // Until the network reply tells, the address shows as it came.
    list.setCellText(row, GatewayList::IpAddressColumn, sourceText);
    list.setCellText(row, GatewayList::MacAddressColumn, reply.macText());
    list.setCellText(row, GatewayList::FirmwareColumn, reply.firmwareText());
    if (GatewayReading *reading = list.mutableReading(row)) {
        reading->mac = reply.macText();
        reading->address = ParseDottedAddress(sourceText);
        reading->firmware = reply.firmwareText();
    }
    return row;
}

bool applyIdentity(GatewayList &list, int row, const IdentityRecord &reply, quint32 typeFilter)
{
    const DeviceType *type = nullptr;
    for (const DeviceType &entry : DeviceTypeTable) {
        if (entry.typeCode != reply.typeCode)
            continue;
        if (typeFilter != 0 && typeFilter != entry.typeCode)
            return false;
        type = &entry;
    }
    if (!type || !reply.isFromMaker())
        return false;

    list.setTypeCode(row, type->typeCode);
    list.setRowStatus(row, RowStatus::NoPassword);
    showIdentity(list, row);
    return true;
}

void applyNetwork(GatewayList &list, int row, const NetworkRecord &reply, const QString &sourceText)
{
    GatewayReading *reading = list.mutableReading(row);
    if (!reading)
        return;
    reading->address = ParseDottedAddress(sourceText);
    reading->networkRead = true;
    reading->dhcp = reply.usesDhcp();
    reading->hostBits = reply.shownHostBits();
    const auto &gw = reply.defaultGateway;
    reading->defaultGateway = quint32(gw[0]) << 24 | quint32(gw[1]) << 16 | quint32(gw[2]) << 8 | gw[3];
    showNetwork(list, row);
}

void applyNetworkReply(GatewayList &list, int row, const QByteArray &datagram, const QString &sourceText)
{
    const std::optional<NetworkRecord> reply = AcceptNetworkReply(datagram);
    if (!reply)
        return;
    applyNetwork(list, row, *reply, sourceText);
    if (GatewayReading *reading = list.mutableReading(row))
        reading->networkReply = datagram;
}

SetupVerdict applySetup(GatewayList &list, int row, const QByteArray &datagram,
                        bool passwordProtection, const QString &password)
{
    const SetupReplyCheck check =
        VerifySetupReply(datagram, list.cellText(row, GatewayList::MacAddressColumn),
                         list.typeCode(row), passwordProtection, password);
    switch (check.verdict) {
    case SetupVerdict::NotSetupReply:
        return check.verdict;
    case SetupVerdict::CorruptContent:
        list.setRowStatus(row, RowStatus::CorruptContent);
        return check.verdict;
    case SetupVerdict::WrongPassword:
        list.setRowStatus(row, RowStatus::WrongPassword);
        if (GatewayReading *reading = list.mutableReading(row))
            reading->lock = true;
        return check.verdict;
    case SetupVerdict::PasswordOk:
        list.setRowStatus(row, RowStatus::PasswordOk);
        break;
    case SetupVerdict::Unlocked:
        break;
    }

    const SetupRecord &record = check.record;
    if (GatewayReading *reading = list.mutableReading(row)) {
        reading->recordRead = true;
        reading->lock = check.verdict == SetupVerdict::PasswordOk;
        reading->modeByte = record.mode;
        reading->port = record.port;
        reading->remoteAddress = record.remoteAddress;
        reading->remoteMask = record.allowedMask;
        reading->baudRate = qint32(record.baudRate);
        reading->dataBits = record.dataBits;
        reading->stopBits = record.stopBits;
        reading->parity = record.parity;
        reading->flowControl = record.flowControl;
    }
    showRecord(list, row);
    return check.verdict;
}

} // namespace GatewayRowWriter
