#include "GatewayExchange.h"

#include "GatewaySocket.h"
#include "Telegrams.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace {

// Whether the socket behind `descriptor` holds the gateway port. A socket
// whose bind failed may still have a descriptor, but no local port.
bool holdsGatewayPort(qintptr descriptor)
{
    if (descriptor < 0)
        return false;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(int(descriptor), reinterpret_cast<sockaddr *>(&local), &length) != 0)
        return false;
    return local.sin_family == AF_INET && ntohs(local.sin_port) == Telegram::Port;
}

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
    void Close() override { m_socket.Close(); }
    bool wasOpened() const override { return m_opened; }

private:
    bool record(bool sent)
    {
        m_opened = holdsGatewayPort(m_socket.socketDescriptor());
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
