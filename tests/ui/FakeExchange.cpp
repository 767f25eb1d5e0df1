#include "FakeExchange.h"

#include "DeviceTables.h"
#include "GatewayList.h"
#include "GatewaySocketOwner.h"
#include "StringTable.h"

#include <QObject>
#include <QTimer>

namespace {

class FakeExchange : public GatewayExchange
{
public:
    FakeExchange(FakeNetwork &network, GatewaySocketOwner &owner, int row)
        : m_network(network)
        , m_owner(owner)
        , m_row(row)
    {
        m_network.mostOpenAtOnce = qMax(m_network.mostOpenAtOnce, ++m_network.openExchanges);
    }
    ~FakeExchange() override { --m_network.openExchanges; }

    bool SendDiscover(const QString &broadcastAddress, const QStringList &) override
    {
        if (!open())
            return false;
        m_network.log.append(QStringLiteral("discover ") + broadcastAddress);
        m_network.discoveryPasswords.append(m_owner.passwordProtection() ? m_owner.password() : QString());
        for (const FakeNetwork::Gateway &gateway : std::as_const(m_network.gateways)) {
            QTimer::singleShot(m_network.discoveryReplyMs, &m_context, [this, gateway] {
                if (m_closed)
                    return;
                GatewayList &list = m_owner.gatewayList();
                const int row = list.appendRow();
                list.setCellText(row, GatewayList::IpAddressColumn, gateway.ip);
                list.setCellText(row, GatewayList::MacAddressColumn, gateway.mac);
                list.setCellText(row, GatewayList::FirmwareColumn, QStringLiteral("1.2"));
            });
        }
        return true;
    }

    bool SendReadIdentity() override
    {
        if (!open())
            return false;
        GatewayList &list = m_owner.gatewayList();
        const QString ip = list.cellText(m_row, GatewayList::IpAddressColumn);
        m_network.log.append(QStringLiteral("identity %1 %2").arg(m_row).arg(ip));
        for (const FakeNetwork::Gateway &gateway : std::as_const(m_network.gateways)) {
            if (gateway.ip != ip || gateway.typeCode == 0)
                continue;
            QTimer::singleShot(gateway.replyMs, &m_context, [this, gateway] {
                if (m_closed || m_deaf)
                    return;
                GatewayList &rows = m_owner.gatewayList();
                const std::optional<DeviceType> type = findDeviceType(gateway.typeCode);
                rows.setCellText(m_row, GatewayList::TypeColumn, type ? loadString(type->nameString) : QString());
                rows.setTypeCode(m_row, gateway.typeCode);
                rows.setRowStatus(m_row, RowStatus::NoPassword);
                if (gateway.completes) {
                    rows.setCellText(m_row, GatewayList::ModeColumn, loadString(StringBase::ModeName));
                    m_owner.postCompletion();
                }
            });
        }
        return true;
    }

    bool SendIpSetup(quint32 newAddress, quint16 macTail, const QString &, const QStringList &) override
    {
        return logWrite(QStringLiteral("ipsetup %1 %2").arg(newAddress, 8, 16, QLatin1Char('0')).arg(macTail, 4, 16, QLatin1Char('0')));
    }
    bool SendWriteIdentity(const QString &gatewayAddress, quint32) override
    {
        return logWrite(QStringLiteral("identitywrite ") + gatewayAddress);
    }
    bool SendWriteNetwork(const QString &gatewayAddress, int, quint32) override
    {
        if (!logWrite(QStringLiteral("networkwrite ") + gatewayAddress))
            return false;
        // The acknowledgement; a second one after it must go unhandled.
        for (int delay : {m_network.discoveryReplyMs, m_network.discoveryReplyMs + 50}) {
            QTimer::singleShot(delay, &m_context, [this] {
                if (m_closed || m_deaf)
                    return;
                m_network.log.append(QStringLiteral("acknowledged"));
                m_owner.postCompletion();
            });
        }
        return true;
    }
    bool SendWriteSetup(const QString &gatewayAddress, const QString &macText, const GatewayReading &values,
                        bool) override
    {
        return logWrite(QStringLiteral("setupwrite %1 %2 %3").arg(gatewayAddress, macText).arg(values.typeCode, 8, 16, QLatin1Char('0')));
    }

    void StopReceiving() override { m_deaf = true; }

    void Close() override
    {
        m_network.log.append(QStringLiteral("close"));
        m_closed = true;
    }

    bool wasOpened() const override { return m_opened; }

private:
    bool logWrite(const QString &entry)
    {
        if (!open())
            return false;
        m_network.log.append(entry);
        return true;
    }

    bool open()
    {
        m_opened = !m_network.portHeld && !m_closed;
        return m_opened;
    }

    FakeNetwork &m_network;
    GatewaySocketOwner &m_owner;
    const int m_row;
    QObject m_context; // its timers die with the exchange
    bool m_opened = false;
    bool m_closed = false;
    bool m_deaf = false;
};

} // namespace

GatewayExchangeFactory FakeNetwork::factory()
{
    return [this](GatewaySocketOwner &owner, int row) -> std::unique_ptr<GatewayExchange> {
        return std::make_unique<FakeExchange>(*this, owner, row);
    };
}
