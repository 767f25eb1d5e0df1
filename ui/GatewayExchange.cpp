#include "GatewayExchange.h"

#include "GatewaySocket.h"

namespace {

class SocketExchange : public GatewayExchange
{
public:
    SocketExchange(GatewaySocketOwner &owner, int row)
        : m_socket(owner, row)
    {
    }

    bool SendDiscover(const QString &broadcastAddress, const QStringList &adapterBroadcastList) override
    {
        return record(m_socket.SendDiscover(broadcastAddress, adapterBroadcastList));
    }
    bool SendReadIdentity() override { return record(m_socket.SendReadIdentity()); }
    bool SendIpSetup(quint32 newAddress, quint16 macTail, const QString &broadcastAddress,
                     const QStringList &adapterBroadcastList) override
    {
        m_socket.setNewAddress(newAddress);
        m_socket.setMacTail(macTail);
        return record(m_socket.SendIpSetup(broadcastAddress, adapterBroadcastList));
    }
    bool SendWriteIdentity(const QString &gatewayAddress) override
    {
        return record(m_socket.SendWriteIdentity(gatewayAddress));
    }
    bool SendWriteNetwork(const QString &gatewayAddress) override
    {
        return record(m_socket.SendWriteNetwork(gatewayAddress));
    }
    bool SendWriteSetup(const QString &gatewayAddress, const QString &macText, quint32 typeCode) override
    {
        return record(m_socket.SendWriteSetup(gatewayAddress, macText, typeCode));
    }
    void StopReceiving() override { m_socket.StopReceiving(); }
    void Close() override { m_socket.Close(); }
    bool wasOpened() const override { return m_opened; }

private:
    bool record(bool sent)
    {
        m_opened = m_socket.isOpen();
        return sent;
    }

    GatewaySocket m_socket;
    bool m_opened = false;
};

} // namespace

GatewayExchangeFactory socketExchangeFactory()
{
    return [](GatewaySocketOwner &owner, int row) -> std::unique_ptr<GatewayExchange> {
        return std::make_unique<SocketExchange>(owner, row);
    };
}
