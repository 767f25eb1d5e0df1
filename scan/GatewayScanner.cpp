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
// Three reads of two attempts each after the last discovery reply.
constexpr int RetryBudget = 7;

Telegram::Code requestFor(int stage)
{
    static constexpr Telegram::Code Codes[] = {Telegram::IdentityRequest, Telegram::NetworkRequest,
                                               Telegram::SetupRequest};
    return Codes[stage];
}

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
    const QByteArray request = BuildRequest(Telegram::DiscoveryRequest);
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
    const DiscoveryReply reply = *AcceptDiscoveryReply(datagram.data());
    // Answers to the repeated discovery, or through a second adapter on the
    // same subnet, list no gateway twice; reads are matched by address.
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
    switch (chain.stage) {
    case Stage::Identity: {
        const auto reply = AcceptIdentityReply(bytes);
        if (!reply)
            return;
        if (!GatewayRowWriter::applyIdentity(m_list, chain.row, *reply, m_settings.typeFilter)) {
            // The gateway would answer the same again: no second try.
            finish(chain);
            return;
        }
        chain.stage = Stage::Network;
        break;
    }
    case Stage::Network: {
        const auto reply = AcceptNetworkReply(bytes);
        if (!reply)
            return;
        GatewayRowWriter::applyNetwork(m_list, chain.row, *reply, DottedAddressText(source));
        chain.stage = Stage::Setup;
        break;
    }
    case Stage::Setup:
        if (GatewayRowWriter::applySetup(m_list, chain.row, bytes, m_settings.passwordProtection,
                                         m_settings.password)
            != SetupVerdict::NotSetupReply)
            finish(chain);
        return;
    case Stage::Done:
        return;
    }
    chain.attempts = 0;
    sendStage(chain);
}

void GatewayScanner::sendStage(Chain &chain)
{
    if (chain.stage == Stage::Done)
        return;
    ++chain.attempts;
    chain.sentAt = m_clock.elapsed();
    const quint32 address = m_gateways[std::size_t(chain.row)].address;
    m_socket.writeDatagram(BuildRequest(requestFor(int(chain.stage))), QHostAddress(address),
                           Telegram::Port);
}

void GatewayScanner::finish(Chain &chain)
{
    chain.stage = Stage::Done;
    if (m_list.typeCode(chain.row) == 0)
        m_list.setRowStatus(chain.row, RowStatus::UnknownType);
}

void GatewayScanner::tick()
{
    const qint64 now = m_clock.elapsed();
    const int retry = retryIntervalMs();
    if (!m_discoveryRepeated && now >= retry) {
        m_discoveryRepeated = true;
        sendDiscovery();
    }
    for (Chain &chain : m_chains) {
        if (chain.stage == Stage::Done || now - chain.sentAt < retry)
            continue;
        if (chain.attempts < 2)
            sendStage(chain);
        else
            finish(chain);
    }
    const bool hardLimit = now >= m_settings.timeoutMs + RetryBudget * retry;
    if ((now >= m_settings.timeoutMs && allDone()) || hardLimit) {
        for (Chain &chain : m_chains) {
            if (chain.stage != Stage::Done)
                finish(chain);
        }
        m_finished = true;
    }
}

bool GatewayScanner::allDone() const
{
    for (const Chain &chain : m_chains) {
        if (chain.stage != Stage::Done)
            return false;
    }
    return true;
}
