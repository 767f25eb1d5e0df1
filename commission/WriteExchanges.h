#pragma once

#include "GatewayReading.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QUdpSocket>

#include <functional>

// The write exchanges with the gateways, each kind for any number of
// gateways at once: one socket on UDP port 30718, every telegram of the
// kind, then one wait, then the socket is closed. Writes are answered by
// nothing (IP-SETUP, identity, record) or, for the subnet write, by an
// acknowledgement, so the wait is what gives a gateway its time; the subnet
// write's wait ends shortly after the last acknowledgement.
//
// The caller supplies the wait: the command line runs Qt's loop for it, the
// window its own wait with the progress bar.
class WriteExchanges : public QObject
{
    Q_OBJECT

public:
    struct Target
    {
        QString mac;            // 12 hex digits
        QString destination;    // where the gateway answers (a dotted address; " (DHCP)" after it is ignored)
        GatewayReading values;  // what it is to get: address/dhcp, type, subnet, record
        bool lock = false;      // the record goes out locked with the password
    };

    // Runs the event loop for `milliseconds`; once `done()` answers true it
    // ends ExchangeWait::CompletionTailMs later.
    using Wait = std::function<void(int milliseconds, const std::function<bool()> &done)>;

    WriteExchanges(const QString &password, Wait wait, QObject *parent = nullptr);

    // A wait on a nested event loop, for callers without a window.
    static Wait loopWait();

    // Each sends one kind to every target, waits with the caller's wait and
    // closes, and returns per target whether its telegram was handed to the
    // network (for the subnet write: whether the write answering the
    // gateway's record went out). portTaken() tells when the socket could
    // not be opened; the wait runs all the same.
    QList<bool> ipSetup(const QList<Target> &targets, const QStringList &destinations);
    QList<bool> identity(const QList<Target> &targets);
    QList<bool> network(const QList<Target> &targets);
    QList<bool> setup(const QList<Target> &targets);

    // The same in steps, for a caller that runs the wait itself: begin
    // opens the socket and sends (false: nothing went out), the caller lets
    // the event loop run (allAcknowledged() ends a subnet write's wait
    // early), end() closes the socket.
    bool beginIpSetup(const QList<Target> &targets, const QStringList &destinations);
    bool beginIdentity(const QList<Target> &targets);
    bool beginNetwork(const QList<Target> &targets);
    bool beginSetup(const QList<Target> &targets);
    bool allAcknowledged() const { return m_acknowledgedCount > 0 && m_acknowledgedCount == m_sent.size(); }
    // From now on replies are left unhandled until end().
    void stopReceiving() { m_receiving = false; }
    void end();

    // Per target of the last exchange: handed to the network; for the
    // subnet write also whether the gateway acknowledged it.
    QList<bool> sent() const { return m_sent; }
    QList<bool> acknowledged() const { return m_acknowledged; }
    // Whether the last exchange could not open its socket.
    bool portTaken() const { return m_portTaken; }

    // Called once every gateway of a subnet write has acknowledged it.
    void setAcknowledgedHandler(std::function<void()> handler) { m_onAcknowledged = std::move(handler); }

    // One reset telegram (IP-SETUP for the gateway whose MAC ends in the two
    // bytes) to `destination` on `socket`, which the caller has bound to the
    // gateway port with broadcasts allowed.
    static bool sendResetTelegram(QUdpSocket &socket, quint32 newAddress, quint8 macByte5, quint8 macByte6,
                                  const QString &destination);

private:
    bool open(bool broadcast, qsizetype targets);
    // Opens the socket and sends each target its own telegram.
    bool sendToEach(const QList<Target> &targets, const std::function<QByteArray(const Target &)> &build);
    QList<bool> waitAndEnd();
    void receive();

    QString m_password;
    Wait m_wait;
    std::function<void()> m_onAcknowledged;
    QUdpSocket m_socket;
    bool m_portTaken = false;
    bool m_receiving = false;
    QList<bool> m_sent;
    // The subnet write in flight: each gateway's index by its address.
    QHash<quint32, int> m_networkTargets;
    QList<Target> m_networkValues;
    QList<bool> m_acknowledged;
    int m_acknowledgedCount = 0;
};
