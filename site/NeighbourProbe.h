#pragma once

#include "LocalAdapters.h"
#include "WriteEngine.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QUdpSocket>

// Whether some device already answers on the local link at an address: one
// datagram makes the kernel resolve it, then its neighbour table tells the
// MAC address that answered. Needs no privileges.
//
// "Free" is never claimed without evidence: an address the link cannot be
// asked about is reported unchecked, namely where the platform has no
// neighbour table to read (everything but Linux), where no local adapter's
// subnet holds the address (the datagram would go to a router, whose
// answer says nothing of the address), and where the kernel reached no
// decision in time. An address of this computer's own adapters is taken by
// this computer.
//
// Polled, so that a window can keep painting between the looks; each look
// is one dump of the kernel's table and never blocks:
//     NeighbourProbe probe({address});
//     while (!probe.poll())
//         wait(NeighbourProbe::PollIntervalMs);
class NeighbourProbe
{
public:
    static constexpr int PollIntervalMs = 100;

    // Sends the datagrams that start the resolution of every address in a
    // local subnet.
    explicit NeighbourProbe(const QList<quint32> &addresses);
    // The same with the adapters given (tests; callers that read them already).
    NeighbourProbe(const QList<quint32> &addresses, const QList<LocalAdapter> &adapters);
    ~NeighbourProbe();
    NeighbourProbe(const NeighbourProbe &) = delete;
    NeighbourProbe &operator=(const NeighbourProbe &) = delete;

    // One look at the neighbour table; true when every address is decided
    // or the time is up (the undecided ones are then unchecked).
    bool poll();
    // The holder of each address found held: the MAC address that answered
    // ("00-50-C2-4A-00-0A"), or "this computer (adapter eth0)".
    QHash<quint32, QString> holders() const { return m_holders; }
    // The addresses the link could not be asked about.
    QSet<quint32> unchecked() const { return m_unchecked; }

    // Probes and waits, at most the revalidation delay (blocking; for the
    // command line).
    static AddressCheck check(const QList<quint32> &addresses);

private:
    enum class Dump { InProgress, Finished, Failed };

    Dump readDump();
    void giveUp();

    QUdpSocket m_socket;
    QList<quint32> m_pending;
    QHash<quint32, QString> m_holders;
    QSet<quint32> m_unchecked;
    QElapsedTimer m_clock;
    int m_timeoutMs;
    int m_netlink = -1;
    quint32 m_sequence = 0;
    bool m_dumping = false;
    // The dump being read: the state and MAC of each pending address.
    struct Entry
    {
        quint16 state = 0;
        QString mac;
    };
    QHash<quint32, Entry> m_table;
};
