#pragma once

#include <QHostAddress>
#include <QObject>
#include <QStringList>
#include <QUdpSocket>

class GatewaySocketOwner;

// The endpoint of one exchange with the gateways. The main window creates one
// per request, starts exactly one request, lets its wait pump the event loop,
// then closes and deletes it. Replies that arrive meanwhile go to the handler
// of the request the socket is waiting for; the handlers write into the
// owner's gateway list, and the read handlers carry a row's read on by
// themselves (identity -> network -> setup) on the same socket.
//
// Every socket binds local port 30718 exclusively, so only one can be open at
// a time; a second one fails to open and its request returns false.
class GatewaySocket : public QObject
{
    Q_OBJECT

public:
    // Which reply the socket is waiting for.
    enum class RequestKind : int {
        IpSetup = 0,
        Discover = 1,
        ReadIdentity = 2,
        ReadSetup = 3,
        WriteSetup = 4,
        WriteIdentity = 5,
        ReadNetwork = 6,
        WriteNetwork = 7,
    };
    Q_ENUM(RequestKind)

    explicit GatewaySocket(GatewaySocketOwner &owner, int row = -1, QObject *parent = nullptr);
    ~GatewaySocket() override;

    RequestKind requestKind() const { return m_requestKind; }
    int row() const { return m_row; }

    // The open socket's descriptor, -1 when closed.
    qintptr socketDescriptor() const { return m_socket.socketDescriptor(); }

    // Each returns true when the telegram was handed to the network; for the
    // broadcasts, when at least one destination was sent to.
    bool SendDiscover(const QString &broadcastAddressText, const QStringList &adapterBroadcastList);
    bool SendReadIdentity();
    bool SendReadNetwork();

    // Nothing is received after this.
    void Close();
    // Replies that arrive from now on are left unhandled until Close; the
    // socket keeps its port meanwhile.
    void StopReceiving() { m_receiving = false; }

    // Whether the socket holds the gateway port: false before the first
    // request, after a failed open (port taken) and after Close.
    bool isOpen() const;

private:
    bool SendReadSetup();

    bool open();
    bool sendToRow(const QByteArray &telegram);
    bool sendTo(const QString &addressText, const QByteArray &telegram);
    bool sendToBroadcastTargets(const QString &broadcastAddressText,
                                const QStringList &adapterBroadcastList,
                                const QByteArray &telegram);

    void OnReceive();
    void dispatch(const QByteArray &datagram, const QHostAddress &source);
    void OnDiscoveryReply(const QByteArray &datagram, const QString &sourceText);
    void OnIdentityReply(const QByteArray &datagram);
    void OnNetworkReply(const QByteArray &datagram, const QString &sourceText);
    void OnSetupReply(const QByteArray &datagram);

    RequestKind m_requestKind = RequestKind::IpSetup;
    bool m_receiving = true;
    GatewaySocketOwner &m_owner;
    const int m_row;
    QUdpSocket m_socket;
};
