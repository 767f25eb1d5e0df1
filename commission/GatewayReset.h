#pragma once

#include <QStringList>
#include <QtGlobal>

#include <functional>

// The reset of a gateway outside every local subnet, which cannot be read
// and so cannot be written the ordinary way: an IP-SETUP telegram naming it
// by the last two bytes of its MAC address goes to each destination, with
// ExchangeWait::ResetTelegramMs after each and ExchangeWait::ResetFinalMs
// after the last for the gateway to take the address. Nothing answers it.
// The window's reset and the command line's both send through here, so
// they send and wait alike.
namespace GatewayReset {

// The caller's wait: the window keeps painting with its input locked, the
// command line runs a nested event loop. Must be given.
using Wait = std::function<void(int milliseconds)>;

// `newAddress` 0 asks the gateway to use DHCP. Each telegram goes out on a
// socket of its own, bound to the gateway port alone with broadcasts
// allowed; when that socket cannot be set up (another copy of the tool
// holds the port) the telegram is skipped but its wait still runs, so a
// reset lasts the same however it goes. True when at least one telegram
// was handed to the network.
bool send(quint32 newAddress, quint8 macByte5, quint8 macByte6, const QStringList &destinations,
          const Wait &wait);

} // namespace GatewayReset
