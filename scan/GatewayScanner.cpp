#include "GatewayScanner.h"

#include "BroadcastDestinations.h"
#include "GatewayRowWriter.h"
#include "SocketOptions.h"
#include "Telegrams.h"

#include <QEventLoop>
#include <QNetworkInterface>
#include <QTimer>

namespace {

constexpr int TickMs = 10;
constexpr int MinRetryMs = 50;
constexpr int MaxRetryMs = 500;
// Discovery goes out at 0, 1/4, 1/2 and 3/4 of the timeout: a gateway is
// missing only when all its answers are lost (at 5 % loss one in 160000).
constexpr int DiscoverySends = 4;
// Reads still open when discovery ends get up to two more retry intervals,
// so a gateway that answered late survives a lost reply; a script waits for
// the scan no more than this past the timeout.
constexpr int MaxReadGraceMs = 400;

} // namespace

GatewayScanner::GatewayScanner(const ScanSettings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
{
    connect(&m_socket, &QUdpSocket::readyRead, this, &GatewayScanner::receive);
}

int GatewayScanner::retryIntervalMs() const
{
    return qBound(MinRetryMs, m_settings.timeoutMs / 4, MaxRetryMs);
}

int GatewayScanner::readGraceMs() const
{
    return qMin(MaxReadGraceMs, 2 * retryIntervalMs());
}

GatewayScanner::Outcome GatewayScanner::run()
{
    m_adapters = LocalAdapters();
    // Exclusive, as the window's socket: a second program on the port would
    // otherwise take part of the replies.
    if (!m_socket.bind(QHostAddress(QHostAddress::AnyIPv4), Telegram::Port,
                       QAbstractSocket::DontShareAddress)) {
        return m_socket.error() == QAbstractSocket::AddressInUseError ? Outcome::PortTaken
                                                                      : Outcome::SocketFailed;
    }
    SocketOptions::enlargeReceiveBuffer(m_socket.socketDescriptor());

    QEventLoop loop;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    connect(&ticker, &QTimer::timeout, this, [this, &loop] {
        tick();
        if (m_finished)
            loop.quit();
    });
    m_clock.start();
    sendDiscovery();
    ticker.start(TickMs);
    loop.exec();
    m_socket.close();
    return Outcome::Finished;
}

void GatewayScanner::sendDiscovery()
{
    ++m_discoveriesSent;
    const QByteArray request = GatewayReadChain::discoveryRequest();
    for (const QString &destination : m_settings.destinations)
        m_socket.writeDatagram(request, QHostAddress(InetAddr(destination)), Telegram::Port);
}

void GatewayScanner::receive()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram(Telegram::ReceiveBufferSize);
        if (datagram.isValid())
            handle(datagram);
    }
}

void GatewayScanner::handle(const QNetworkDatagram &datagram)
{
    bool isIpv4 = false;
    const quint32 source = datagram.senderAddress().toIPv4Address(&isIpv4);
    if (!isIpv4 || source == 0)
        return;
    if (AcceptDiscoveryReply(datagram.data())) {
        discovered(datagram, source);
        return;
    }
    const auto found = m_chainBySource.constFind(source);
    if (found != m_chainBySource.constEnd())
        advance(m_chains[std::size_t(*found)], datagram.data(), source);
}

void GatewayScanner::discovered(const QNetworkDatagram &datagram, quint32 source)
{
    // Late replies belong to no search any more, as in the window.
    if (m_clock.elapsed() >= m_settings.timeoutMs)
        return;
    emit discoveryReplied(source, m_discoveriesSent);
    const DiscoveryReply reply = *AcceptDiscoveryReply(datagram.data());
    // Answers to the repeated discovery, or through a second adapter on the
    // same subnet, list no gateway twice and start no second read: one
    // request per gateway is in flight. Reads are matched by address.
    if (m_chainBySource.contains(source))
        return;

    ScannedGateway gateway;
    gateway.address = source;
    const QString arrivedOn = QNetworkInterface::interfaceNameFromIndex(int(datagram.interfaceIndex()));
    const LocalAdapter *containing = AdapterContaining(m_adapters, source);
    gateway.adapter = !arrivedOn.isEmpty() ? arrivedOn : containing ? containing->name : QString();
    for (const LocalAdapter &adapter : m_adapters) {
        if (adapter.name == gateway.adapter && adapter.contains(source))
            gateway.inSubnet = true;
    }
    m_gateways.push_back(gateway);

    Chain chain;
    chain.row = GatewayRowWriter::appendDiscovered(m_list, reply, DottedAddressText(source));
    m_chainBySource.insert(source, int(m_chains.size()));
    m_chains.push_back(chain);
    // A gateway set to a broadcast or multicast address is listed but not
    // read: its reads would reach every device of the network.
    if (isGroupAddress(source))
        finish(m_chains.back());
    else
        sendStage(m_chains.back());
}

bool GatewayScanner::isGroupAddress(quint32 address) const
{
    if (address == InetAddrNone || address >= 0xE0000000u)
        return true;
    for (const LocalAdapter &adapter : m_adapters) {
        if (adapter.mask != InetAddrNone && adapter.contains(address) && address == adapter.broadcast())
            return true;
    }
    return false;
}

void GatewayScanner::advance(Chain &chain, const QByteArray &bytes, quint32 source)
{
    const GatewayReadChain::Options options{m_settings.typeFilter, m_settings.passwordProtection,
                                            m_settings.password};
    if (!chain.reads.take(m_list, chain.row, bytes, DottedAddressText(source), options))
        return;
    if (chain.reads.done())
        finish(chain);
    else
        sendStage(chain);
}

void GatewayScanner::sendStage(Chain &chain)
{
    if (chain.reads.done())
        return;
    chain.sentAt = m_clock.elapsed();
    const quint32 address = m_gateways[std::size_t(chain.row)].address;
    m_socket.writeDatagram(chain.reads.request(), QHostAddress(address), Telegram::Port);
}

void GatewayScanner::finish(Chain &chain, bool answered)
{
    chain.reads.stop();
    m_gateways[std::size_t(chain.row)].complete = answered;
    if (m_list.typeCode(chain.row) == 0)
        m_list.setRowStatus(chain.row, RowStatus::UnknownType);
}

void GatewayScanner::tick()
{
    const qint64 now = m_clock.elapsed();
    const int timeout = m_settings.timeoutMs;
    if (m_discoveriesSent < DiscoverySends && now >= qint64(timeout) * m_discoveriesSent / DiscoverySends)
        sendDiscovery();
    const bool readsEnd = now >= timeout + readGraceMs();
    const int retry = retryIntervalMs();
    for (Chain &chain : m_chains) {
        if (chain.reads.done())
            continue;
        if (readsEnd)
            finish(chain, false);
        else if (now - chain.sentAt >= retry)
            sendStage(chain);
    }
    m_finished = readsEnd || (now >= timeout && allDone());
}

bool GatewayScanner::allDone() const
{
    for (const Chain &chain : m_chains) {
        if (!chain.reads.done())
            return false;
    }
    return true;
}
