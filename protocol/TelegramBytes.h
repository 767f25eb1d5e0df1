#pragma once

// Little helpers for reading and writing the fixed byte layouts of the
// telegrams. Callers check the datagram's size before they read; the helpers
// do not.

#include "Telegrams.h"

#include <QByteArray>
#include <QtGlobal>

namespace TelegramBytes {

inline quint8 byteAt(const QByteArray &bytes, int offset)
{
    return quint8(bytes.at(offset));
}

inline void setByte(QByteArray &bytes, int offset, quint32 value)
{
    bytes[offset] = char(quint8(value & 0xFF));
}

inline quint32 u32LE(const QByteArray &bytes, int offset)
{
    return quint32(byteAt(bytes, offset)) | quint32(byteAt(bytes, offset + 1)) << 8
        | quint32(byteAt(bytes, offset + 2)) << 16 | quint32(byteAt(bytes, offset + 3)) << 24;
}

inline void setU32LE(QByteArray &bytes, int offset, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        setByte(bytes, offset + i, value >> (8 * i));
}

inline quint16 u16LE(const QByteArray &bytes, int offset)
{
    return quint16(byteAt(bytes, offset) | byteAt(bytes, offset + 1) << 8);
}

inline void setU16LE(QByteArray &bytes, int offset, quint32 value)
{
    setByte(bytes, offset, value);
    setByte(bytes, offset + 1, value >> 8);
}

// Network order: the most significant byte first.
inline quint32 u32BE(const QByteArray &bytes, int offset)
{
    return quint32(byteAt(bytes, offset)) << 24 | quint32(byteAt(bytes, offset + 1)) << 16
        | quint32(byteAt(bytes, offset + 2)) << 8 | quint32(byteAt(bytes, offset + 3));
}

inline void setU32BE(QByteArray &bytes, int offset, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        setByte(bytes, offset + i, value >> (24 - 8 * i));
}

inline void setHeader(QByteArray &bytes, Telegram::Code code)
{
    bytes[0] = bytes[1] = bytes[2] = '\0';
    bytes[3] = char(code);
}

// Exactly `size` bytes and the header 00 00 00 code.
inline bool hasLayout(const QByteArray &bytes, int size, Telegram::Code code)
{
    return bytes.size() == size && bytes.at(0) == '\0' && bytes.at(1) == '\0'
        && bytes.at(2) == '\0' && byteAt(bytes, 3) == code;
}

// `size` bytes taken from the front of `source`, zero-padded when it is shorter.
inline QByteArray paddedCopy(const QByteArray &source, int size)
{
    QByteArray bytes = source.left(size);
    if (bytes.size() < size)
        bytes.append(QByteArray(size - bytes.size(), '\0'));
    return bytes;
}

} // namespace TelegramBytes
