#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QString>

// One JSON line per received datagram, flushed at once so that a reader sees
// every datagram that the simulator has handled:
// {"time":"…","msec":12,"to":"198.18.0.10"|"broadcast","from":"198.18.0.1",
//  "fromPort":30718,"length":4,"hex":"000000f6"}
class DatagramLog
{
public:
    DatagramLog();

    // Appends to `path`; false (with errorString()) when it cannot be opened.
    bool open(const QString &path);
    bool isOpen() const { return m_file.isOpen(); }
    QString errorString() const { return m_file.errorString(); }

    // `to` is the receiving gateway's address text or "broadcast".
    void record(const QString &to, const QHostAddress &from, quint16 fromPort,
                const QByteArray &datagram);

private:
    QFile m_file;
    QElapsedTimer m_clock;
};
