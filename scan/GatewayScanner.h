#pragma once

#include "GatewayList.h"
#include "GatewayReadChain.h"
#include "LocalAdapters.h"

#include <QElapsedTimer>
#include <QHash>
#include <QNetworkDatagram>
#include <QObject>
#include <QStringList>
#include <QUdpSocket>

#include <vector>

struct ScanSettings
{
    QStringList destinations;      // where the discovery request goes
    bool passwordProtection = false;
    QString password;
    quint32 typeFilter = 0;        // 0 = every type
    int timeoutMs = 1000;          // how long discovery replies are taken
};

// What the scanner knows of a row beyond its list texts.
struct ScannedGateway
{
    quint32 address = 0;
    QString adapter;       // the adapter the replies came in through
    bool inSubnet = false; // the address lies in that adapter's subnet
    bool complete = true;  // false: a reply asked for never came, another scan may read more
};

// Reads a whole network at once on one socket: discovery to every
// destination, repeated at each quarter of the timeout, and as each gateway
// answers, its identity, network and setup reads, replies matched by source
// address. One request per gateway is in flight; one without reply is sent
// again after retryIntervalMs() until the chain completes or the reads' end,
// readGraceMs() after the timeout. A gateway whose chain stops there keeps
// what it had, as in the window, and is marked incomplete.
// Rows are filled with the window's own texts (GatewayRowWriter).
class GatewayScanner : public QObject
{
    Q_OBJECT

public:
    enum class Outcome { Finished, PortTaken, SocketFailed };

    explicit GatewayScanner(const ScanSettings &settings, QObject *parent = nullptr);

    // Runs the scan in a nested event loop; returns when every gateway that
    // answered in time is read or given up, at the latest readGraceMs()
    // after the timeout.
    Outcome run();

    const GatewayList &list() const { return m_list; }
    const std::vector<ScannedGateway> &gateways() const { return m_gateways; }
    const QList<LocalAdapter> &adapters() const { return m_adapters; }
    QString socketError() const { return m_socket.errorString(); }

    // Interval after which an unanswered request is sent again.
    int retryIntervalMs() const;
    // How long after the timeout unfinished reads may still go on.
    int readGraceMs() const;

    // A broadcast or multicast address, which the scan lists but does not
    // read (valid once run() has looked up the adapters).
    bool isGroupAddress(quint32 address) const;

signals:
    // Every discovery reply taken, repeats included, with the number of the
    // latest discovery request sent when it came (1 = the first).
    void discoveryReplied(quint32 source, int request);

private:
    struct Chain
    {
        int row = -1;
        GatewayReadChain reads;
        qint64 sentAt = 0;
    };

    void sendDiscovery();
    void receive();
    void handle(const QNetworkDatagram &datagram);
    void discovered(const QNetworkDatagram &datagram, quint32 source);
    void advance(Chain &chain, const QByteArray &bytes, quint32 source);
    void sendStage(Chain &chain);
    void finish(Chain &chain, bool answered = true);
    void tick();
    bool allDone() const;

    ScanSettings m_settings;
    GatewayList m_list;
    std::vector<ScannedGateway> m_gateways;
    std::vector<Chain> m_chains;
    QHash<quint32, int> m_chainBySource; // address value -> index in m_chains
    QList<LocalAdapter> m_adapters;
    QUdpSocket m_socket;
    QElapsedTimer m_clock;
    int m_discoveriesSent = 0;
    bool m_finished = false;
};
