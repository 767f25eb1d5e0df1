// The password enters the digest as 8-bit characters. Gateways locked by the
// Windows tool hold digests made of Windows-1252 bytes, so the same password
// must give the same bytes here, whatever the locale of this machine.

#include "Telegrams.h"

#include <QList>
#include <QStringView>

namespace {

// Windows-1252 bytes 0x80-0x9F. The five bytes the code page leaves undefined
// map to the C1 control of the same value, as Windows converts them.
constexpr char16_t Windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

char windows1252Byte(char32_t codePoint)
{
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF))
        return char(quint8(codePoint));
    for (int i = 0; i < 32; ++i) {
        if (Windows1252High[i] == codePoint)
            return char(quint8(0x80 + i));
    }
    return '?';
}

} // namespace

QByteArray PasswordBytes(const QString &password)
{
    QByteArray bytes;
    bytes.reserve(password.size());
    for (char32_t codePoint : QStringView(password).toUcs4()) {
        if (codePoint == 0)
            break;
        bytes.append(windows1252Byte(codePoint));
    }
    return bytes;
}
