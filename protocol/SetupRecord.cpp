// The setup record: its checksum, the password digest that locks it, the
// setup write the editor sends and the verification of a gateway's reply.

#include "Telegrams.h"

#include "TelegramBytes.h"

using namespace TelegramBytes;

namespace {

constexpr int FormatMarkerOffset = 4;
constexpr int ModeOffset = 5;
constexpr int PortOffset = 6;
constexpr int RemoteAddressOffset = 8;
constexpr int AllowedMaskOffset = 12;
constexpr int ChecksumOffset = 16;
constexpr int MacOffset = 17;
constexpr int TypeCodeOffset = 23;
constexpr int DigestOffset = 27;
constexpr int BaudRateOffset = 63;
constexpr int DataBitsOffset = 67;
constexpr int StopBitsOffset = 68;
constexpr int ParityOffset = 69;
constexpr int FlowControlOffset = 70;

constexpr quint8 FormatMarker = 1;
constexpr quint8 TcpClientMode = 1;

// The digest works on record bytes 2-129; some positions are replaced by
// fixed values so that it does not depend on the header, the checksum or
// the digest itself, and the password takes the place of bytes 71-102.
constexpr int DigestAreaOffset = 2;
constexpr int DigestAreaSize = Telegram::SetupRecordSize - DigestAreaOffset;
constexpr int PasswordOffset = 71;
constexpr int MaxPasswordBytes = 32;

QByteArray setupRecordBytes(const QByteArray &record)
{
    return record.size() == Telegram::SetupRecordSize
        ? record
        : paddedCopy(record, Telegram::SetupRecordSize);
}

std::mt19937 &processGenerator()
{
    static std::mt19937 generator = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device()};
        return std::mt19937(seed);
    }();
    return generator;
}

} // namespace

quint8 SetupChecksum(const QByteArray &record)
{
    const QByteArray bytes = setupRecordBytes(record);
    quint32 sum = 0;
    for (int i = FormatMarkerOffset; i < Telegram::SetupRecordSize; ++i) {
        if (i != ChecksumOffset)
            sum += byteAt(bytes, i);
    }
    return quint8(sum & 0xFF);
}

quint32 PasswordDigest(const QByteArray &record, const QString &password)
{
    QByteArray area = setupRecordBytes(record).mid(DigestAreaOffset);
    const auto setAt = [&area](int recordOffset, quint8 value) {
        area[recordOffset - DigestAreaOffset] = char(value);
    };
    setAt(2, 0x04);
    setAt(3, 0x03);
    setAt(ChecksumOffset, 0x13);
    for (int i = 0; i < 4; ++i)
        setAt(DigestOffset + i, quint8(0x06 + i));
    const QByteArray secret = PasswordBytes(password).left(MaxPasswordBytes);
    area.replace(PasswordOffset - DigestAreaOffset, secret.size(), secret);

    // At most 65535 * (1 + ... + 64) = 136,314,880: the sum cannot wrap.
    quint32 digest = 0;
    for (int word = 0; word < DigestAreaSize / 2; ++word)
        digest += quint32(word + 1) * u16LE(area, 2 * word);
    return digest;
}

std::optional<SetupRecord> DecodeSetupRecord(const QByteArray &record)
{
    if (record.size() != Telegram::SetupRecordSize)
        return std::nullopt;
    SetupRecord fields;
    fields.formatMarker = byteAt(record, FormatMarkerOffset);
    fields.mode = byteAt(record, ModeOffset);
    fields.port = u16LE(record, PortOffset);
    fields.remoteAddress = u32LE(record, RemoteAddressOffset);
    fields.allowedMask = u32LE(record, AllowedMaskOffset);
    for (int i = 0; i < 6; ++i)
        fields.mac[size_t(i)] = byteAt(record, MacOffset + i);
    fields.typeCode = u32LE(record, TypeCodeOffset);
    fields.digest = u32LE(record, DigestOffset);
    fields.baudRate = u32LE(record, BaudRateOffset);
    fields.dataBits = byteAt(record, DataBitsOffset);
    fields.stopBits = byteAt(record, StopBitsOffset);
    fields.parity = byteAt(record, ParityOffset);
    fields.flowControl = byteAt(record, FlowControlOffset);
    return fields;
}

