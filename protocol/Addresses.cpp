// Address values, MAC addresses, host bits and the texts the list shows for
// them. The readers follow the C runtime's conversions that the gateways'
// users have always typed against, quirks included, but without ever
// relying on undefined behaviour for odd input.

#include "Telegrams.h"

#include <algorithm>

#include <climits>

namespace {

bool isCSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || (u >= u'\t' && u <= u'\r');
}

int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

} // namespace

int ParseDecimalInt(QStringView text)
{
    qsizetype pos = 0;
    while (pos < text.size() && isCSpace(text.at(pos)))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text.at(pos) == u'+' || text.at(pos) == u'-')) {
        negative = text.at(pos) == u'-';
        ++pos;
    }
    // Accumulate the magnitude in 64 bits and stop growing once it is beyond
    // the int range, so no number of digits can overflow.
    constexpr qint64 limit = qint64(INT_MAX) + 1;
    qint64 magnitude = 0;
    for (; pos < text.size(); ++pos) {
        const char16_t u = text.at(pos).unicode();
        if (u < u'0' || u > u'9')
            break;
        if (magnitude <= limit)
            magnitude = magnitude * 10 + (u - u'0');
    }
    if (negative)
        return magnitude >= limit ? INT_MIN : int(-magnitude);
    return magnitude > INT_MAX ? INT_MAX : int(magnitude);
}

quint32 ParseHexNumber(QStringView text)
{
    qsizetype pos = 0;
    while (pos < text.size() && isCSpace(text.at(pos)))
        ++pos;
    if (pos + 2 < text.size() && text.at(pos) == u'0'
        && (text.at(pos + 1) == u'x' || text.at(pos + 1) == u'X')
        && hexDigitValue(text.at(pos + 2)) >= 0)
        pos += 2;
    quint64 value = 0;
    for (; pos < text.size(); ++pos) {
        const int digit = hexDigitValue(text.at(pos));
        if (digit < 0)
            break;
        if (value <= 0xFFFFFFFFu)
            value = value << 4 | quint64(digit);
    }
    return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : quint32(value);
}

quint32 ParseDottedAddress(const QString &text)
{
    QStringView rest(text);
    quint32 result = 0;
    for (int shift = 24; shift >= 0; shift -= 8) {
        // Unsigned on purpose: a negative or oversized part spills into the
        // neighbouring octets, and what is shifted beyond bit 31 is lost.
        result |= quint32(ParseDecimalInt(rest)) << shift;
        const qsizetype dot = rest.indexOf(u'.');
        if (dot < 0)
            break;
        rest = rest.mid(dot + 1);
    }
    return result;
}

bool DottedAddressPartsInRange(const QString &text)
{
    QStringView rest(text);
    for (int part = 0; part < 4; ++part) {
        const int value = ParseDecimalInt(rest);
        if (value < 0 || value > 255)
            return false;
        const qsizetype dot = rest.indexOf(u'.');
        if (dot < 0)
            break;
        rest = rest.mid(dot + 1);
    }
    return true;
}

bool PortNumberInRange(const QString &text)
{
    const int value = ParseDecimalInt(text);
    return value >= 0 && value <= 0xFFFF;
}

QString DottedAddressText(quint32 addressValue)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(addressValue >> 24)
        .arg((addressValue >> 16) & 0xFF)
        .arg((addressValue >> 8) & 0xFF)
        .arg(addressValue & 0xFF);
}

QString MacAddressText(const MacAddress &mac)
{
    QString text;
    for (size_t i = 0; i < mac.size(); ++i) {
        if (i > 0)
            text += u'-';
        text += QStringLiteral("%1").arg(mac[i], 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

std::optional<QString> MacDigits(const QString &text)
{
    QString digits = text.trimmed().toUpper();
    digits.remove(QLatin1Char('-')).remove(QLatin1Char(':')).remove(QLatin1Char(' '));
    const bool hex = std::all_of(digits.cbegin(), digits.cend(), [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
    });
    if (digits.size() != 12 || !hex)
        return std::nullopt;
    return digits;
}

QString MacKey(const QString &macText)
{
    return QString(macText).remove(QLatin1Char('-')).toUpper();
}

MacAddress MacAddressFromText(const QString &text)
{
    QString digits = text;
    digits.remove(u' ');
    digits.remove(u'-');
    MacAddress mac{};
    for (size_t i = 0; i < mac.size(); ++i) {
        const QStringView pair = QStringView(digits).mid(qsizetype(2 * i)).left(2);
        quint8 value = 0;
        for (QChar c : pair) {
            const int digit = hexDigitValue(c);
            if (digit < 0)
                break;
            value = quint8(value << 4 | digit);
        }
        mac[i] = value;
    }
    return mac;
}

int HostBitsFromMask(quint32 maskValue)
{
    if (maskValue == 0)
        return 0;
    int bits = 0;
    while ((maskValue & 1u) == 0) {
        maskValue >>= 1;
        ++bits;
    }
    return bits;
}

quint32 MaskFromHostBits(int hostBits)
{
    if (hostBits >= 32)
        return 0;
    if (hostBits <= 0)
        return 0xFFFFFFFFu;
    return ~((quint32(1) << hostBits) - 1);
}

QString SubnetColumnText(int hostBits, const std::array<quint8, 4> &defaultGateway)
{
    const QString hostPart = QStringLiteral("Host-Bits: %1").arg(hostBits);
    if (defaultGateway == std::array<quint8, 4>{})
        return hostPart;
    return hostPart
        + QStringLiteral(" / GW: %1.%2.%3.%4")
              .arg(defaultGateway[0])
              .arg(defaultGateway[1])
              .arg(defaultGateway[2])
              .arg(defaultGateway[3]);
}

SubnetColumn ParseSubnetColumn(const QString &text)
{
    SubnetColumn column;
    const qsizetype colon = text.indexOf(u':');
    if (colon < 0)
        return column;
    const QStringView rest = QStringView(text).mid(colon + 1);
    const int hostBits = ParseDecimalInt(rest);
    if (hostBits != 0)
        column.maskText = DottedAddressText(MaskFromHostBits(hostBits));
    const qsizetype gatewayColon = rest.indexOf(u':');
    // The ':' and the blank after it are skipped; a ':' at the very end leaves
    // nothing to read.
    if (gatewayColon >= 0 && gatewayColon + 2 <= rest.size())
        column.gatewayText = rest.mid(gatewayColon + 2).toString();
    return column;
}

quint32 ParseOemTypeText(const QString &text)
{
    QString compact = text;
    compact.remove(u' ');
    return ParseHexNumber(compact);
}
