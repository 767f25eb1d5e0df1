#pragma once

// The UDP telegrams exchanged with the gateways on port 30718, byte for byte.
// Pure functions over byte arrays: no sockets, no GUI. Every telegram starts
// with 00 00 00 <code>; a reply is recognised only by its exact length and
// header.
//
// Address values: a 32-bit number whose most significant byte is the first
// octet of the dotted address. SetupRecord stores them little-endian, the
// network record and the IP-SETUP telegram in network order.

#include "RowStatus.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>
#include <random>

namespace Telegram {

inline constexpr quint16 Port = 30718;

enum Code : quint8 {
    DiscoveryRequest = 0xF6,
    DiscoveryReply = 0xF7,
    IdentityRequest = 0xE5,
    IdentityReply = 0xD5,
    IdentityWrite = 0xC5,
    NetworkRequest = 0xF8,
    NetworkReply = 0xF9,
    NetworkWrite = 0xFA,
    NetworkAck = 0xFB,
    SetupRequest = 0xE6,
    SetupReply = 0xD6,
    SetupWrite = 0xC6,
    IpSetup = 0xFC,
};

inline constexpr int RequestSize = 4;
inline constexpr int DiscoveryReplySize = 30;
inline constexpr int IdentityRecordSize = 130;
inline constexpr int NetworkRecordSize = 124;
inline constexpr int SetupRecordSize = 130;
inline constexpr int IpSetupSize = 20;

// Largest datagram the tool receives at once; anything longer is never a reply.
inline constexpr int ReceiveBufferSize = 32000;

// The 43-character company text (string 146) carried by identity telegrams.
QByteArray companyText();

} // namespace Telegram

using MacAddress = std::array<quint8, 6>;

// ---- addresses and their texts -------------------------------------------

// The leading decimal integer of a text as the C library's atoi reads it:
// white space skipped, an optional sign, digits up to the first other
// character, 0 without digits. Values beyond the int range saturate at
// INT_MAX / INT_MIN, as the Windows runtime's atoi does.
int ParseDecimalInt(QStringView text);

// The leading unsigned hexadecimal number of a text as strtoul(..., 16)
// reads it: white space skipped, an optional "0x"/"0X", hex digits up to the
// first other character, 0 without digits. Values beyond 32 bits saturate at
// 0xFFFFFFFF. No sign is read.
quint32 ParseHexNumber(QStringView text);

// Dotted text to address value with the platform's atoi-style reading: up to
// four parts, each a decimal integer (blanks skipped, optional sign, digits to
// the first non-digit, none = 0) OR-ed in at bits 24, 16, 8, 0 without a range
// check. Never fails: "" and "DHCP" give 0; "a.b.c.d (DHCP)" gives a.b.c.d.
// A part outside 0-255 spills into the neighbouring octets and bits shifted
// beyond bit 31 are lost ("1.2.3.-1" gives 255.255.255.255).
quint32 ParseDottedAddress(const QString &text);

// Whether every part ParseDottedAddress reads from `text` lies in 0-255, so
// that the value means what the text says (no part spills into another).
// True for every text without parts out of range: "", "DHCP",
// "192.168.001.010", "10.1", "a.b.c.d (DHCP)".
bool DottedAddressPartsInRange(const QString &text);

// Whether the leading decimal number of `text` (ParseDecimalInt) is a port
// number, 0-65535, so that no bits are cut off when it is stored.
bool PortNumberInRange(const QString &text);

// "%d.%d.%d.%d", most significant byte first.
QString DottedAddressText(quint32 addressValue);

// "%02X-%02X-%02X-%02X-%02X-%02X".
QString MacAddressText(const MacAddress &mac);

// A MAC address as a person or a file gives it: twelve hexadecimal digits,
// separated by '-', ':' or blanks or not at all, any case. Its twelve
// upper-case digits, the key every lookup compares; nothing otherwise.
std::optional<QString> MacDigits(const QString &text);

// The twelve upper-case digits of a MAC text as the list shows it
// ("00-50-C2-4A-00-0A"), without a check: a key for texts the tool wrote.
QString MacKey(const QString &macText);

// MAC text with blanks and '-' removed, read two characters at a time from the
// front, each pair as a hex number up to its first non-hex character (so a
// missing pair or one starting with a non-hex character reads as 0, "1G" as
// 0x01), as a setup write fills it.
MacAddress MacAddressFromText(const QString &text);

// Number of host (trailing zero) bits of a mask value; 0 for a zero mask.
int HostBitsFromMask(quint32 maskValue);

// The mask with every bit set except the low `hostBits`; n >= 32 gives 0,
// n <= 0 gives all bits set.
quint32 MaskFromHostBits(int hostBits);

