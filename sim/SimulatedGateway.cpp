#include "SimulatedGateway.h"

#include "TelegramBytes.h"

using namespace TelegramBytes;

namespace {

// Bytes the tool does not interpret still have to stay the same from read to
// read, so they are a pattern derived from the MAC address rather than random.
QByteArray stablePattern(const MacAddress &mac, int size, int salt)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char(quint8(i * 37 + mac[5] * 11 + mac[4] + salt));
    return bytes;
}

constexpr int SetupChecksumOffset = 16;
constexpr int SetupMacOffset = 17;
constexpr int SetupTypeOffset = 23;
constexpr int NetworkModeOffset = 4;
constexpr int NetworkHostBitsOffset = 10;
constexpr int NetworkGatewayOffset = 16;
constexpr quint32 FixedAddressMode = 1;

void refreshChecksum(QByteArray &record)
{
    record[SetupChecksumOffset] = char(SetupChecksum(record));
}

bool isRequest(const QByteArray &datagram)
{
    return datagram.size() == Telegram::RequestSize && !datagram.at(0) && !datagram.at(1)
        && !datagram.at(2);
}

} // namespace

SimulatedGateway::SimulatedGateway(const GatewayConfig &config)
    : m_config(config)
    , m_address(config.address)
    , m_typeCode(config.typeCode)
    , m_setupRecord(config.setupRecord.isEmpty() ? initialSetupRecord(config) : config.setupRecord)
    , m_networkRecord(config.networkRecord.isEmpty() ? initialNetworkRecord(config)
                                                     : config.networkRecord)
{
}

QByteArray SimulatedGateway::initialSetupRecord(const GatewayConfig &config)
{
    SetupRecord record;
    record.mode = config.setup.mode;
    record.port = config.setup.port;
    record.remoteAddress = config.setup.remote;
    record.allowedMask = config.setup.mask;
    record.mac = config.mac;
    record.typeCode = config.typeCode;
    record.baudRate = config.setup.baudRate;
    record.dataBits = config.setup.dataBits;
    record.stopBits = config.setup.stopBits;
    record.parity = config.setup.parity;
    record.flowControl = config.setup.flowControl;
    const QByteArray filler = stablePattern(config.mac, Telegram::SetupRecordSize, 0);
    QByteArray bytes = BuildSetupReply(record, filler);
    if (config.password) {
        // The digest covers the filler, so it is taken over the finished record.
        record.digest = PasswordDigest(bytes, *config.password);
        bytes = BuildSetupReply(record, filler);
    }
    return bytes;
}

QByteArray SimulatedGateway::initialNetworkRecord(const GatewayConfig &config)
{
    NetworkRecord record;
    record.addressMode = config.dhcp ? 0 : FixedAddressMode;
    record.hostBits = quint8(config.hostBits);
    for (int i = 0; i < 4; ++i)
        record.defaultGateway[size_t(i)] = quint8(config.defaultGateway >> (24 - 8 * i));
    return BuildNetworkReply(record, stablePattern(config.mac, Telegram::NetworkRecordSize, 101));
}

bool SimulatedGateway::usesDhcp() const
{
    return u32LE(m_networkRecord, NetworkModeOffset) == 0;
}

QString SimulatedGateway::label() const
{
    const QString address = DottedAddressText(m_address);
    return m_config.name.isEmpty() ? address
                                   : QStringLiteral("%1 (%2)").arg(m_config.name, address);
}

bool SimulatedGateway::ignores(GatewayRequest request) const
{
    return m_config.faults.ignore.contains(request);
}

GatewayReaction SimulatedGateway::reply(GatewayRequest request, const QByteArray &bytes,
                                        int count) const
{
    GatewayReaction reaction;
    if (ignores(request))
        return reaction;
    for (int i = 0; i < count; ++i)
        reaction.datagrams += shapeReply(bytes, m_config.faults);
    return reaction;
}

GatewayReaction SimulatedGateway::handle(const QByteArray &datagram)
{
    if (isRequest(datagram))
        return handleRequest(Telegram::Code(byteAt(datagram, 3)));

    if (const auto type = AcceptIdentityWrite(datagram)) {
        GatewayReaction reaction;
        if (!ignores(GatewayRequest::IdentityWrite)) {
            reaction.stateChanged = *type != m_typeCode;
            m_typeCode = *type;
        }
        return reaction;
    }

    if (AcceptNetworkWrite(datagram)) {
        if (ignores(GatewayRequest::NetworkWrite))
            return {};
        // Kept as received, uninterpreted bytes and address mode included:
        // the tool sends back what it read, so this is what it will read next.
        QByteArray stored = datagram;
        setHeader(stored, Telegram::NetworkReply);
        GatewayReaction reaction =
            reply(GatewayRequest::NetworkWrite, BuildRequest(Telegram::NetworkAck));
        reaction.stateChanged = stored != m_networkRecord;
        m_networkRecord = stored;
        return reaction;
    }

    if (IsSetupWrite(datagram))
        return handleSetupWrite(datagram);

    if (const auto ipSetup = AcceptIpSetup(datagram)) {
        GatewayReaction reaction;
        if (!ignores(GatewayRequest::IpSetup) && ipSetup->macByte5 == m_config.mac[4]
            && ipSetup->macByte6 == m_config.mac[5])
            reaction.requestedAddress = ipSetup->newAddress;
        return reaction;
    }
    return {};
}