QByteArray BuildSetupWrite(const SetupWriteInput &input, std::mt19937 &random)
{
    // 1. Random filler everywhere; what the fields do not cover stays random.
    QByteArray bytes(Telegram::SetupRecordSize, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        setByte(bytes, i, random());

    // 2.-4. Header, fields and serial parameters. A TCP client keeps no mask
    // of allowed addresses, so its bytes stay filler.
    setHeader(bytes, Telegram::SetupWrite);
    setByte(bytes, FormatMarkerOffset, FormatMarker);
    setByte(bytes, ModeOffset, input.mode);
    setU16LE(bytes, PortOffset, input.port);
    setU32LE(bytes, RemoteAddressOffset, input.remoteAddress);
    if (input.mode != TcpClientMode)
        setU32LE(bytes, AllowedMaskOffset, input.allowedMask);
    setU32LE(bytes, BaudRateOffset, input.baudRate);
    setByte(bytes, DataBitsOffset, input.dataBits);
    setByte(bytes, StopBitsOffset, input.stopBits);
    setByte(bytes, ParityOffset, input.parity);
    setByte(bytes, FlowControlOffset, input.flowControl);

    // 5.-6. Whom the record is for.
    const MacAddress mac = MacAddressFromText(input.macText);
    for (int i = 0; i < 6; ++i)
        setByte(bytes, MacOffset + i, mac[size_t(i)]);
    setU32LE(bytes, TypeCodeOffset, input.typeCode);

    // 7.-9. The checksum covers the digest, so it comes last.
    setByte(bytes, ChecksumOffset, 0);
    setU32LE(bytes, DigestOffset, 0);
    if (input.passwordProtection)
        setU32LE(bytes, DigestOffset, PasswordDigest(bytes, input.password));
    setByte(bytes, ChecksumOffset, SetupChecksum(bytes));
    return bytes;
}

QByteArray BuildSetupWrite(const SetupWriteInput &input)
{
    return BuildSetupWrite(input, processGenerator());
}

QByteArray BuildSetupReply(const SetupRecord &record, const QByteArray &filler)
{
    QByteArray bytes = paddedCopy(filler, Telegram::SetupRecordSize);
    setHeader(bytes, Telegram::SetupReply);
    setByte(bytes, FormatMarkerOffset, record.formatMarker);
    setByte(bytes, ModeOffset, record.mode);
    setU16LE(bytes, PortOffset, record.port);
    setU32LE(bytes, RemoteAddressOffset, record.remoteAddress);
    setU32LE(bytes, AllowedMaskOffset, record.allowedMask);
    for (int i = 0; i < 6; ++i)
        setByte(bytes, MacOffset + i, record.mac[size_t(i)]);
    setU32LE(bytes, TypeCodeOffset, record.typeCode);
    setU32LE(bytes, DigestOffset, record.digest);
    setU32LE(bytes, BaudRateOffset, record.baudRate);
    setByte(bytes, DataBitsOffset, record.dataBits);
    setByte(bytes, StopBitsOffset, record.stopBits);
    setByte(bytes, ParityOffset, record.parity);
    setByte(bytes, FlowControlOffset, record.flowControl);
    setByte(bytes, ChecksumOffset, SetupChecksum(bytes));
    return bytes;
}

SetupReplyCheck VerifySetupReply(const QByteArray &datagram, const QString &rowMacText,
                                 quint32 rowTypeCode, bool passwordProtection,
                                 const QString &password)
{
    SetupReplyCheck check;
    if (!hasLayout(datagram, Telegram::SetupRecordSize, Telegram::SetupReply))
        return check;

    const SetupRecord fields = *DecodeSetupRecord(datagram);
    check.verdict = SetupVerdict::CorruptContent;
    if (fields.formatMarker != FormatMarker)
        return check;
    if (fields.mac != MacAddressFromText(rowMacText))
        return check;
    if (fields.typeCode != rowTypeCode)
        return check;
    if (SetupChecksum(datagram) != byteAt(datagram, ChecksumOffset))
        return check;

    if (fields.digest != 0) {
        // A locked record is never shown without the matching password, and
        // with protection off the tool does not even try its password.
        if (!passwordProtection || PasswordDigest(datagram, password) != fields.digest) {
            check.verdict = SetupVerdict::WrongPassword;
            return check;
        }
        check.verdict = SetupVerdict::PasswordOk;
    } else {
        check.verdict = SetupVerdict::Unlocked;
    }
    check.record = fields;
    return check;
}

bool IsSetupWrite(const QByteArray &datagram)
{
    return hasLayout(datagram, Telegram::SetupRecordSize, Telegram::SetupWrite);
}
