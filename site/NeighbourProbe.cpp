#include "NeighbourProbe.h"

#include "StringTable.h"
#include "Texts.h"

#include <QHostAddress>
#include <QThread>

#include <algorithm>
#include <cstring>
#include <optional>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

// Port 9 is the discard service: nothing answers, the datagram only makes
// the kernel resolve the address.
constexpr quint16 DiscardPort = 9;
// A new entry resolves in milliseconds or fails after the kernel's three
// probes; one it knew already is first confirmed after its delay (5 s).
constexpr int ResolveTimeoutMs = 3500;
constexpr int RevalidateTimeoutMs = 8000;
// Reads of one look: a table of thousands of entries comes in a few dozen
// datagrams; the rest of a larger one waits for the next look.
constexpr int MaxReadsPerPoll = 64;
constexpr std::size_t DumpBufferBytes = 32768;

// The kernel's neighbour states (NUD_REACHABLE, NUD_FAILED, and NUD_STALE,
// NUD_DELAY, NUD_PROBE while a remembered entry is confirmed again).
constexpr quint16 Reachable = 0x02;
constexpr quint16 Failed = 0x20;
constexpr quint16 Revalidating = 0x04 | 0x08 | 0x10;

#ifdef Q_OS_LINUX
static_assert(Reachable == NUD_REACHABLE && Failed == NUD_FAILED
              && Revalidating == (NUD_STALE | NUD_DELAY | NUD_PROBE));


QString macText(const unsigned char *bytes, std::size_t size)
{
    QStringList parts;
    for (std::size_t i = 0; i < size; ++i)
        parts.append(QStringLiteral("%1").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper());
    return parts.join(QLatin1Char('-'));
}
#endif

} // namespace

NeighbourProbe::NeighbourProbe(const QList<quint32> &addresses)
    : NeighbourProbe(addresses, LocalAdapters())
{
}

NeighbourProbe::NeighbourProbe(const QList<quint32> &addresses, const QList<LocalAdapter> &adapters)
    : m_timeoutMs(ResolveTimeoutMs)
{
#ifdef Q_OS_LINUX
    m_netlink = ::socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
#endif
    for (quint32 address : addresses) {
        if (m_holders.contains(address) || m_unchecked.contains(address) || m_pending.contains(address))
            continue;
        const auto own = std::find_if(adapters.cbegin(), adapters.cend(),
                                      [address](const LocalAdapter &adapter) { return adapter.address == address; });
        if (own != adapters.cend()) {
            // The kernel answers for its own addresses itself and keeps no
            // neighbour entry for them: the table would call them free.
            m_holders.insert(address, loadString(Text::ThisComputer).arg(own->name));
            continue;
        }
        if (m_netlink < 0 || !AdapterContaining(adapters, address)
            || m_socket.writeDatagram(QByteArray(1, '\0'), QHostAddress(address), DiscardPort) != 1) {
            m_unchecked.insert(address);
            continue;
        }
        m_pending.append(address);
    }
    m_clock.start();
}

NeighbourProbe::~NeighbourProbe()
{
#ifdef Q_OS_LINUX
    if (m_netlink >= 0)
        ::close(m_netlink);
#endif
}

void NeighbourProbe::giveUp()
{
    for (quint32 address : std::as_const(m_pending))
        m_unchecked.insert(address);
    m_pending.clear();
}

bool NeighbourProbe::poll()
{
    if (m_pending.isEmpty())
        return true;
    switch (readDump()) {
    case Dump::Failed:
        giveUp();
        return true;
    case Dump::InProgress:
        break;
    case Dump::Finished:
        for (qsizetype i = m_pending.size() - 1; i >= 0; --i) {
            const quint32 address = m_pending.at(i);
            const Entry entry = m_table.value(address);
            // Only an answer seen now counts: a remembered entry may be a
            // device that has since left the address.
            if (entry.state & Reachable) {
                m_holders.insert(address, entry.mac);
                m_pending.removeAt(i);
            } else if (entry.state & Failed) {
                m_pending.removeAt(i);
            } else if (entry.state & Revalidating) {
                m_timeoutMs = RevalidateTimeoutMs;
            }
        }
        m_table.clear();
        break;
    }
    if (!m_pending.isEmpty() && m_clock.elapsed() >= m_timeoutMs)
        giveUp();
    return m_pending.isEmpty();
}

