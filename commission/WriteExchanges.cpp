#include "WriteExchanges.h"

#include "BroadcastDestinations.h"
#include "ExchangeWaits.h"
#include "SocketOptions.h"
#include "Telegrams.h"
#include "WantedValues.h"

#include <QEventLoop>
#include <QNetworkDatagram>
#include <QPointer>
#include <QTimer>

namespace {

constexpr int MaxDatagramsPerNotification = 64;

SetupWriteInput setupInput(const WriteExchanges::Target &target, const QString &password)
{
    const GatewayReading &c = target.values;
    SetupWriteInput input;
    // The reading holds the serial choices as ints (-1 where the editor had
    // nothing selected); the record has a byte for each and keeps the low
    // bits, so "nothing" goes out as 0xFF.
    input.mode = c.modeByte;
    input.port = c.port;
    input.remoteAddress = c.remoteAddress;
    input.allowedMask = c.remoteMask;
    input.baudRate = quint32(c.baudRate);
    input.dataBits = quint8(c.dataBits);
    input.stopBits = quint8(c.stopBits);
    input.parity = quint8(c.parity);
    input.flowControl = quint8(c.flowControl);
    input.macText = target.mac;
    input.typeCode = c.typeCode;
    input.passwordProtection = target.lock;
    input.password = password;
    return input;
}

} // namespace

WriteExchanges::WriteExchanges(const QString &password, Wait wait, QObject *parent)
    : QObject(parent)
    , m_password(password)
    , m_wait(std::move(wait))
{
    connect(&m_socket, &QUdpSocket::readyRead, this, &WriteExchanges::receive);
}

WriteExchanges::Wait WriteExchanges::loopWait()
{
    return [](int milliseconds, const std::function<bool()> &done) {
        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        deadline.start(milliseconds);
        // Looks at `done` after every event batch; the tail is a timer of its own.
        QTimer check;
        bool tailStarted = false;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (!tailStarted && done()) {
                tailStarted = true;
                QTimer::singleShot(ExchangeWait::CompletionTailMs, &loop, &QEventLoop::quit);
            }
        });
        check.start(ExchangeWait::PumpStepMs);
        loop.exec();
    };
}

bool WriteExchanges::open(bool broadcast, qsizetype targets)
{
    m_sent = QList<bool>(targets, false);
    m_acknowledged = QList<bool>(targets, false);
    m_acknowledgedCount = 0;
    m_networkTargets.clear();
    // Exclusive, like every socket on the gateway port: replies must not go
    // to another program.
    m_portTaken = !m_socket.bind(QHostAddress(QHostAddress::AnyIPv4), Telegram::Port, QAbstractSocket::DontShareAddress);
    if (m_portTaken)
        return false;
    m_receiving = true;
    SocketOptions::enlargeReceiveBuffer(m_socket.socketDescriptor());
    return SocketOptions::setBroadcast(m_socket.socketDescriptor(), broadcast);
}

void WriteExchanges::end()
{
    m_receiving = false;
    m_socket.close();
    m_networkTargets.clear();
}

QList<bool> WriteExchanges::waitAndEnd()
{
    m_wait(ExchangeWait::WriteMs, [this] { return allAcknowledged(); });
    end();
    return m_sent;
}

bool WriteExchanges::beginIpSetup(const QList<Target> &targets, const QStringList &destinations)
{
    if (!open(true, targets.size()))
        return false;
    for (qsizetype i = 0; i < targets.size(); ++i) {
        const Target &target = targets.at(i);
        const quint16 tail = quint16(ParseHexNumber(target.mac.right(4)));
        const QByteArray telegram = BuildIpSetup(target.values.dhcp ? 0 : target.values.address, quint8(tail >> 8),
                                                 quint8(tail & 0xFF));
        for (const QString &destination : destinations) {
            if (m_socket.writeDatagram(telegram, QHostAddress(InetAddr(destination)), Telegram::Port)
                == telegram.size())
                m_sent[i] = true;
        }
    }
    return m_sent.contains(true);
}

