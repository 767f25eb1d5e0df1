#include "GatewaySocket.h"

#include "BroadcastDestinations.h"
#include "GatewayList.h"
#include "GatewayReadChain.h"
#include "GatewayRowWriter.h"
#include "GatewaySocketOwner.h"
#include "SocketOptions.h"
#include "Telegrams.h"

namespace {

// A flood of datagrams must not keep the wait from seeing its timer: what is
// left after this many is read on the next notification.
constexpr int MaxDatagramsPerNotification = 64;

QString sourceText(const QHostAddress &source)
{
    bool isIpv4 = false;
    const quint32 value = source.toIPv4Address(&isIpv4);
    return DottedAddressText(isIpv4 ? value : 0);
}

} // namespace

GatewaySocket::GatewaySocket(GatewaySocketOwner &owner, int row, QObject *parent)
    : QObject(parent)
    , m_owner(owner)
    , m_row(row)
{
    connect(&m_socket, &QUdpSocket::readyRead, this, &GatewaySocket::OnReceive);
}

GatewaySocket::~GatewaySocket()
{
    // The socket member outlives this body; make sure nothing it still
    // signals while closing reaches a half-destroyed object.
    m_socket.disconnect(this);
    m_socket.abort();
}

// ---- requests --------------------------------------------------------------

bool GatewaySocket::SendDiscover(const QString &broadcastAddressText,
                                 const QStringList &adapterBroadcastList)
{
    m_requestKind = RequestKind::Discover;
    if (!open() || !SocketOptions::setBroadcast(socketDescriptor(), true))
        return false;
    return sendToBroadcastTargets(broadcastAddressText, adapterBroadcastList,
                                  GatewayReadChain::discoveryRequest());
}

bool GatewaySocket::SendReadIdentity()
{
    m_requestKind = RequestKind::ReadIdentity;
    if (!open() || !SocketOptions::setBroadcast(socketDescriptor(), false))
        return false;
    return sendToRow(GatewayReadChain::request(GatewayReadChain::Step::Identity));
}

bool GatewaySocket::SendReadNetwork()
{
    m_requestKind = RequestKind::ReadNetwork;
    if (!SocketOptions::setBroadcast(socketDescriptor(), false))
        return false;
    return sendToRow(GatewayReadChain::request(GatewayReadChain::Step::Network));
}

bool GatewaySocket::SendReadSetup()
{
    m_requestKind = RequestKind::ReadSetup;
    if (!SocketOptions::setBroadcast(socketDescriptor(), false))
        return false;
    return sendToRow(GatewayReadChain::request(GatewayReadChain::Step::Setup));
}

void GatewaySocket::Close()
{
    m_socket.close();
}

// ---- sending ---------------------------------------------------------------

bool GatewaySocket::open()
{
    if (isOpen())
        return true;
    // Exclusive: Qt's default would set SO_REUSEADDR and let a second socket
    // (or a second copy of the tool) share the port and steal replies.
    if (!m_socket.bind(QHostAddress(QHostAddress::AnyIPv4), Telegram::Port,
                       QAbstractSocket::DontShareAddress))
        return false;
    // All gateways answer a discovery at the same instant; the default
    // buffer overflows when other traffic arrives with them.
    SocketOptions::enlargeReceiveBuffer(socketDescriptor());
    return true;
}

bool GatewaySocket::isOpen() const
{
    // QUdpSocket would bind a closed or never bound socket to some other
    // port on its own and send from there; replies to that port are lost
    // and a failed open must send nothing.
    return m_socket.state() == QAbstractSocket::BoundState;
}

bool GatewaySocket::sendToRow(const QByteArray &telegram)
{
    return sendTo(m_owner.gatewayList().cellText(m_row, GatewayList::IpAddressColumn), telegram);
}

