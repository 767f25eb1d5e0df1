#include "NeighbourProbe.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QHostAddress>
#include <QThread>
#include <QUdpSocket>

#include <optional>

namespace {

// Port 9 is the discard service: nothing answers, the datagram only makes
// the kernel resolve the address.
constexpr quint16 DiscardPort = 9;
// A new entry resolves in milliseconds or fails after the kernel's three
// probes; one it knew already is first confirmed after its delay (5 s).
constexpr int ResolveTimeoutMs = 3500;
constexpr int RevalidateTimeoutMs = 8000;

struct Neighbour
{
    QString mac;   // "00-50-C2-4A-00-0A", empty while unresolved
    QString state; // REACHABLE, STALE, DELAY, PROBE, FAILED, INCOMPLETE, ...
};

// The kernel's entry for the address, as iproute2 shows it.
std::optional<Neighbour> neighbourOf(const QString &addressText)
{
#ifdef Q_OS_LINUX
    QProcess ip;
    ip.start(QStringLiteral("ip"), {QStringLiteral("-4"), QStringLiteral("neigh"), QStringLiteral("show"),
                                    QStringLiteral("to"), addressText});
    if (!ip.waitForFinished(1000) || ip.exitCode() != 0)
        return std::nullopt;
    const QStringList fields = QString::fromLatin1(ip.readAllStandardOutput()).simplified().split(QLatin1Char(' '));
    if (fields.size() < 2 || fields.first() != addressText)
        return Neighbour{};
    Neighbour entry;
    entry.state = fields.last();
    const qsizetype lladdr = fields.indexOf(QStringLiteral("lladdr"));
    if (lladdr >= 0 && lladdr + 1 < fields.size())
        entry.mac = fields.at(lladdr + 1).toUpper().replace(QLatin1Char(':'), QLatin1Char('-'));
    return entry;
#else
    Q_UNUSED(addressText);
    return std::nullopt;
#endif
}

} // namespace

NeighbourProbe::NeighbourProbe(const QList<quint32> &addresses)
    : m_timeoutMs(ResolveTimeoutMs)
{
    for (quint32 address : addresses) {
        if (m_socket.writeDatagram(QByteArray(1, '\0'), QHostAddress(address), DiscardPort) == 1)
            m_pending.append(address);
    }
    m_clock.start();
}

bool NeighbourProbe::poll()
{
    for (qsizetype i = m_pending.size() - 1; i >= 0; --i) {
        const std::optional<Neighbour> entry = neighbourOf(QHostAddress(m_pending.at(i)).toString());
        if (!entry) {
            // No neighbour table to read: nothing can be found.
            m_pending.clear();
            break;
        }
        // Only an answer seen now counts: a remembered entry may be a device
        // that has since left the address.
        if (entry->state == QLatin1String("REACHABLE"))
            m_holders.insert(m_pending.at(i), entry->mac);
        if (entry->state == QLatin1String("REACHABLE") || entry->state == QLatin1String("FAILED")) {
            m_pending.removeAt(i);
            continue;
        }
        if (entry->state == QLatin1String("STALE") || entry->state == QLatin1String("DELAY")
            || entry->state == QLatin1String("PROBE"))
            m_timeoutMs = RevalidateTimeoutMs;
    }
    return m_pending.isEmpty() || m_clock.elapsed() >= m_timeoutMs;
}

QHash<quint32, QString> NeighbourProbe::holdersOf(const QList<quint32> &addresses)
{
    NeighbourProbe probe(addresses);
    while (!probe.poll())
        QThread::msleep(PollIntervalMs);
    return probe.holders();
}
