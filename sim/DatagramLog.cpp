#include "DatagramLog.h"

#include <QDateTime>

DatagramLog::DatagramLog()
{
    m_clock.start();
}

bool DatagramLog::open(const QString &path)
{
    m_file.setFileName(path);
    // Append: a reader may truncate or keep its own offset while we write.
    return m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

void DatagramLog::record(const QString &to, const QHostAddress &from, quint16 fromPort,
                         const QByteArray &datagram)
{
    if (!m_file.isOpen())
        return;
    const QString time = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
    // Written by hand to keep the documented field order (a JSON object
    // would sort its keys); every value is a number or a plain token.
    const QByteArray line =
        QStringLiteral("{\"time\":\"%1\",\"msec\":%2,\"to\":\"%3\",\"from\":\"%4\","
                       "\"fromPort\":%5,\"length\":%6,\"hex\":\"%7\"}\n")
            .arg(time)
            .arg(m_clock.elapsed())
            .arg(to, QHostAddress(from.toIPv4Address()).toString())
            .arg(fromPort)
            .arg(datagram.size())
            .arg(QString::fromLatin1(datagram.toHex()))
            .toUtf8();
    // One write per line: with O_APPEND and no buffering a line is never
    // split between two reads of a follower.
    m_file.write(line);
}
