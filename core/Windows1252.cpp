#include "Windows1252.h"

#include <QList>

#include <algorithm>
#include <array>

namespace {

// Bytes 0x80-0x9F of the code page; 0 where the byte is unassigned.
constexpr std::array<char16_t, 32> HighControlRange{
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The byte for `codePoint`, or -1 where the code page has none.
int encode(char32_t codePoint)
{
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return int(codePoint);
    for (std::size_t i = 0; i < HighControlRange.size(); ++i) {
        // The unassigned bytes pass through as the C1 controls they stand for.
        if (HighControlRange[i] == codePoint || (HighControlRange[i] == 0 && codePoint == 0x80 + i))
            return int(0x80 + i);
    }
    return -1;
}

} // namespace

QByteArray toWindows1252(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (char32_t codePoint : text.toUcs4()) {
        const int byte = encode(codePoint);
        bytes.append(byte < 0 ? '?' : char(byte));
    }
    return bytes;
}

bool isWindows1252Encodable(QStringView text)
{
    const QList<uint> codePoints = text.toUcs4();
    return std::all_of(codePoints.cbegin(), codePoints.cend(), [](uint c) { return encode(char32_t(c)) >= 0; });
}
