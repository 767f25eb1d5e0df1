#include "GatewayExchange.h"

#include "GatewaySocket.h"
#include "BroadcastDestinations.h"
#include "GatewaySocketOwner.h"
#include "WriteExchanges.h"

namespace {

class SocketExchange : public GatewayExchange
{
public:
    SocketExchange(GatewaySocketOwner &owner, int row)
        : m_socket(owner, row)
        , m_writes(owner.password(), WriteExchanges::Wait())
    {
        // The window runs the wait; the acknowledgement of a subnet write
        // ends it as a reply ends a read's.
        m_writes.setAcknowledgedHandler([&owner] { owner.postCompletion(); });
    }

    bool SendDiscover(const QString &broadcastAddress, const QStringList &adapterBroadcastList) override
    {
        return record(m_socket.SendDiscover(broadcastAddress, adapterBroadcastList));
    }
    bool SendReadIdentity() override { return record(m_socket.SendReadIdentity()); }
    bool SendIpSetup(quint32 newAddress, quint16 macTail, const QString &broadcastAddress,
                     const QStringList &adapterBroadcastList) override
    {
        WriteExchanges::Target target;
        target.mac = QStringLiteral("%1").arg(macTail, 12, 16, QLatin1Char('0')).toUpper();
        target.values.address = newAddress;
        target.values.dhcp = newAddress == 0;
        return written(m_writes.beginIpSetup(
            {target}, SelectBroadcastDestinations(broadcastAddress, adapterBroadcastList)));
    }
    bool SendWriteIdentity(const QString &gatewayAddress, quint32 typeCode) override
    {
        WriteExchanges::Target target;
        target.destination = gatewayAddress;
        target.values.typeCode = typeCode;
        return written(m_writes.beginIdentity({target}));
    }
    bool SendWriteNetwork(const QString &gatewayAddress, int hostBits, quint32 defaultGateway) override
    {
        WriteExchanges::Target target;
        target.destination = gatewayAddress;
        target.values.hostBits = hostBits;
        target.values.defaultGateway = defaultGateway;
        return written(m_writes.beginNetwork({target}));
    }
    bool SendWriteSetup(const QString &gatewayAddress, const QString &macText, const GatewayReading &values,
                        bool lock) override
    {
        WriteExchanges::Target target;
        target.mac = macText;
        target.destination = gatewayAddress;
        target.values = values;
        target.lock = lock;
        return written(m_writes.beginSetup({target}));
    }
    void StopReceiving() override
    {
        m_socket.StopReceiving();
        m_writes.stopReceiving();
    }
    void Close() override
    {
        m_socket.Close();
        m_writes.end();
    }
    bool wasOpened() const override { return m_opened; }

private:
    bool record(bool sent)
    {
        m_opened = m_socket.isOpen();
        return sent;
    }
    bool written(bool sent)
    {
        m_opened = !m_writes.portTaken();
        return sent;
    }

    GatewaySocket m_socket;
    WriteExchanges m_writes;
    bool m_opened = false;
};

} // namespace

GatewayExchangeFactory socketExchangeFactory()
{
    return [](GatewaySocketOwner &owner, int row) -> std::unique_ptr<GatewayExchange> {
        return std::make_unique<SocketExchange>(owner, row);
    };
}