bool WriteExchanges::sendToEach(const QList<Target> &targets, const std::function<QByteArray(const Target &)> &build)
{
    if (!open(false, targets.size()))
        return false;
    for (qsizetype i = 0; i < targets.size(); ++i) {
        const QByteArray telegram = build(targets.at(i));
        m_sent[i] = m_socket.writeDatagram(telegram, QHostAddress(InetAddr(targets.at(i).destination)), Telegram::Port)
            == telegram.size();
    }
    return m_sent.contains(true);
}

bool WriteExchanges::beginIdentity(const QList<Target> &targets)
{
    return sendToEach(targets, [](const Target &target) { return BuildIdentityWrite(target.values.typeCode); });
}

bool WriteExchanges::beginNetwork(const QList<Target> &targets)
{
    if (!open(false, targets.size()))
        return false;
    // Each gateway answers the request with its network record; the write
    // is that record with the new values.
    m_networkValues = targets;
    bool requested = false;
    for (qsizetype i = 0; i < targets.size(); ++i) {
        const quint32 address = InetAddr(targets.at(i).destination);
        m_networkTargets.insert(address, int(i));
        const QByteArray request = BuildRequest(Telegram::NetworkRequest);
        requested = m_socket.writeDatagram(request, QHostAddress(address), Telegram::Port) == request.size() || requested;
    }
    return requested;
}

bool WriteExchanges::beginSetup(const QList<Target> &targets)
{
    return sendToEach(targets, [this](const Target &target) { return BuildSetupWrite(setupInput(target, m_password)); });
}

QList<bool> WriteExchanges::ipSetup(const QList<Target> &targets, const QStringList &destinations)
{
    if (targets.isEmpty())
        return {};
    beginIpSetup(targets, destinations);
    return waitAndEnd();
}

QList<bool> WriteExchanges::identity(const QList<Target> &targets)
{
    if (targets.isEmpty())
        return {};
    beginIdentity(targets);
    return waitAndEnd();
}

QList<bool> WriteExchanges::network(const QList<Target> &targets)
{
    if (targets.isEmpty())
        return {};
    beginNetwork(targets);
    return waitAndEnd();
}

QList<bool> WriteExchanges::setup(const QList<Target> &targets)
{
    if (targets.isEmpty())
        return {};
    beginSetup(targets);
    return waitAndEnd();
}

void WriteExchanges::receive()
{
    for (int i = 0; i < MaxDatagramsPerNotification && m_socket.hasPendingDatagrams(); ++i) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram(Telegram::ReceiveBufferSize);
        if (!m_receiving)
            continue;
        const auto found = m_networkTargets.constFind(datagram.senderAddress().toIPv4Address());
        if (found == m_networkTargets.cend())
            continue;
        const int index = *found;
        // Once a gateway has acknowledged, it is done: a second record it
        // sends during the tail draws no second write.
        if (m_acknowledged.at(index))
            continue;
        const QByteArray bytes = datagram.data();
        if (IsNetworkAcknowledgement(bytes)) {
            m_acknowledged[index] = true;
            ++m_acknowledgedCount;
            if (allAcknowledged() && m_onAcknowledged)
                m_onAcknowledged();
            continue;
        }
        if (!AcceptNetworkReply(bytes))
            continue;
        const GatewayReading &values = m_networkValues.at(index).values;
        const QByteArray write = BuildNetworkWrite(
            bytes, NetworkMaskText(values.hostBits),
            values.defaultGateway == 0 ? QString() : DottedAddressText(values.defaultGateway));
        if (!write.isEmpty() && m_socket.writeDatagram(write, datagram.senderAddress(), Telegram::Port) == write.size())
            m_sent[index] = true;
    }
}

bool WriteExchanges::sendResetTelegram(QUdpSocket &socket, quint32 newAddress, quint8 macByte5, quint8 macByte6,
                                       const QString &destination)
{
    const QByteArray telegram = BuildIpSetup(newAddress, macByte5, macByte6);
    return socket.writeDatagram(telegram, QHostAddress(InetAddr(destination)), Telegram::Port) == telegram.size();
}
