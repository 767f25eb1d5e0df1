#pragma once

// Shared by the socket tests that run against the simulator on the virtual
// LAN: the tool's namespace has 198.18.0.1/24, the gateways live at
// 198.18.0.10 and up.

#include "SimulatorProcess.h"
#include "Telegrams.h"

#include <QJsonObject>
#include <QStringList>

namespace SimGateways {

inline const QString GatewayIp = QStringLiteral("198.18.0.10");
inline const QString SecondGatewayIp = QStringLiteral("198.18.0.11");
inline const QString GatewayMac = QStringLiteral("00-50-C2-4A-00-0A");
inline constexpr quint32 KnxType = 0x00010001;
inline const QString KnxName = QStringLiteral("PLN KNX IP Gateway");

// The default gateway of SimulatorProcess with `changes` applied; the nested
// "setup" and "faults" objects are merged, not replaced.
inline QJsonObject gatewayWith(const QJsonObject &changes, const QString &ip = GatewayIp,
                               const QString &mac = GatewayMac)
{
    QJsonObject gateway = SimulatorProcess::gateway(ip, mac, KnxType);
    for (auto it = changes.begin(); it != changes.end(); ++it) {
        if (it.value().isObject() && gateway.value(it.key()).isObject()) {
            QJsonObject merged = gateway.value(it.key()).toObject();
            const QJsonObject inner = it.value().toObject();
            for (auto in = inner.begin(); in != inner.end(); ++in)
                merged.insert(in.key(), in.value());
            gateway.insert(it.key(), merged);
        } else {
            gateway.insert(it.key(), it.value());
        }
    }
    return gateway;
}

inline QJsonObject setupWith(const QJsonObject &setup) { return {{QStringLiteral("setup"), setup}}; }
inline QJsonObject faultsWith(const QJsonObject &faults) { return {{QStringLiteral("faults"), faults}}; }

// "<to> <hex>" of every datagram the gateways received, after waiting for at
// least `atLeast` of them (bounded). A datagram that did not come from the
// tool's port adds a line saying so.
inline QStringList receivedTelegrams(SimulatorProcess &sim, int atLeast)
{
    sim.waitForDatagrams(atLeast, 2000);
    QStringList entries;
    for (const QJsonObject &entry : sim.receivedDatagrams()) {
        const int fromPort = entry.value(QStringLiteral("fromPort")).toInt();
        if (fromPort != Telegram::Port)
            entries += QStringLiteral("from port %1").arg(fromPort);
        entries += entry.value(QStringLiteral("to")).toString() + QLatin1Char(' ')
            + entry.value(QStringLiteral("hex")).toString();
    }
    return entries;
}

} // namespace SimGateways
