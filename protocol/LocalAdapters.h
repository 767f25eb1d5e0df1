#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// One IPv4 address of a network adapter of this computer, as address values
// (first octet most significant).
struct LocalAdapter
{
    QString name;
    quint32 address = 0;
    quint32 mask = 0;

    quint32 broadcast() const { return address | ~mask; }
    // Whether `other` lies in this address's subnet.
    bool contains(quint32 other) const { return address != 0 && (other & mask) == (address & mask); }
};

// Every IPv4 address of every adapter that is up and not a loopback, in the
// order the system lists them.
QList<LocalAdapter> LocalAdapters();

// The first adapter address whose subnet holds `address`, or null.
const LocalAdapter *AdapterContaining(const QList<LocalAdapter> &adapters, quint32 address);

// "198.18.0.255 (gwlan0)" for each destination text that is an adapter's
// broadcast address, the bare text otherwise; joined by ", ".
QString DestinationsText(const QStringList &destinations, const QList<LocalAdapter> &adapters);
