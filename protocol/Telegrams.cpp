// Requests, discovery, identity, network record and IP-SETUP telegrams.
// Replies are recognised by exact length and header only; everything the
// tool does not interpret is passed through untouched.

#include "Telegrams.h"

#include "DeviceTables.h"
#include "StringTable.h"
#include "TelegramBytes.h"

using namespace TelegramBytes;

namespace {

constexpr int TypeCodeOffset = 4;
constexpr int MakerIdentityOffset = 8;

constexpr int AddressModeOffset = 4;
constexpr int HostBitsOffset = 10;
constexpr int DefaultGatewayOffset = 16;

constexpr char IpSetupText[] = "IP-SETUP";
constexpr int IpSetupTextOffset = 4;
constexpr int IpSetupTextLength = 8;

} // namespace

QByteArray Telegram::companyText()
{
    // The company text is plain ASCII and the same in both languages; it is
    // compared with every identity reply, so it is looked up once.
    static const QByteArray text =
        StringTable::text(StringBase::CompanyText, UiLanguage::English).toLatin1();
    return text;
}

QByteArray BuildRequest(Telegram::Code code)
{
    QByteArray bytes(Telegram::RequestSize, '\0');
    setHeader(bytes, code);
    return bytes;
}

// ---- discovery -------------------------------------------------------------

QString DiscoveryReply::firmwareText() const
{
    return QStringLiteral("%1.%2")
        .arg(firmwareMajor, 0, 16)
        .arg(firmwareMinor, 0, 16)
        .toUpper();
}

QByteArray DiscoveryReply::encode() const
{
    QByteArray bytes(Telegram::DiscoveryReplySize, '\0');
    setHeader(bytes, Telegram::DiscoveryReply);
    setByte(bytes, 6, firmwareMinor);
    setByte(bytes, 7, firmwareMajor);
    for (int i = 0; i < 6; ++i)
        setByte(bytes, 24 + i, mac[size_t(i)]);
    return bytes;
}

std::optional<DiscoveryReply> AcceptDiscoveryReply(const QByteArray &datagram)
{
    if (!hasLayout(datagram, Telegram::DiscoveryReplySize, Telegram::DiscoveryReply))
        return std::nullopt;
    DiscoveryReply reply;
    reply.firmwareMinor = byteAt(datagram, 6);
    reply.firmwareMajor = byteAt(datagram, 7);
    for (int i = 0; i < 6; ++i)
        reply.mac[size_t(i)] = byteAt(datagram, 24 + i);
    return reply;
}

// ---- identity ----------------------------------------------------------------

bool IdentityRecord::isFromMaker() const
{
    const QByteArray company = Telegram::companyText();
    return !company.isEmpty() && makerIdentity.startsWith(company);
}

std::optional<IdentityRecord> AcceptIdentityReply(const QByteArray &datagram)
{
    if (!hasLayout(datagram, Telegram::IdentityRecordSize, Telegram::IdentityReply))
        return std::nullopt;
    IdentityRecord record;
    record.typeCode = u32LE(datagram, TypeCodeOffset);
    record.makerIdentity = datagram.mid(MakerIdentityOffset);
    return record;
}

namespace {

QByteArray identityRecord(Telegram::Code code, quint32 typeCode, const QByteArray &makerText)
{
    QByteArray bytes(Telegram::IdentityRecordSize, '\0');
    setHeader(bytes, code);
    setU32LE(bytes, TypeCodeOffset, typeCode);
    const QByteArray text = makerText.left(Telegram::IdentityRecordSize - MakerIdentityOffset);
    bytes.replace(MakerIdentityOffset, text.size(), text);
    return bytes;
}

} // namespace

QByteArray BuildIdentityWrite(quint32 typeCode)
{
    // Keep room for the terminating zero byte that follows the text.
    const int room = Telegram::IdentityRecordSize - MakerIdentityOffset - 1;
    return identityRecord(Telegram::IdentityWrite, typeCode, Telegram::companyText().left(room));
}

QByteArray BuildIdentityReply(quint32 typeCode, const QByteArray &makerText)
{
    return identityRecord(Telegram::IdentityReply, typeCode, makerText);
}

