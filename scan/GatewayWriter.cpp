#include "GatewayWriter.h"

#include "BroadcastDestinations.h"
#include "GatewaySocket.h"
#include "SocketOptions.h"
#include "Telegrams.h"

#include <QNetworkDatagram>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

namespace {

constexpr int WriteWaitMs = 8000;
constexpr int CompletionTailMs = 200;
constexpr int ResetTelegramWaitMs = 250;
constexpr int ResetFinalWaitMs = 5000;

} // namespace

GatewayWriter::GatewayWriter(const QString &broadcast, bool protect, const QString &password, QObject *parent)
    : QObject(parent)
    , m_broadcast(broadcast.isEmpty() ? QString::fromLatin1(LimitedBroadcastText) : broadcast)
    , m_protect(protect)
    , m_password(password)
{
}

void GatewayWriter::postCompletion()
{
    m_completed = true;
    if (m_wait)
        QTimer::singleShot(CompletionTailMs, m_wait.data(), &QEventLoop::quit);
}

void GatewayWriter::wait(int milliseconds)
{
    QEventLoop loop;
    m_wait = &loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
    m_wait.clear();
}

bool GatewayWriter::writeIpSetup(quint32 newAddress, const QString &mac)
{
    GatewaySocket socket(*this);
    socket.setNewAddress(newAddress);
    socket.setMacTail(quint16(ParseHexNumber(mac.right(4))));
    const bool sent = socket.SendIpSetup(m_broadcast, BuildAdapterBroadcastList());
    wait(WriteWaitMs);
    socket.Close();
    return sent;
}

bool GatewayWriter::writeIdentity(const QString &addressText, quint32 typeCode)
{
    m_contents.oemTypeText = QStringLiteral("%1").arg(typeCode, 8, 16, QLatin1Char('0'));
    GatewaySocket socket(*this);
    const bool sent = socket.SendWriteIdentity(addressText);
    wait(WriteWaitMs);
    socket.Close();
    return sent;
}

bool GatewayWriter::writeNetwork(const QString &addressText, int hostBits, quint32 defaultGateway)
{
    m_contents.subnetMaskText = NetworkMaskText(hostBits);
    m_contents.defaultGatewayText = defaultGateway == 0 ? QString() : DottedAddressText(defaultGateway);
    m_completed = false;
    GatewaySocket socket(*this);
    const bool sent = socket.SendWriteNetwork(addressText);
    if (sent)
        wait(WriteWaitMs);
    socket.Close();
    return sent && m_completed;
}

bool GatewayWriter::writeSetup(const QString &addressText, const GatewayConfiguration &c)
{
    m_contents.modeIndex = c.mode;
    m_contents.portText = QString::number(c.port);
    m_contents.remoteAddressText = DottedAddressText(c.remoteAddress);
    m_contents.allowedMaskText = DottedAddressText(c.remoteMask);
    m_contents.baudRateText = QString::number(c.baudRate);
    m_contents.dataBitsText = QString::number(c.dataBits);
    m_contents.stopBitsText = QString::number(c.stopBits);
    m_contents.parityIndex = c.parity;
    m_contents.flowControlIndex = c.flowControl;
    QString mac = c.mac;
    mac.remove(QLatin1Char('-'));
    GatewaySocket socket(*this);
    const bool sent = socket.SendWriteSetup(addressText, mac, c.typeCode);
    wait(WriteWaitMs);
    socket.Close();
    return sent;
}

bool GatewayWriter::sendReset(quint32 newAddress, quint8 macByte5, quint8 macByte6)
{
    const QByteArray telegram = BuildIpSetup(newAddress, macByte5, macByte6);
    bool anySent = false;
    for (const QString &destination : BuildAdapterBroadcastList()) {
        QUdpSocket socket;
        if (socket.bind(QHostAddress(QHostAddress::AnyIPv4), Telegram::Port, QAbstractSocket::DontShareAddress)
            && SocketOptions::setBroadcast(socket.socketDescriptor(), true)) {
            anySent = socket.writeDatagram(telegram, QHostAddress(InetAddr(destination)), Telegram::Port)
                    == telegram.size()
                || anySent;
        }
        QThread::msleep(ResetTelegramWaitMs);
    }
    QThread::msleep(ResetFinalWaitMs);
    return anySent;
}
