#include "SocketOptions.h"

#ifdef Q_OS_WIN
#  include <winsock2.h>
#  ifdef _MSC_VER
#    pragma comment(lib, "ws2_32.lib")
#  endif
bool enlargeReceiveBuffer(qintptr socketDescriptor, int bytes)
{
    if (socketDescriptor == -1)
        return false;
    return ::setsockopt(static_cast<SOCKET>(socketDescriptor), SOL_SOCKET, SO_RCVBUF,
                        reinterpret_cast<const char *>(&bytes), int(sizeof bytes))
        == 0;
}

std::optional<int> receiveBufferSize(qintptr socketDescriptor)
{
    if (socketDescriptor == -1)
        return std::nullopt;
    int value = 0;
    int length = int(sizeof value);
    if (::getsockopt(static_cast<SOCKET>(socketDescriptor), SOL_SOCKET, SO_RCVBUF,
                     reinterpret_cast<char *>(&value), &length)
        != 0)
        return std::nullopt;
    return value;
}

#else
#  include <sys/socket.h>
#endif

namespace SocketOptions {

#ifdef Q_OS_WIN

bool setBroadcast(qintptr socketDescriptor, bool enabled)
{
    if (socketDescriptor == -1)
        return false;
    const BOOL value = enabled ? TRUE : FALSE;
    return ::setsockopt(static_cast<SOCKET>(socketDescriptor), SOL_SOCKET, SO_BROADCAST,
                        reinterpret_cast<const char *>(&value), int(sizeof value))
        == 0;
}

std::optional<bool> broadcastEnabled(qintptr socketDescriptor)
{
    if (socketDescriptor == -1)
        return std::nullopt;
    BOOL value = FALSE;
    int length = int(sizeof value);
    if (::getsockopt(static_cast<SOCKET>(socketDescriptor), SOL_SOCKET, SO_BROADCAST,
                     reinterpret_cast<char *>(&value), &length)
        != 0)
        return std::nullopt;
    return value != FALSE;
}

#else

bool setBroadcast(qintptr socketDescriptor, bool enabled)
{
    if (socketDescriptor < 0)
        return false;
    const int value = enabled ? 1 : 0;
    return ::setsockopt(int(socketDescriptor), SOL_SOCKET, SO_BROADCAST, &value, sizeof value) == 0;
}

std::optional<bool> broadcastEnabled(qintptr socketDescriptor)
{
    if (socketDescriptor < 0)
        return std::nullopt;
    int value = 0;
    socklen_t length = sizeof value;
    if (::getsockopt(int(socketDescriptor), SOL_SOCKET, SO_BROADCAST, &value, &length) != 0)
        return std::nullopt;
    return value != 0;
}

bool enlargeReceiveBuffer(qintptr socketDescriptor, int bytes)
{
    if (socketDescriptor < 0)
        return false;
    // Only ever grow: a system default above `bytes` stays.
    if (const auto current = receiveBufferSize(socketDescriptor); current && *current >= bytes)
        return true;
    return ::setsockopt(int(socketDescriptor), SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes) == 0;
}

std::optional<int> receiveBufferSize(qintptr socketDescriptor)
{
    if (socketDescriptor < 0)
        return std::nullopt;
    int value = 0;
    socklen_t length = sizeof value;
    if (::getsockopt(int(socketDescriptor), SOL_SOCKET, SO_RCVBUF, &value, &length) != 0)
        return std::nullopt;
    return value;
}

#endif

} // namespace SocketOptions
