#pragma once

#include "GatewayReading.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class GatewaySocketOwner;

// One request exchange of the main window with the gateways: the operations
// of the gateway socket that the window starts itself. The window creates
// its exchanges through a factory, so that a test can run the window's
// flows without a network.
class GatewayExchange
{
public:
    virtual ~GatewayExchange() = default;

    virtual bool SendDiscover(const QString &broadcastAddress, const QStringList &adapterBroadcastList) = 0;
    virtual bool SendReadIdentity() = 0;
    // IP-SETUP: `newAddress` (0 = DHCP) for the gateway whose MAC ends in
    // `macTail` (high byte = fifth MAC byte), to the broadcast targets.
    virtual bool SendIpSetup(quint32 newAddress, quint16 macTail, const QString &broadcastAddress,
                             const QStringList &adapterBroadcastList) = 0;
    // The writes take the values they send; the subnet write answers the
    // gateway's record with `hostBits` and `defaultGateway` (network order
    // as an address value), and posts the completion on its acknowledgement.
    virtual bool SendWriteIdentity(const QString &gatewayAddress, quint32 typeCode) = 0;
    virtual bool SendWriteNetwork(const QString &gatewayAddress, int hostBits, quint32 defaultGateway) = 0;
    // The record of `values` for the gateway `macText` (12 hex digits),
    // locked with the owner's password when `lock`.
    virtual bool SendWriteSetup(const QString &gatewayAddress, const QString &macText, const GatewayReading &values,
                                bool lock) = 0;
    // From now on no reply is handled; the exchange stays open until Close.
    virtual void StopReceiving() = 0;
    virtual void Close() = 0;
    // False when the last request could not even open its socket, which
    // means port 30718 is held by another program (or sockets are missing).
    virtual bool wasOpened() const = 0;
};

// Creates the exchange for `row` (-1: none) working for `owner`; may return
// null when no exchange can be made.
using GatewayExchangeFactory =
    std::function<std::unique_ptr<GatewayExchange>(GatewaySocketOwner &owner, int row)>;

// The factory of real exchanges over a GatewaySocket on UDP port 30718.
GatewayExchangeFactory socketExchangeFactory();
