#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QString>
#include <QUdpSocket>

// Whether some device already answers on the local link at an address: one
// datagram makes the kernel resolve it, then its neighbour table (iproute2's
// view) tells the MAC address that answered. Needs no privileges. Where the
// platform has no readable neighbour table the probe finds nothing.
//
// Polled, so that a window can keep painting between the looks:
//     NeighbourProbe probe({address});
//     while (!probe.poll())
//         wait(NeighbourProbe::PollIntervalMs);
class NeighbourProbe
{
public:
    static constexpr int PollIntervalMs = 100;

    // Sends the datagrams that start the resolution of every address.
    explicit NeighbourProbe(const QList<quint32> &addresses);

    // One look at the neighbour table; true when every address is decided
    // or the time is up.
    bool poll();
    // The MAC address ("00-50-C2-4A-00-0A") of each address found held.
    QHash<quint32, QString> holders() const { return m_holders; }

    // Probes and waits (blocking; for the command line).
    static QHash<quint32, QString> holdersOf(const QList<quint32> &addresses);
    static QString holderOf(quint32 address) { return holdersOf({address}).value(address); }

private:
    QUdpSocket m_socket;
    QList<quint32> m_pending;
    QHash<quint32, QString> m_holders;
    QElapsedTimer m_clock;
    int m_timeoutMs;
};