// "Host-Bits: %d / GW: %d.%d.%d.%d", or "Host-Bits: %d" for gateway 0.0.0.0.
// `defaultGateway` is in network order (first octet first).
QString SubnetColumnText(int hostBits, const std::array<quint8, 4> &defaultGateway);

// Inverse of SubnetColumnText as the editor reads it back: mask text (empty
// for 0 host bits) and gateway text (empty without gateway part).
struct SubnetColumn
{
    QString maskText;
    QString gatewayText;
};
SubnetColumn ParseSubnetColumn(const QString &text);

// The OEM combo box's text with all blanks removed, read as hexadecimal up to
// the first non-hex character: "00 01 00 01 (PLN KNX IP Gateway)" -> 0x00010001.
// More than eight significant digits saturate at 0xFFFFFFFF (ParseHexNumber).
quint32 ParseOemTypeText(const QString &text);

// The password as the 8-bit characters the gateways' digests were made of
// (Windows-1252; characters it lacks become '?', one per character). A NUL
// character ends the password, as it would end the C string it was.
QByteArray PasswordBytes(const QString &password);

// ---- requests --------------------------------------------------------------

// The four header bytes 00 00 00 code (discovery, identity, network, setup requests).
QByteArray BuildRequest(Telegram::Code code);

// ---- discovery -------------------------------------------------------------

struct DiscoveryReply
{
    quint8 firmwareMinor = 0; // byte 6
    quint8 firmwareMajor = 0; // byte 7
    MacAddress mac{};         // bytes 24-29

    QString firmwareText() const; // "%X.%X" of major, minor
    QString macText() const { return MacAddressText(mac); }

    // Gateway side: the 30-byte reply, uninterpreted bytes zero.
    QByteArray encode() const;
};

// Exactly 30 bytes and header 00 00 00 F7.
std::optional<DiscoveryReply> AcceptDiscoveryReply(const QByteArray &datagram);

// ---- identity ----------------------------------------------------------------

struct IdentityRecord
{
    quint32 typeCode = 0;
    QByteArray makerIdentity; // bytes 8-129 (122 bytes)

    // The first 43 bytes of the maker identity equal the company text.
    bool isFromMaker() const;
};

// Exactly 130 bytes and header 00 00 00 D5.
std::optional<IdentityRecord> AcceptIdentityReply(const QByteArray &datagram);

// 130 bytes: 00 00 00 C5, type code u32 LE, company text, zero byte, zeros.
QByteArray BuildIdentityWrite(quint32 typeCode);

// Gateway side: an identity reply (D5) carrying `typeCode` and `makerText`
// (normally the company text) from offset 8, zero-padded.
QByteArray BuildIdentityReply(quint32 typeCode, const QByteArray &makerText);

// Gateway side: the type code of an identity write (exactly 130 bytes, C5).
std::optional<quint32> AcceptIdentityWrite(const QByteArray &datagram);

// ---- network record -----------------------------------------------------------

struct NetworkRecord
{
    quint32 addressMode = 0;                 // bytes 4-7; 0 = DHCP
    quint8 hostBits = 0;                     // byte 10
    std::array<quint8, 4> defaultGateway{};  // bytes 16-19, network order

    bool usesDhcp() const { return addressMode == 0; }
    // Host bits as the list shows them: 0 for a DHCP gateway.
    int shownHostBits() const { return usesDhcp() ? 0 : hostBits; }
};

// Exactly 124 bytes and header 00 00 00 F9.
std::optional<NetworkRecord> AcceptNetworkReply(const QByteArray &datagram);

// The received network reply with byte 3 = FA, byte 10 = host bits of
// `maskText`, bytes 16-19 = `gatewayText` in network order; every other byte
// unchanged. `networkReply` must be an accepted network reply; anything not
// 124 bytes long gives an empty array (nothing to send).
QByteArray BuildNetworkWrite(const QByteArray &networkReply, const QString &maskText,
                             const QString &gatewayText);

// Exactly 4 bytes and byte 3 = FB; bytes 0-2 are not examined.
bool IsNetworkAcknowledgement(const QByteArray &datagram);

// Gateway side: a 124-byte network reply (F9) from `record`. Byte i of
// `rest` supplies byte i of the reply wherever the record sets nothing
// (zeros when `rest` is shorter), so a stored 124-byte record can be passed
// as it is.
QByteArray BuildNetworkReply(const NetworkRecord &record, const QByteArray &rest = {});

// Gateway side: a network write (exactly 124 bytes, FA).
std::optional<NetworkRecord> AcceptNetworkWrite(const QByteArray &datagram);

// ---- IP-SETUP --------------------------------------------------------------------

