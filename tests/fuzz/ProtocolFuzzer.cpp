// Feeds arbitrary bytes to every reply acceptance rule and every text reader
// of the protocol library. Besides crashes and undefined behaviour it checks
// properties that must hold for any input; a violated property aborts, which
// libFuzzer reports as a finding.

#include "BroadcastDestinations.h"
#include "Telegrams.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

quint8 byteAt(const QByteArray &bytes, int offset)
{
    return offset < bytes.size() ? quint8(bytes.at(offset)) : 0;
}

QByteArray resized(const QByteArray &bytes, int size)
{
    QByteArray result = bytes.left(size);
    result.append(QByteArray(size - result.size(), '\0'));
    return result;
}

void fuzzShortReplies(const QByteArray &bytes)
{
    if (const auto reply = AcceptDiscoveryReply(bytes)) {
        const QByteArray encoded = reply->encode();
        const auto again = AcceptDiscoveryReply(encoded);
        require(again && again->mac == reply->mac && again->firmwareText() == reply->firmwareText(),
                "discovery reply survives encoding");
        require(reply->macText().size() == 17, "MAC text has 17 characters");
    }
    if (IsNetworkAcknowledgement(bytes))
        require(bytes.size() == 4, "acknowledgement is 4 bytes");
    if (const auto telegram = AcceptIpSetup(bytes)) {
        QByteArray expected = bytes;
        expected[12] = expected[13] = '\0';
        require(telegram->encode() == expected, "IP-SETUP survives encoding");
    }
}

void fuzzIdentity(const QByteArray &bytes)
{
    if (const auto record = AcceptIdentityReply(bytes)) {
        record->isFromMaker();
        require(BuildIdentityReply(record->typeCode, record->makerIdentity) == bytes,
                "identity reply survives encoding");
    }
    if (const auto typeCode = AcceptIdentityWrite(bytes))
        require(AcceptIdentityWrite(BuildIdentityWrite(*typeCode)) == typeCode, "identity write type");
}

void fuzzNetwork(const QByteArray &bytes, const QString &text)
{
    const QByteArray reply = AcceptNetworkReply(bytes) ? bytes : [&bytes] {
        QByteArray forced = resized(bytes, Telegram::NetworkRecordSize);
        forced.replace(0, 4, QByteArray::fromHex("000000f9"));
        return forced;
    }();
    const auto record = AcceptNetworkReply(reply);
    require(record.has_value(), "forced network reply accepted");
    require(BuildNetworkReply(*record, reply) == reply, "network reply survives encoding");

    const qsizetype half = text.size() / 2;
    const QString maskText = text.left(half);
    const QString gatewayText = text.mid(half);
    const QByteArray write = BuildNetworkWrite(reply, maskText, gatewayText);
    require(write.size() == Telegram::NetworkRecordSize, "network write size");
    for (int i = 0; i < write.size(); ++i) {
        if (i != 3 && i != 10 && (i < 16 || i > 19))
            require(write.at(i) == reply.at(i), "network write keeps uninterpreted bytes");
    }
    const auto written = AcceptNetworkWrite(write);
    require(written && written->addressMode == record->addressMode, "network write keeps address mode");
    require(written->hostBits == HostBitsFromMask(ParseDottedAddress(maskText)), "network write host bits");
    AcceptNetworkWrite(bytes);
}

void fuzzSetupReply(const QByteArray &bytes, const QString &text)
{
    const quint8 control = byteAt(bytes, 0);
    const bool protection = control & 1;
    const QString password = text.left(byteAt(bytes, 1) % 48);

    // The datagram as it came, checked against a row built from its own bytes.
    if (const auto fields = DecodeSetupRecord(bytes)) {
        VerifySetupReply(bytes, MacAddressText(fields->mac), fields->typeCode, protection, password);
        require(!IsSetupWrite(bytes) || bytes.at(3) == char(0xC6), "setup write code");
    }
    VerifySetupReply(bytes, text, quint32(ParseDecimalInt(text)), protection, password);
    SetupChecksum(bytes);
    require(PasswordDigest(bytes, password) != 0, "digest never 0");

    // The same bytes made into a well-formed reply: the verdict is then known.
    QByteArray reply = resized(bytes, Telegram::SetupRecordSize);
    reply.replace(0, 4, QByteArray::fromHex("000000d6"));
    reply[4] = '\x01';
    SetupRecord fields = *DecodeSetupRecord(reply);
    fields.digest = 0;
    const QByteArray unlocked = BuildSetupReply(fields, reply);
    const QString rowMac = MacAddressText(fields.mac);
    const SetupReplyCheck open = VerifySetupReply(unlocked, rowMac, fields.typeCode, protection, password);
    require(open.verdict == SetupVerdict::Unlocked, "unlocked reply accepted");
    require(open.record.mode == fields.mode && open.record.baudRate == fields.baudRate, "fields read back");

    fields.digest = PasswordDigest(unlocked, password);
    const QByteArray locked = BuildSetupReply(fields, unlocked);
    require(VerifySetupReply(locked, rowMac, fields.typeCode, true, password).verdict == SetupVerdict::PasswordOk,
            "locked reply opens with its password");
    require(VerifySetupReply(locked, rowMac, fields.typeCode, false, password).verdict
                == SetupVerdict::WrongPassword,
            "locked reply stays closed without protection");
    require(VerifySetupReply(locked, rowMac, fields.typeCode ^ (1u << (control % 32)), true, password).verdict
                == SetupVerdict::CorruptContent,
            "other type is corrupt");
    QByteArray damaged = locked;
    damaged[16] = char(damaged.at(16) + 1 + control % 255);
    require(VerifySetupReply(damaged, rowMac, fields.typeCode, true, password).verdict
                == SetupVerdict::CorruptContent,
            "bad checksum is corrupt");
}

