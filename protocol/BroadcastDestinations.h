#pragma once

// Where the two broadcast requests (discovery and IP-SETUP) go: the user's
// configured broadcast address when it is a usable address, otherwise the
// directed broadcast address of every network adapter of this computer.
//
// Which interfaces count as adapters: every interface that is up and is not
// a loopback interface, in the order the system lists them. This mirrors the
// adapter list of the Windows tool, which leaves out loopback and disabled
// adapters but keeps enabled ones whatever their state: an adapter that is
// up without an IPv4 address (no cable, no DHCP lease yet, IPv6 only) is
// kept and contributes 255.255.255.255, as an adapter without an address
// always has. An interface that is administratively down corresponds to a
// disabled adapter and is left out.

#include <QList>
#include <QNetworkAddressEntry>
#include <QNetworkInterface>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

// The first IPv4 address of an adapter and its mask, as address values
// (first octet most significant).
struct AdapterAddress
{
    bool hasAddress = false;
    quint32 address = 0;
    quint32 mask = 0;
};

// The limited broadcast, and what an unusable configured address stands for.
inline constexpr char LimitedBroadcastText[] = "255.255.255.255";
inline constexpr quint32 InetAddrNone = 0xFFFFFFFFu;

// For each adapter in order: address OR NOT mask as dotted text; an adapter
// without address contributes "255.255.255.255"; duplicates are kept. An
// empty result becomes the single entry "255.255.255.255".
QStringList BuildAdapterBroadcastList(const QList<AdapterAddress> &adapters);

// The adapter data of one interface, or nothing when the interface does not
// count as an adapter (see above). The first IPv4 entry gives the address.
std::optional<AdapterAddress> AdapterFromInterface(QNetworkInterface::InterfaceFlags flags,
                                                   const QList<QNetworkAddressEntry> &entries);

// The list above built from this computer's interfaces. Called once when the
// main window opens.
QStringList BuildAdapterBroadcastList();

// The platform's inet_addr: 1 to 4 parts separated by '.', each decimal,
// octal with a leading 0 or hexadecimal with 0x; the last part fills the
// remaining bytes (a, a.b, a.b.c, a.b.c.d). Reading ends at the first white
// space, so "192.168.1.5 (DHCP)" gives 192.168.1.5. Anything else, the empty
// text included, gives InetAddrNone, which "255.255.255.255" also gives.
// The result is an address value (first octet most significant).
quint32 InetAddr(QStringView text);

// The destinations of one broadcast request: the configured text alone when
// InetAddr accepts it (the sender converts it with InetAddr), otherwise the
// adapter list in its order ("255.255.255.255" should it be empty).
QStringList SelectBroadcastDestinations(const QString &configured, const QStringList &adapterList);
