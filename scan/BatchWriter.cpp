#include "BatchWriter.h"

#include "BroadcastDestinations.h"
#include "SocketOptions.h"
#include "Telegrams.h"

#include <QEventLoop>
#include <QNetworkDatagram>
#include <QTimer>

namespace {

constexpr int WriteWaitMs = 8000;
constexpr int CompletionTailMs = 200;
constexpr int MaxDatagramsPerNotification = 64;

} // namespace

BatchWriter::BatchWriter(const QStringList &broadcastDestinations, const QString &password, QObject *parent)
    : QObject(parent)
    , m_destinations(broadcastDestinations)
    , m_password(password)
{
    connect(&m_socket, &QUdpSocket::readyRead, this, &BatchWriter::receive);
}

bool BatchWriter::open(bool broadcast)
{
    // Exclusive, like every socket on the gateway port: replies must not go
    // to another program.
    if (!m_socket.bind(QHostAddress(QHostAddress::AnyIPv4), Telegram::Port, QAbstractSocket::DontShareAddress))
        return false;
    SocketOptions::enlargeReceiveBuffer(m_socket.socketDescriptor());
    return SocketOptions::setBroadcast(m_socket.socketDescriptor(), broadcast);
}

void BatchWriter::close()
{
    m_socket.close();
    m_networkJobs.clear();
}

void BatchWriter::wait(int milliseconds)
{
    QEventLoop loop;
    m_wait = &loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
    m_wait = nullptr;
}

QSet<QString> BatchWriter::ipSetups(const QList<Job> &jobs)
{
    QSet<QString> sent;
    if (jobs.isEmpty() || !open(true))
        return sent;
    for (const Job &job : jobs) {
        QString mac = job.target.mac;
        mac.remove(QLatin1Char('-'));
        const quint16 tail = quint16(ParseHexNumber(mac.right(4)));
        const QByteArray telegram = BuildIpSetup(job.target.dhcp ? 0 : job.target.address, quint8(tail >> 8),
                                                 quint8(tail & 0xFF));
        for (const QString &destination : m_destinations) {
            if (m_socket.writeDatagram(telegram, QHostAddress(InetAddr(destination)), Telegram::Port)
                == telegram.size())
                sent.insert(job.target.mac);
        }
    }
    wait(WriteWaitMs);
    close();
    return sent;
}

QSet<QString> BatchWriter::identities(const QList<Job> &jobs)
{
    QSet<QString> sent;
    if (jobs.isEmpty() || !open(false))
        return sent;
    for (const Job &job : jobs) {
        const QByteArray telegram = BuildIdentityWrite(job.target.typeCode);
        if (m_socket.writeDatagram(telegram, QHostAddress(InetAddr(job.address)), Telegram::Port) == telegram.size())
            sent.insert(job.address);
    }
    wait(WriteWaitMs);
    close();
    return sent;
}

QSet<QString> BatchWriter::networks(const QList<Job> &jobs)
{
    m_acknowledged.clear();
    if (jobs.isEmpty() || !open(false))
        return {};
    // Each gateway answers the request with its network record; the write
    // is that record with the new values (as the window does it).
    for (const Job &job : jobs) {
        const quint32 address = InetAddr(job.address);
        m_networkJobs.insert(address, job);
        m_socket.writeDatagram(BuildRequest(Telegram::NetworkRequest), QHostAddress(address), Telegram::Port);
    }
    wait(WriteWaitMs);
    close();
    return m_acknowledged;
}

QSet<QString> BatchWriter::setups(const QList<Job> &jobs)
{
    QSet<QString> sent;
    if (jobs.isEmpty() || !open(false))
        return sent;
    for (const Job &job : jobs) {
        const GatewayConfiguration &c = job.target;
        SetupWriteInput input;
        input.modeIndex = c.mode;
        input.portText = QString::number(c.port);
        input.remoteAddressText = DottedAddressText(c.remoteAddress);
        input.allowedMaskText = DottedAddressText(c.remoteMask);
        input.baudRateText = QString::number(c.baudRate);
        input.dataBitsText = QString::number(c.dataBits);
        input.stopBitsText = QString::number(c.stopBits);
        input.parityIndex = c.parity;
        input.flowControlIndex = c.flowControl;
        input.macText = QString(c.mac).remove(QLatin1Char('-'));
        input.typeCode = c.typeCode;
        input.passwordProtection = job.lock;
        input.password = m_password;
        const QByteArray telegram = BuildSetupWrite(input);
        if (m_socket.writeDatagram(telegram, QHostAddress(InetAddr(job.address)), Telegram::Port) == telegram.size())
            sent.insert(job.address);
    }
    wait(WriteWaitMs);
    close();
    return sent;
}

void BatchWriter::receive()
{
    for (int i = 0; i < MaxDatagramsPerNotification && m_socket.hasPendingDatagrams(); ++i) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram(Telegram::ReceiveBufferSize);
        const quint32 source = datagram.senderAddress().toIPv4Address();
        const auto job = m_networkJobs.constFind(source);
        if (job == m_networkJobs.cend())
            continue;
        const QByteArray bytes = datagram.data();
        if (IsNetworkAcknowledgement(bytes)) {
            m_acknowledged.insert(job->address);
            if (m_acknowledged.size() == m_networkJobs.size() && m_wait)
                QTimer::singleShot(CompletionTailMs, m_wait, &QEventLoop::quit);
            continue;
        }
        if (!AcceptNetworkReply(bytes))
            continue;
        const QByteArray write = BuildNetworkWrite(bytes, NetworkMaskText(job->target.hostBits),
                                                   job->target.defaultGateway == 0
                                                       ? QString()
                                                       : DottedAddressText(job->target.defaultGateway));
        if (!write.isEmpty())
            m_socket.writeDatagram(write, datagram.senderAddress(), Telegram::Port);
    }
}