std::optional<quint32> AcceptIdentityWrite(const QByteArray &datagram)
{
    if (!hasLayout(datagram, Telegram::IdentityRecordSize, Telegram::IdentityWrite))
        return std::nullopt;
    return u32LE(datagram, TypeCodeOffset);
}

// ---- network record -----------------------------------------------------------

namespace {

NetworkRecord decodeNetworkRecord(const QByteArray &datagram)
{
    NetworkRecord record;
    record.addressMode = u32LE(datagram, AddressModeOffset);
    record.hostBits = byteAt(datagram, HostBitsOffset);
    for (int i = 0; i < 4; ++i)
        record.defaultGateway[size_t(i)] = byteAt(datagram, DefaultGatewayOffset + i);
    return record;
}

} // namespace

std::optional<NetworkRecord> AcceptNetworkReply(const QByteArray &datagram)
{
    if (!hasLayout(datagram, Telegram::NetworkRecordSize, Telegram::NetworkReply))
        return std::nullopt;
    return decodeNetworkRecord(datagram);
}

QByteArray BuildNetworkWrite(const QByteArray &networkReply, const QString &maskText,
                             const QString &gatewayText)
{
    if (networkReply.size() != Telegram::NetworkRecordSize)
        return {};
    QByteArray bytes = networkReply;
    setByte(bytes, 3, Telegram::NetworkWrite);
    setByte(bytes, HostBitsOffset, quint32(HostBitsFromMask(ParseDottedAddress(maskText))));
    setU32BE(bytes, DefaultGatewayOffset, ParseDottedAddress(gatewayText));
    return bytes;
}

bool IsNetworkAcknowledgement(const QByteArray &datagram)
{
    return datagram.size() == Telegram::RequestSize && byteAt(datagram, 3) == Telegram::NetworkAck;
}

QByteArray BuildNetworkReply(const NetworkRecord &record, const QByteArray &rest)
{
    QByteArray bytes = paddedCopy(rest, Telegram::NetworkRecordSize);
    setHeader(bytes, Telegram::NetworkReply);
    setU32LE(bytes, AddressModeOffset, record.addressMode);
    setByte(bytes, HostBitsOffset, record.hostBits);
    for (int i = 0; i < 4; ++i)
        setByte(bytes, DefaultGatewayOffset + i, record.defaultGateway[size_t(i)]);
    return bytes;
}

std::optional<NetworkRecord> AcceptNetworkWrite(const QByteArray &datagram)
{
    if (!hasLayout(datagram, Telegram::NetworkRecordSize, Telegram::NetworkWrite))
        return std::nullopt;
    return decodeNetworkRecord(datagram);
}

// ---- IP-SETUP --------------------------------------------------------------------

QByteArray IpSetupTelegram::encode() const
{
    QByteArray bytes(Telegram::IpSetupSize, '\0');
    setHeader(bytes, Telegram::IpSetup);
    bytes.replace(IpSetupTextOffset, IpSetupTextLength, IpSetupText, IpSetupTextLength);
    setByte(bytes, 14, macByte5);
    setByte(bytes, 15, macByte6);
    setU32BE(bytes, 16, newAddress);
    return bytes;
}

QByteArray BuildIpSetup(quint32 newAddress, quint8 macByte5, quint8 macByte6)
{
    IpSetupTelegram telegram;
    telegram.macByte5 = macByte5;
    telegram.macByte6 = macByte6;
    telegram.newAddress = newAddress;
    return telegram.encode();
}

std::optional<IpSetupTelegram> AcceptIpSetup(const QByteArray &datagram)
{
    if (!hasLayout(datagram, Telegram::IpSetupSize, Telegram::IpSetup)
        || datagram.mid(IpSetupTextOffset, IpSetupTextLength) != QByteArray(IpSetupText))
        return std::nullopt;
    IpSetupTelegram telegram;
    telegram.macByte5 = byteAt(datagram, 14);
    telegram.macByte6 = byteAt(datagram, 15);
    telegram.newAddress = u32BE(datagram, 16);
    return telegram;
}
