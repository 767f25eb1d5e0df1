#pragma once

#include "GatewayList.h"
#include "Telegrams.h"

#include <QByteArray>
#include <QString>

// How each accepted reply shows in a gateway list row. The window's sockets
// and the command-line scanner both fill their rows through these, so the
// texts and statuses of a gateway are the same wherever it is listed. A
// reply goes into the row's reading, and that part of the reading is
// rendered into the row's columns.
namespace GatewayRowWriter {

// Appends the row of a discovery reply: "???", Discovered, the source
// address, MAC and firmware. Returns the new row's index.
int appendDiscovered(GatewayList &list, const DiscoveryReply &reply, const QString &sourceText);

// Identifies `row` from an identity reply: type name, type code, NoPassword.
// False, and the row unchanged, when the type is unknown, outside
// `typeFilter` (0 = every type) or the maker is another.
bool applyIdentity(GatewayList &list, int row, const IdentityRecord &reply, quint32 typeFilter);

// The Subnet/GW text, and " (DHCP)" after the address of a DHCP gateway.
void applyNetwork(GatewayList &list, int row, const NetworkRecord &reply, const QString &sourceText);
// The same from the reply's bytes, which the row keeps for a later network
// write; anything but a network reply leaves the row alone.
void applyNetworkReply(GatewayList &list, int row, const QByteArray &datagram, const QString &sourceText);

// Verifies a setup reply against the row and shows what the verdict allows:
// the status for a refused or locked record, the fields for a readable one.
// NotSetupReply leaves the row alone.
SetupVerdict applySetup(GatewayList &list, int row, const QByteArray &datagram,
                        bool passwordProtection, const QString &password);

} // namespace GatewayRowWriter