NeighbourProbe::Dump NeighbourProbe::readDump()
{
#ifdef Q_OS_LINUX
    if (!m_dumping) {
        struct
        {
            nlmsghdr header;
            ndmsg message;
        } request;
        std::memset(&request, 0, sizeof request);
        request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ndmsg));
        request.header.nlmsg_type = RTM_GETNEIGH;
        request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
        request.header.nlmsg_seq = ++m_sequence;
        request.message.ndm_family = AF_INET;
        sockaddr_nl kernel{};
        kernel.nl_family = AF_NETLINK;
        if (::sendto(m_netlink, &request, request.header.nlmsg_len, 0, reinterpret_cast<const sockaddr *>(&kernel),
                     sizeof kernel)
            < 0)
            return Dump::Failed;
        m_dumping = true;
        m_table.clear();
    }
    alignas(nlmsghdr) static thread_local unsigned char buffer[DumpBufferBytes];
    for (int read = 0; read < MaxReadsPerPoll; ++read) {
        const ssize_t received = ::recv(m_netlink, buffer, sizeof buffer, MSG_DONTWAIT);
        if (received < 0)
            return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? Dump::InProgress : Dump::Failed;
        std::size_t left = std::size_t(received);
        const unsigned char *at = buffer;
        while (left >= sizeof(nlmsghdr)) {
            nlmsghdr header;
            std::memcpy(&header, at, sizeof header);
            if (header.nlmsg_len < sizeof(nlmsghdr) || header.nlmsg_len > left) {
                m_dumping = false;
                return Dump::Failed;
            }
            const std::size_t step = std::min<std::size_t>(NLMSG_ALIGN(header.nlmsg_len), left);
            if (header.nlmsg_seq == m_sequence) {
                if (header.nlmsg_type == NLMSG_DONE) {
                    m_dumping = false;
                    return Dump::Finished;
                }
                if (header.nlmsg_type == NLMSG_ERROR) {
                    m_dumping = false;
                    return Dump::Failed;
                }
                if (header.nlmsg_type == RTM_NEWNEIGH && header.nlmsg_len >= NLMSG_LENGTH(sizeof(ndmsg))) {
                    ndmsg neighbour;
                    std::memcpy(&neighbour, at + NLMSG_HDRLEN, sizeof neighbour);
                    std::optional<quint32> destination;
                    QString mac;
                    std::size_t offset = NLMSG_HDRLEN + NLMSG_ALIGN(sizeof(ndmsg));
                    while (offset + sizeof(rtattr) <= header.nlmsg_len) {
                        rtattr attribute;
                        std::memcpy(&attribute, at + offset, sizeof attribute);
                        if (attribute.rta_len < sizeof(rtattr) || offset + attribute.rta_len > header.nlmsg_len)
                            break;
                        const unsigned char *data = at + offset + RTA_LENGTH(0);
                        const std::size_t size = attribute.rta_len - RTA_LENGTH(0);
                        if (attribute.rta_type == NDA_DST && size == 4) {
                            quint32 networkOrder = 0;
                            std::memcpy(&networkOrder, data, 4);
                            destination = ntohl(networkOrder);
                        } else if (attribute.rta_type == NDA_LLADDR && size == 6) {
                            mac = macText(data, size);
                        }
                        offset += RTA_ALIGN(attribute.rta_len);
                    }
                    // An address may have an entry on several adapters: one
                    // that answers decides.
                    if (neighbour.ndm_family == AF_INET && destination && m_pending.contains(*destination)) {
                        Entry &entry = m_table[*destination];
                        if (!(entry.state & Reachable)) {
                            entry.state = neighbour.ndm_state;
                            entry.mac = mac;
                        }
                    }
                }
            }
            at += step;
            left -= step;
        }
    }
    return Dump::InProgress;
#else
    return Dump::Failed;
#endif
}

AddressCheck NeighbourProbe::check(const QList<quint32> &addresses)
{
    NeighbourProbe probe(addresses);
    // Bounded by the probe's own time limit; the count only guards a clock
    // that stands still.
    constexpr int MaxPolls = RevalidateTimeoutMs / PollIntervalMs + 10;
    for (int polls = 0; !probe.poll() && polls < MaxPolls; ++polls)
        QThread::msleep(PollIntervalMs);
    probe.giveUp();
    return AddressCheck{probe.holders(), probe.unchecked()};
}
