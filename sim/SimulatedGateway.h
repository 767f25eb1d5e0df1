#pragma once

// One simulated gateway without any socket: it takes a received datagram,
// applies what it asks for and says what to send back. The simulator owns the
// sockets and the interface addresses around it.

#include "GatewayConfig.h"

#include <QByteArray>
#include <QList>

#include <optional>

struct GatewayReaction
{
    // Datagrams for the requester, in sending order (garbage and malformed
    // replies included when the gateway is told to produce them).
    QList<QByteArray> datagrams;
    // An IP-SETUP for this gateway was accepted: the address value to take,
    // 0 for one from the DHCP pool. The simulator moves the gateway and then
    // calls moveTo().
    std::optional<quint32> requestedAddress;
    // A write changed the stored state.
    bool stateChanged = false;
};

class SimulatedGateway
{
public:
    explicit SimulatedGateway(const GatewayConfig &config);

    GatewayReaction handle(const QByteArray &datagram);

    // The gateway now answers at `address`; `byDhcp` makes it report address
    // mode 0 (DHCP) from now on, otherwise a fixed address.
    void moveTo(quint32 address, bool byDhcp);

    quint32 address() const { return m_address; }
    quint32 typeCode() const { return m_typeCode; }
    bool usesDhcp() const;
    int delayMs() const { return m_config.faults.delayMs; }
    QString label() const;

    // Stored records as the next read returns them (before faults).
    const QByteArray &setupRecord() const { return m_setupRecord; }
    const QByteArray &networkRecord() const { return m_networkRecord; }

    const GatewayConfig &initialConfig() const { return m_config; }
    // The configuration describing the current state, for writing back.
    GatewayConfig currentConfig() const;

    // Records a gateway starts with when the file gives none.
    static QByteArray initialSetupRecord(const GatewayConfig &config);
    static QByteArray initialNetworkRecord(const GatewayConfig &config);

    // The bytes the tool would receive for `reply` under `faults`.
    static QList<QByteArray> shapeReply(const QByteArray &reply, const GatewayFaults &faults);
    static QByteArray faultySetupReply(const QByteArray &stored, SetupReplyFault fault);

private:
    bool ignores(GatewayRequest request) const;
    GatewayReaction reply(GatewayRequest request, const QByteArray &bytes, int count = 1) const;
    GatewayReaction handleRequest(Telegram::Code code);
    GatewayReaction handleSetupWrite(const QByteArray &datagram);

    GatewayConfig m_config;
    quint32 m_address = 0;
    quint32 m_typeCode = 0;
    QByteArray m_setupRecord;
    QByteArray m_networkRecord;
};