void fuzzSetupWrite(const QByteArray &bytes, const QString &text)
{
    // The text is split as the seed writes a record (the editor's six texts,
    // MAC, type, password); the numbers come from the raw bytes instead, so
    // that every value of every field can be reached.
    const QStringList parts = text.split(u'|');
    const auto part = [&parts](int i) { return i < parts.size() ? parts.at(i) : QString(); };
    const auto u32At = [&bytes](int offset) {
        return quint32(byteAt(bytes, offset)) | quint32(byteAt(bytes, offset + 1)) << 8
            | quint32(byteAt(bytes, offset + 2)) << 16 | quint32(byteAt(bytes, offset + 3)) << 24;
    };
    SetupWriteInput input;
    input.mode = byteAt(bytes, 0);
    input.parity = byteAt(bytes, 1);
    input.flowControl = byteAt(bytes, 2);
    input.passwordProtection = byteAt(bytes, 3) & 1;
    input.port = quint16(u32At(4));
    input.remoteAddress = u32At(6);
    input.allowedMask = u32At(10);
    input.baudRate = u32At(14);
    input.dataBits = byteAt(bytes, 18);
    input.stopBits = byteAt(bytes, 19);
    input.macText = part(6);
    input.typeCode = ParseOemTypeText(part(7));
    input.password = part(8);

    std::mt19937 generator(quint32(bytes.size()));
    QByteArray write = BuildSetupWrite(input, generator);
    require(IsSetupWrite(write), "setup write layout");
    require(byteAt(write, 16) == SetupChecksum(write), "setup write checksum");
    const SetupRecord written = *DecodeSetupRecord(write);
    require(written.mode == input.mode && written.port == input.port && written.remoteAddress == input.remoteAddress
                && (input.mode == 1 || written.allowedMask == input.allowedMask)
                && written.baudRate == input.baudRate && written.dataBits == input.dataBits
                && written.stopBits == input.stopBits && written.parity == input.parity
                && written.flowControl == input.flowControl,
            "setup write carries its fields");
    write[3] = char(Telegram::SetupReply);
    const SetupVerdict verdict =
        VerifySetupReply(write, input.macText, input.typeCode, true, input.password).verdict;
    require(verdict == (input.passwordProtection ? SetupVerdict::PasswordOk : SetupVerdict::Unlocked),
            "own setup write verifies");
}

void fuzzTexts(const QString &text)
{
    const quint32 address = ParseDottedAddress(text);
    const QString dotted = DottedAddressText(address);
    require(ParseDottedAddress(dotted) == address, "dotted text reads back");
    require(address == InetAddrNone || InetAddr(dotted) == address, "inet_addr reads dotted text");

    const quint32 inet = InetAddr(text);
    const QStringList adapters{QStringLiteral("198.18.0.255")};
    const QStringList destinations = SelectBroadcastDestinations(text, adapters);
    require(destinations == (inet == InetAddrNone ? adapters : QStringList{text}), "destination selection");

    const SubnetColumn column = ParseSubnetColumn(text);
    require(column.maskText.isEmpty() || DottedAddressText(ParseDottedAddress(column.maskText)) == column.maskText,
            "mask text is dotted");
    const int hostBits = ParseDecimalInt(text);
    const std::array<quint8, 4> gateway{quint8(address >> 24), quint8(address >> 16), quint8(address >> 8),
                                        quint8(address)};
    const SubnetColumn shown = ParseSubnetColumn(SubnetColumnText(hostBits, gateway));
    if (hostBits > 0 && hostBits < 32)
        require(HostBitsFromMask(ParseDottedAddress(shown.maskText)) == hostBits, "host bits read back");
    require(ParseDottedAddress(shown.gatewayText) == (gateway == std::array<quint8, 4>{} ? 0 : address),
            "gateway reads back");

    ParseOemTypeText(text);
    ParseHexNumber(text);
    MacAddressFromText(text);
    require(PasswordBytes(text).size() <= text.size(), "one byte per character at most");
    BuildIdentityWrite(ParseOemTypeText(text));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString latin1 = QString::fromLatin1(bytes);
    const QString utf8 = QString::fromUtf8(bytes);

    fuzzShortReplies(bytes);
    fuzzIdentity(bytes);
    fuzzNetwork(bytes, utf8);
    fuzzSetupReply(bytes, latin1);
    fuzzSetupWrite(bytes, utf8);
    fuzzTexts(latin1);
    fuzzTexts(utf8);
    return 0;
}
