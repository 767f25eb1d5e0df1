#pragma once

#include <QHash>
#include <QList>
#include <QString>

// Whether some device already answers on the local link at an address: one
// datagram makes the kernel resolve it, then its neighbour table (iproute2's
// view) tells the MAC address that answered. Needs no privileges. Where the
// platform has no readable neighbour table the probe finds nothing.
namespace NeighbourProbe {

// The MAC address ("00-50-C2-4A-00-0A") holding `address`, or empty.
QString holderOf(quint32 address);
// The same for many addresses at once, in the time of one; only holders
// found are in the result.
QHash<quint32, QString> holdersOf(const QList<quint32> &addresses);

} // namespace NeighbourProbe
