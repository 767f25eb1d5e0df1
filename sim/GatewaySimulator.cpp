#include "GatewaySimulator.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkDatagram>
#include <QSaveFile>
#include <QUdpSocket>

#include <algorithm>
#include <cstdio>

namespace {

constexpr QAbstractSocket::BindMode SharedBind =
    QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint;

// Replies leave in small batches: a few hundred gateways answering one
// broadcast at the same instant would overrun the receiver's socket buffer,
// which real devices, each with its own timing, never do.
constexpr int OutboxBatch = 16;
constexpr int OutboxIntervalMs = 1;

} // namespace

GatewaySimulator::GatewaySimulator(const SimulatorOptions &options,
                                   const QList<GatewayConfig> &gateways,
                                   const QJsonObject &fileRoot, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_fileRoot(fileRoot)
    , m_addresses(options.interfaceName)
{
    const quint32 seed = options.seed.value_or(std::random_device{}());
    for (const GatewayConfig &config : gateways) {
        m_nodes.push_back(std::make_unique<Node>(config));
        std::seed_seq sequence{seed, quint32(m_nodes.size())};
        m_nodes.back()->lossRandom.seed(sequence);
    }
    m_outboxTimer.setTimerType(Qt::PreciseTimer);
    m_outboxTimer.setInterval(OutboxIntervalMs);
    connect(&m_outboxTimer, &QTimer::timeout, this, &GatewaySimulator::drainOutbox);
}

GatewaySimulator::~GatewaySimulator() = default;

void GatewaySimulator::warn(const QString &message) const
{
    std::fprintf(stderr, "gatewaysim: %s\n", qPrintable(message));
    std::fflush(stderr);
}

int GatewaySimulator::activeGatewayCount() const
{
    return int(std::count_if(m_nodes.begin(), m_nodes.end(),
                             [](const auto &node) { return node->active; }));
}

void GatewaySimulator::start()
{
    if (!m_options.logPath.isEmpty() && !m_log.open(m_options.logPath)) {
        emit failed(QStringLiteral("cannot open the log %1: %2")
                        .arg(m_options.logPath, m_log.errorString()));
        return;
    }
    if (!m_addresses.interfaceExists()) {
        emit failed(QStringLiteral("there is no interface \"%1\" here").arg(m_options.interfaceName));
        return;
    }

    QList<quint32> addresses;
    for (const auto &node : m_nodes) {
        const quint32 address = node->gateway.address();
        if (!SimConfig::isLanHostAddress(address))
            warn(QStringLiteral("gateway %1 left out: only host addresses of 198.18.0.0/24 are simulated")
                     .arg(node->gateway.label()));
        else if (m_options.reserved.contains(address))
            warn(QStringLiteral("gateway %1 left out: the address belongs to the tool")
                     .arg(node->gateway.label()));
        else {
            node->active = true;
            addresses += address;
        }
    }

    m_addresses.add(addresses, [this](bool ok, const QString &error) {
        if (!ok) {
            emit failed(error);
            return;
        }
        if (bindSockets())
            emit ready();
    });
}

bool GatewaySimulator::bindSockets()
{
    m_broadcastSocket = new QUdpSocket(this);
    if (!m_broadcastSocket->bind(QHostAddress::AnyIPv4, Telegram::Port, SharedBind)) {
        emit failed(QStringLiteral("cannot bind port %1 for broadcasts: %2")
                        .arg(Telegram::Port)
                        .arg(m_broadcastSocket->errorString()));
        return false;
    }
    connect(m_broadcastSocket, &QUdpSocket::readyRead, this, &GatewaySimulator::readBroadcasts);

    for (size_t i = 0; i < m_nodes.size(); ++i) {
        if (!m_nodes[i]->active)
            continue;
        m_nodes[i]->socket = bindGatewaySocket(i, m_nodes[i]->gateway.address());
        if (!m_nodes[i]->socket) {
            emit failed(QStringLiteral("cannot bind %1:%2")
                            .arg(DottedAddressText(m_nodes[i]->gateway.address()))
                            .arg(Telegram::Port));
            return false;
        }
    }
    return true;
}

QUdpSocket *GatewaySimulator::bindGatewaySocket(size_t index, quint32 address)
{
    auto *socket = new QUdpSocket(this);
    if (!socket->bind(QHostAddress(address), Telegram::Port, SharedBind)) {
        warn(QStringLiteral("bind %1: %2").arg(DottedAddressText(address), socket->errorString()));
        delete socket;
        return nullptr;
    }
    connect(socket, &QUdpSocket::readyRead, this, [this, index] { readGatewaySocket(index); });
    return socket;
}

std::optional<size_t> GatewaySimulator::activeGatewayAt(quint32 address) const
{
    for (size_t i = 0; i < m_nodes.size(); ++i) {
        if (m_nodes[i]->active && m_nodes[i]->gateway.address() == address)
            return i;
    }
    return std::nullopt;
}

void GatewaySimulator::readBroadcasts()
{
    while (m_broadcastSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_broadcastSocket->receiveDatagram();
        if (!datagram.isValid() || m_stopping)
            continue;
        const QHostAddress from = datagram.senderAddress();
        // Gateways do not listen to each other.
        if (activeGatewayAt(from.toIPv4Address()))
            continue;
        const quint16 port = quint16(datagram.senderPort());
        // A unicast datagram belongs to its gateway alone, even in the moment
        // when that gateway's own socket is being replaced.
        const QHostAddress to = datagram.destinationAddress();
        if (const auto index = activeGatewayAt(to.toIPv4Address())) {
            m_log.record(DottedAddressText(to.toIPv4Address()), from, port, datagram.data());
            dispatch(*index, datagram.data(), from, port);
            continue;
        }
        m_log.record(QStringLiteral("broadcast"), from, port, datagram.data());
        for (size_t i = 0; i < m_nodes.size(); ++i) {
            if (m_nodes[i]->active)
                dispatch(i, datagram.data(), from, port);
        }
    }
}

void GatewaySimulator::readGatewaySocket(size_t index)
{
    QUdpSocket *socket = m_nodes[index]->socket;
    while (socket && socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        if (!datagram.isValid() || m_stopping)
            continue;
        const quint16 port = quint16(datagram.senderPort());
        m_log.record(DottedAddressText(m_nodes[index]->gateway.address()), datagram.senderAddress(),
                     port, datagram.data());
        dispatch(index, datagram.data(), datagram.senderAddress(), port);
        socket = m_nodes[index]->socket; // an IP-SETUP may have replaced it
    }
}

void GatewaySimulator::dispatch(size_t index, const QByteArray &datagram, const QHostAddress &from,
                                quint16 port)
{
    Node &node = *m_nodes[index];
    const GatewayReaction reaction = node.gateway.handle(datagram);
    if (!reaction.datagrams.isEmpty()) {
        const int delay = node.gateway.delayMs();
        if (delay > 0) {
            QTimer::singleShot(delay, this, [this, index, datagrams = reaction.datagrams, from, port] {
                queueReplies(index, datagrams, from, port);
            });
        } else {
            queueReplies(index, reaction.datagrams, from, port);
        }
    }
    if (reaction.stateChanged)
        save();
    if (reaction.requestedAddress)
        moveGateway(index, *reaction.requestedAddress);
}

void GatewaySimulator::queueReplies(size_t index, const QList<QByteArray> &datagrams,
                                    const QHostAddress &to, quint16 port)
{
    for (const QByteArray &datagram : datagrams) {
        if (dropByLoss(index))
            continue;
        if (m_options.unpaced) {
            if (QUdpSocket *socket = m_nodes[index]->socket; socket && !m_stopping)
                socket->writeDatagram(datagram, to, port);
            continue;
        }
        m_outbox.enqueue({index, datagram, to, port});
    }
    if (m_outbox.isEmpty())
        return;
    if (!m_outboxTimer.isActive()) {
        drainOutbox();
        if (!m_outbox.isEmpty())
            m_outboxTimer.start();
    }
}

void GatewaySimulator::drainOutbox()
{
    for (int sent = 0; sent < OutboxBatch && !m_outbox.isEmpty(); ++sent) {
        const Outgoing out = m_outbox.dequeue();
        // The gateway's socket at the time of sending: after an IP-SETUP the
        // reply comes from its new address.
        if (QUdpSocket *socket = m_nodes[out.node]->socket; socket && !m_stopping)
            socket->writeDatagram(out.datagram, out.to, out.port);
    }
    if (m_outbox.isEmpty())
        m_outboxTimer.stop();
}

bool GatewaySimulator::dropByLoss(size_t index)
{
    if (m_options.lossPercent <= 0)
        return false;
    return std::uniform_int_distribution<int>(0, 99)(m_nodes[index]->lossRandom) < m_options.lossPercent;
}

QSet<quint32> GatewaySimulator::takenAddresses() const
{
    QSet<quint32> taken = m_options.reserved;
    for (const auto &node : m_nodes) {
        if (node->active)
            taken.insert(node->gateway.address());
    }
    return taken;
}

std::optional<quint32> GatewaySimulator::poolAddress(const QSet<quint32> &taken)
{
    for (quint32 address = PoolFirst; address <= PoolLast; ++address) {
        if (!taken.contains(address))
            return address;
    }
    return std::nullopt;
}

void GatewaySimulator::moveGateway(size_t index, quint32 requested)
{
    Node &node = *m_nodes[index];
    if (node.moving)
        return; // the tool repeats its IP-SETUP; the first one is being carried out
    const quint32 current = node.gateway.address();
    const bool byDhcp = requested == 0;

    quint32 target = requested;
    if (byDhcp) {
        // Like a DHCP server, hand the same lease out again.
        if (current >= PoolFirst && current <= PoolLast) {
            target = current;
        } else {
            QSet<quint32> taken = takenAddresses() + m_addresses.present();
            const auto free = poolAddress(taken);
            if (!free) {
                warn(QStringLiteral("IP-SETUP for %1 ignored: no free address in 198.18.0.200-250")
                         .arg(node.gateway.label()));
                return;
            }
            target = *free;
        }
    }
    if (target == current) {
        finishMove(index, target, byDhcp);
        return;
    }
    if (!SimConfig::isLanHostAddress(target) || takenAddresses().contains(target)) {
        warn(QStringLiteral("IP-SETUP for %1 to %2 ignored: %3")
                 .arg(node.gateway.label(), DottedAddressText(target),
                      SimConfig::isLanHostAddress(target)
                          ? QStringLiteral("the address is taken")
                          : QStringLiteral("only host addresses of 198.18.0.0/24 are simulated")));
        return;
    }

    node.moving = true;
    m_addresses.add({target}, [this, index, target, current, byDhcp](bool ok, const QString &error) {
        Node &moved = *m_nodes[index];
        moved.moving = false;
        if (m_stopping)
            return;
        QUdpSocket *socket = ok ? bindGatewaySocket(index, target) : nullptr;
        if (!socket) {
            warn(QStringLiteral("IP-SETUP for %1 failed: %2")
                     .arg(moved.gateway.label(), ok ? QStringLiteral("cannot bind") : error));
            m_addresses.remove({target}, {});
            return;
        }
        if (moved.socket)
            moved.socket->deleteLater();
        moved.socket = socket;
        m_addresses.remove({current}, [this](bool removed, const QString &removeError) {
            if (!removed)
                warn(removeError);
        });
        finishMove(index, target, byDhcp);
    });
}

void GatewaySimulator::finishMove(size_t index, quint32 target, bool byDhcp)
{
    Node &node = *m_nodes[index];
    const QString before = node.gateway.label();
    const bool moved = node.gateway.address() != target;
    node.gateway.moveTo(target, byDhcp);
    if (moved)
        warn(QStringLiteral("gateway %1 moved to %2%3")
                 .arg(before, DottedAddressText(target), byDhcp ? QStringLiteral(" (DHCP)") : QString()));
    save();
}

void GatewaySimulator::save()
{
    if (!m_options.save)
        return;
    QJsonArray gateways;
    for (const auto &node : m_nodes)
        gateways.append(SimConfig::toJson(node->active ? node->gateway.currentConfig()
                                                       : node->gateway.initialConfig()));
    QJsonObject root = m_fileRoot;
    root.insert(QStringLiteral("gateways"), gateways);

    QSaveFile file(m_options.configPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(root).toJson()) < 0
        || !file.commit())
        warn(QStringLiteral("cannot save %1: %2").arg(m_options.configPath, file.errorString()));
}

void GatewaySimulator::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    m_outboxTimer.stop();
    m_outbox.clear();
    delete m_broadcastSocket;
    m_broadcastSocket = nullptr;
    for (const auto &node : m_nodes) {
        delete node->socket;
        node->socket = nullptr;
    }
    m_addresses.removeAllAdded([this](bool ok, const QString &error) {
        if (!ok)
            warn(error);
        emit stopped();
    });
}
