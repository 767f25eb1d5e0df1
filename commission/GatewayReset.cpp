#include "GatewayReset.h"

#include "ExchangeWaits.h"
#include "SocketOptions.h"
#include "Telegrams.h"
#include "WriteExchanges.h"

#include <QHostAddress>
#include <QUdpSocket>

namespace GatewayReset {

bool send(quint32 newAddress, quint8 macByte5, quint8 macByte6, const QStringList &destinations,
          const Wait &wait)
{
    bool anySent = false;
    for (const QString &destination : destinations) {
        // A socket per telegram, closed after its wait: nothing holds the
        // port between the telegrams or after the reset. The port alone, as
        // for every request of the tool, so that two copies never share it.
        QUdpSocket socket;
        if (socket.bind(QHostAddress(QHostAddress::AnyIPv4), Telegram::Port, QAbstractSocket::DontShareAddress)
            && SocketOptions::setBroadcast(socket.socketDescriptor(), true))
            anySent = WriteExchanges::sendResetTelegram(socket, newAddress, macByte5, macByte6, destination) || anySent;
        wait(ExchangeWait::ResetTelegramMs);
    }
    wait(ExchangeWait::ResetFinalMs);
    return anySent;
}

} // namespace GatewayReset
