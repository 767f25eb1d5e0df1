#pragma once

#include "DatagramLog.h"
#include "GatewayConfig.h"
#include "InterfaceAddresses.h"
#include "SimulatedGateway.h"

#include <QHostAddress>
#include <QJsonObject>
#include <QObject>
#include <QQueue>
#include <QSet>
#include <QTimer>

#include <memory>
#include <optional>
#include <random>
#include <vector>

class QUdpSocket;

struct SimulatorOptions
{
    QString configPath;
    QString logPath;       // empty: no log
    QString interfaceName; // where the gateways' addresses live
    bool save = false;     // write the state back to configPath after each change
    QSet<quint32> reserved; // addresses of the tool's adapters: never a gateway's
    bool unpaced = false;   // send every reply at once, as real gateways do
    int lossPercent = 0;    // share of replies dropped on purpose, 0-100
    std::optional<quint32> seed; // fixes which replies are dropped; none: new each start
};

// Runs the simulated gateways on UDP port 30718: one socket on the wildcard
// address receives the broadcasts (discovery, IP-SETUP), one socket per
// gateway on its own address receives its unicast requests and sends every
// reply of that gateway, so a reply's source is the gateway's address.
class GatewaySimulator : public QObject
{
    Q_OBJECT

public:
    GatewaySimulator(const SimulatorOptions &options, const QList<GatewayConfig> &gateways,
                     const QJsonObject &fileRoot, QObject *parent = nullptr);
    ~GatewaySimulator() override;

    // Sets up the addresses and binds the sockets; ends in ready() or failed().
    void start();
    // Closes the sockets and removes the addresses it added; ends in stopped().
    void stop();

    int activeGatewayCount() const;

    // First address of 198.18.0.200-.250 that is neither in `taken` nor reserved.
    static std::optional<quint32> poolAddress(const QSet<quint32> &taken);
    static constexpr quint32 PoolFirst = 0xC61200C8; // 198.18.0.200
    static constexpr quint32 PoolLast = 0xC61200FA;  // 198.18.0.250

signals:
    void ready();
    void failed(const QString &message);
    void stopped();

private:
    struct Node
    {
        explicit Node(const GatewayConfig &config) : gateway(config) {}
        SimulatedGateway gateway;
        bool active = false;
        bool moving = false;
        QUdpSocket *socket = nullptr;
        // Each gateway draws its losses from a stream of its own, so which of
        // its replies are dropped does not depend on the order in which the
        // requests of many gateways arrive: a seeded run repeats.
        std::mt19937 lossRandom;
    };
    struct Outgoing
    {
        size_t node;
        QByteArray datagram;
        QHostAddress to;
        quint16 port;
    };

    bool bindSockets();
    QUdpSocket *bindGatewaySocket(size_t index, quint32 address);
    void readBroadcasts();
    void readGatewaySocket(size_t index);
    void dispatch(size_t index, const QByteArray &datagram, const QHostAddress &from, quint16 port);
    void queueReplies(size_t index, const QList<QByteArray> &datagrams, const QHostAddress &to,
                      quint16 port);
    void drainOutbox();
    bool dropByLoss(size_t index);
    void moveGateway(size_t index, quint32 requested);
    void finishMove(size_t index, quint32 target, bool byDhcp);
    std::optional<size_t> activeGatewayAt(quint32 address) const;
    QSet<quint32> takenAddresses() const;
    void save();
    void warn(const QString &message) const;

    SimulatorOptions m_options;
    QJsonObject m_fileRoot;
    std::vector<std::unique_ptr<Node>> m_nodes;
    InterfaceAddresses m_addresses;
    DatagramLog m_log;
    QUdpSocket *m_broadcastSocket = nullptr;
    QQueue<Outgoing> m_outbox;
    QTimer m_outboxTimer;
    bool m_stopping = false;
};