struct IpSetupTelegram
{
    quint8 macByte5 = 0;
    quint8 macByte6 = 0;
    quint32 newAddress = 0; // address value; 0 = obtain by DHCP

    QByteArray encode() const; // the 20 bytes
};

// 00 00 00 FC "IP-SETUP" 00 00 mac5 mac6 address (network order).
QByteArray BuildIpSetup(quint32 newAddress, quint8 macByte5, quint8 macByte6);

// Gateway side: exactly 20 bytes, header FC and the text "IP-SETUP".
std::optional<IpSetupTelegram> AcceptIpSetup(const QByteArray &datagram);

// ---- setup record -----------------------------------------------------------------

// Checksum of a 130-byte setup record: sum of bytes 4-129 mod 256, byte 16
// counted as 0. A shorter record reads as zero-padded.
quint8 SetupChecksum(const QByteArray &record);

// The lock of a setup record under `password` (first 32 bytes of its
// Windows-1252 form); never 0. The record is not changed; a record shorter
// than 130 bytes reads as zero-padded.
quint32 PasswordDigest(const QByteArray &record, const QString &password);

// The fields of a setup record as the tool interprets them.
struct SetupRecord
{
    quint8 formatMarker = 1;   // byte 4
    quint8 mode = 0;           // byte 5
    quint16 port = 0;          // bytes 6-7
    quint32 remoteAddress = 0; // bytes 8-11, address value
    quint32 allowedMask = 0;   // bytes 12-15, address value
    MacAddress mac{};          // bytes 17-22
    quint32 typeCode = 0;      // bytes 23-26
    quint32 digest = 0;        // bytes 27-30; 0 = not locked
    quint32 baudRate = 0;      // bytes 63-66
    quint8 dataBits = 0;       // byte 67
    quint8 stopBits = 0;       // byte 68
    quint8 parity = 0;         // byte 69
    quint8 flowControl = 0;    // byte 70
};

// Reads the fields of any 130-byte setup record (reply or write); nothing
// when the size is wrong. The header is not examined.
std::optional<SetupRecord> DecodeSetupRecord(const QByteArray &record);

// The values a setup write carries, each stored as given. A caller without a
// choice for the mode or a serial parameter passes 0xFF for it.
struct SetupWriteInput
{
    quint8 mode = 0;            // byte 5
    quint16 port = 0;           // bytes 6-7
    quint32 remoteAddress = 0;  // bytes 8-11, address value (ParseDottedAddress)
    quint32 allowedMask = 0;    // bytes 12-15, address value; not sent in mode 1
    quint32 baudRate = 0;       // bytes 63-66
    quint8 dataBits = 0;        // byte 67
    quint8 stopBits = 0;        // byte 68
    quint8 parity = 0;          // byte 69
    quint8 flowControl = 0;     // byte 70
    QString macText;            // the gateway's MAC, read by MacAddressFromText
    quint32 typeCode = 0;
    bool passwordProtection = false;
    QString password;
};

// Builds the 130-byte setup write (C6): random filler, fields, MAC, type,
// digest when protected, checksum last. The filler comes from `random`.
QByteArray BuildSetupWrite(const SetupWriteInput &input, std::mt19937 &random);
// Same, with the process's own generator, seeded once from std::random_device:
// two writes never share their filler, even within the same second.
QByteArray BuildSetupWrite(const SetupWriteInput &input);

// Gateway side: a setup reply (D6) from `record`. Byte i of `filler` supplies
// byte i of the reply wherever the record sets nothing (zeros when `filler` is
// shorter), so a stored 130-byte setup write can be passed as it is and its
// digest stays valid; checksum computed; the digest stored as given.
QByteArray BuildSetupReply(const SetupRecord &record, const QByteArray &filler = {});

// Verification of a setup reply against the row it is for.
enum class SetupVerdict {
    NotSetupReply,  // wrong length or header: ignore, nothing changes
    CorruptContent, // format marker, MAC, type or checksum wrong
    WrongPassword,  // locked, and protection off or the digest differs
    PasswordOk,     // locked with the tool's password
    Unlocked,       // digest 0
};

struct SetupReplyCheck
{
    SetupVerdict verdict = SetupVerdict::NotSetupReply;
    SetupRecord record; // valid for PasswordOk and Unlocked
};

// Checks in this order: size and header, format marker, MAC (the row's MAC
// text with blanks and '-' removed), type code, checksum, digest.
SetupReplyCheck VerifySetupReply(const QByteArray &datagram, const QString &rowMacText,
                                 quint32 rowTypeCode, bool passwordProtection,
                                 const QString &password);

// Gateway side: a setup write (exactly 130 bytes, C6).
bool IsSetupWrite(const QByteArray &datagram);