bool GatewaySocket::sendTo(const QString &addressText, const QByteArray &telegram)
{
    if (!isOpen())
        return false;
    const quint32 address = InetAddr(addressText);
    // A text that is no address converts to the all-ones value, and 0.0.0.0
    // would reach this very host on Linux; neither names a gateway.
    if (address == InetAddrNone || address == 0)
        return false;
    return m_socket.writeDatagram(telegram, QHostAddress(address), Telegram::Port) == telegram.size();
}

bool GatewaySocket::sendToBroadcastTargets(const QString &broadcastAddressText,
                                           const QStringList &adapterBroadcastList,
                                           const QByteArray &telegram)
{
    if (!isOpen())
        return false;
    bool anySent = false;
    const QStringList targets = SelectBroadcastDestinations(broadcastAddressText, adapterBroadcastList);
    for (const QString &target : targets) {
        // "255.255.255.255" converts to the all-ones value, which is exactly
        // the limited broadcast it stands for.
        const QHostAddress destination(InetAddr(target));
        if (m_socket.writeDatagram(telegram, destination, Telegram::Port) == telegram.size())
            anySent = true;
    }
    return anySent;
}

// ---- receiving -------------------------------------------------------------

void GatewaySocket::OnReceive()
{
    if (!m_receiving)
        return;
    for (int i = 0; i < MaxDatagramsPerNotification && m_socket.hasPendingDatagrams(); ++i) {
        // A longer datagram arrives cut to the buffer and so fails every
        // length test below.
        QByteArray buffer(Telegram::ReceiveBufferSize, Qt::Uninitialized);
        QHostAddress source;
        const qint64 received = m_socket.readDatagram(buffer.data(), buffer.size(), &source);
        if (received < 0)
            return;
        buffer.truncate(int(received));
        dispatch(buffer, source);
    }
}

void GatewaySocket::dispatch(const QByteArray &datagram, const QHostAddress &source)
{
    switch (m_requestKind) {
    case RequestKind::Discover:
        OnDiscoveryReply(datagram, sourceText(source));
        break;
    case RequestKind::ReadIdentity:
        OnIdentityReply(datagram);
        break;
    case RequestKind::ReadNetwork:
        OnNetworkReply(datagram, sourceText(source));
        break;
    case RequestKind::ReadSetup:
        OnSetupReply(datagram);
        break;
    // The writes run on the write library's exchanges (WriteExchanges); a
    // socket waiting for one of them handles nothing.
    case RequestKind::WriteNetwork:
    case RequestKind::IpSetup:
    case RequestKind::WriteSetup:
    case RequestKind::WriteIdentity:
        break;
    }
}

void GatewaySocket::OnDiscoveryReply(const QByteArray &datagram, const QString &sourceText)
{
    if (const std::optional<DiscoveryReply> reply = AcceptDiscoveryReply(datagram))
        GatewayRowWriter::appendDiscovered(m_owner.gatewayList(), *reply, sourceText);
}

void GatewaySocket::OnIdentityReply(const QByteArray &datagram)
{
    const std::optional<IdentityRecord> reply = AcceptIdentityReply(datagram);
    if (reply && GatewayRowWriter::applyIdentity(m_owner.gatewayList(), m_row, *reply, m_owner.typeFilter()))
        SendReadNetwork();
}

void GatewaySocket::OnNetworkReply(const QByteArray &datagram, const QString &sourceText)
{
    const std::optional<NetworkRecord> reply = AcceptNetworkReply(datagram);
    if (!reply)
        return;
    GatewayRowWriter::applyNetworkReply(m_owner.gatewayList(), m_row, datagram, sourceText);
    SendReadSetup();
}

void GatewaySocket::OnSetupReply(const QByteArray &datagram)
{
    const SetupVerdict verdict = GatewayRowWriter::applySetup(
        m_owner.gatewayList(), m_row, datagram, m_owner.passwordProtection(), m_owner.password());
    if (verdict == SetupVerdict::PasswordOk || verdict == SetupVerdict::Unlocked)
        m_owner.postCompletion();
}
