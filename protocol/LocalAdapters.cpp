#include "LocalAdapters.h"

#include "BroadcastDestinations.h"

#include <QNetworkInterface>

QList<LocalAdapter> LocalAdapters()
{
    QList<LocalAdapter> adapters;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &networkInterface : interfaces) {
        const auto flags = networkInterface.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) || flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        const QList<QNetworkAddressEntry> entries = networkInterface.addressEntries();
        for (const QNetworkAddressEntry &entry : entries) {
            if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
                continue;
            adapters.append({networkInterface.name(), entry.ip().toIPv4Address(),
                             entry.netmask().toIPv4Address()});
        }
    }
    return adapters;
}

const LocalAdapter *AdapterContaining(const QList<LocalAdapter> &adapters, quint32 address)
{
    for (const LocalAdapter &adapter : adapters) {
        if (adapter.contains(address))
            return &adapter;
    }
    return nullptr;
}

QString DestinationsText(const QStringList &destinations, const QList<LocalAdapter> &adapters)
{
    QStringList parts;
    for (const QString &destination : destinations) {
        const quint32 value = InetAddr(destination);
        QStringList names;
        for (const LocalAdapter &adapter : adapters) {
            if (adapter.broadcast() == value && !names.contains(adapter.name))
                names.append(adapter.name);
        }
        parts.append(names.isEmpty() ? destination
                                     : QStringLiteral("%1 (%2)").arg(destination, names.join(QStringLiteral(", "))));
    }
    return parts.join(QStringLiteral(", "));
}
