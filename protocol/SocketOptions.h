#pragma once

#include <QtGlobal>

#include <optional>

// The one socket option the tool needs that QAbstractSocket does not expose.
// Qt switches SO_BROADCAST on for every UDP socket it creates; the tool wants
// it on only for its broadcast requests, so that a unicast request whose
// destination text turned into a broadcast address is refused by the stack
// instead of reaching every device on the LAN.
namespace SocketOptions {

// Sets (enabled) or clears SO_BROADCAST on an open socket descriptor.
// False when the descriptor is invalid or the stack refuses.
bool setBroadcast(qintptr socketDescriptor, bool enabled);

// Current SO_BROADCAST state, nothing when it cannot be read.
std::optional<bool> broadcastEnabled(qintptr socketDescriptor);

// Receive buffer that holds the replies of a whole /24 answering one
// discovery at once, together with a burst of unrelated traffic.
inline constexpr int GatewayReceiveBufferBytes = 4 * 1024 * 1024;

// Asks for a receive buffer of `bytes` (the system may grant less, up to its
// limit for unprivileged programs). False when the descriptor is invalid or
// the stack refuses.
bool enlargeReceiveBuffer(qintptr socketDescriptor, int bytes = GatewayReceiveBufferBytes);

// The receive buffer the system granted, in bytes; nothing when unreadable.
std::optional<int> receiveBufferSize(qintptr socketDescriptor);

} // namespace SocketOptions