GatewayReaction SimulatedGateway::handleRequest(Telegram::Code code)
{
    switch (code) {
    case Telegram::DiscoveryRequest: {
        DiscoveryReply discovery;
        discovery.firmwareMajor = m_config.firmwareMajor;
        discovery.firmwareMinor = m_config.firmwareMinor;
        discovery.mac = m_config.mac;
        return reply(GatewayRequest::Discovery, discovery.encode(),
                     m_config.faults.discoveryReplies);
    }
    case Telegram::IdentityRequest:
        return reply(GatewayRequest::Identity, BuildIdentityReply(m_typeCode, m_config.company));
    case Telegram::NetworkRequest:
        return reply(GatewayRequest::Network, m_networkRecord);
    case Telegram::SetupRequest:
        return reply(GatewayRequest::Setup,
                     faultySetupReply(m_setupRecord, m_config.faults.setupReply));
    default:
        return {};
    }
}

GatewayReaction SimulatedGateway::handleSetupWrite(const QByteArray &datagram)
{
    if (ignores(GatewayRequest::SetupWrite))
        return {};
    // A record that was damaged on the way, or meant for another gateway,
    // must not replace the stored one.
    if (SetupChecksum(datagram) != byteAt(datagram, SetupChecksumOffset))
        return {};
    for (int i = 0; i < 6; ++i) {
        if (byteAt(datagram, SetupMacOffset + i) != m_config.mac[size_t(i)])
            return {};
    }
    QByteArray stored = datagram;
    setHeader(stored, Telegram::SetupReply);
    GatewayReaction reaction;
    reaction.stateChanged = stored != m_setupRecord;
    m_setupRecord = stored;
    return reaction;
}

void SimulatedGateway::moveTo(quint32 address, bool byDhcp)
{
    m_address = address;
    if (byDhcp)
        setU32LE(m_networkRecord, NetworkModeOffset, 0);
    else if (usesDhcp())
        setU32LE(m_networkRecord, NetworkModeOffset, FixedAddressMode);
}

GatewayConfig SimulatedGateway::currentConfig() const
{
    GatewayConfig config = m_config;
    config.address = m_address;
    config.typeCode = m_typeCode;
    config.dhcp = usesDhcp();
    config.hostBits = byteAt(m_networkRecord, NetworkHostBitsOffset);
    config.defaultGateway = u32BE(m_networkRecord, NetworkGatewayOffset);
    if (const auto record = DecodeSetupRecord(m_setupRecord)) {
        config.setup.mode = record->mode;
        config.setup.port = record->port;
        config.setup.remote = record->remoteAddress;
        config.setup.mask = record->allowedMask;
        config.setup.baudRate = record->baudRate;
        config.setup.dataBits = record->dataBits;
        config.setup.stopBits = record->stopBits;
        config.setup.parity = record->parity;
        config.setup.flowControl = record->flowControl;
    }
    // The records carry the lock and every byte as written; they take
    // precedence over the fields when the file is read again.
    config.setupRecord = m_setupRecord;
    config.networkRecord = m_networkRecord;
    return config;
}

QList<QByteArray> SimulatedGateway::shapeReply(const QByteArray &reply, const GatewayFaults &faults)
{
    QList<QByteArray> datagrams;
    // Garbage carries the reply's header but a length no telegram has, so a
    // receiver that checks only the header is caught out.
    int length = 5;
    for (int k = 0; k < faults.garbageDatagrams; ++k, ++length) {
        while (length == Telegram::IpSetupSize || length == Telegram::DiscoveryReplySize)
            ++length;
        QByteArray garbage(length, char(0xA5 ^ k));
        garbage[0] = garbage[1] = garbage[2] = '\0';
        garbage[3] = reply.size() > 3 ? reply.at(3) : '\0';
        datagrams += garbage;
    }
    switch (faults.malformed) {
    case MalformedFault::None:
        datagrams += reply;
        break;
    case MalformedFault::Truncated:
        datagrams += reply.left(reply.size() - 1);
        break;
    case MalformedFault::Oversized:
        datagrams += reply + QByteArray(1, '\0');
        break;
    }
    return datagrams;
}

QByteArray SimulatedGateway::faultySetupReply(const QByteArray &stored, SetupReplyFault fault)
{
    QByteArray bytes = stored;
    switch (fault) {
    case SetupReplyFault::Ok:
        return bytes;
    case SetupReplyFault::BadChecksum:
        bytes[SetupChecksumOffset] = char(byteAt(bytes, SetupChecksumOffset) ^ 0x5A);
        return bytes;
    case SetupReplyFault::WrongMac:
        bytes[SetupMacOffset + 5] = char(byteAt(bytes, SetupMacOffset + 5) ^ 0xFF);
        break;
    case SetupReplyFault::WrongType:
        bytes[SetupTypeOffset + 3] = char(byteAt(bytes, SetupTypeOffset + 3) ^ 0x80);
        break;
    case SetupReplyFault::BadMarker:
        if (byteAt(bytes, 4) == 1)
            bytes[4] = 2;
        break;
    }
    // Only the named field is wrong: the checksum still matches.
    refreshChecksum(bytes);
    return bytes;
}
