#pragma once

#include "GatewayConfiguration.h"

#include <QEventLoop>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QUdpSocket>

// The write exchanges of many gateways side by side: each kind of write goes
// to every gateway that needs it from one socket, then one wait serves them
// all (8000 ms; the network writes end 200 ms after the last acknowledgement).
// The per-gateway order stays the window's: IP-SETUP, identity, subnet and
// default gateway, configuration.
class BatchWriter : public QObject
{
    Q_OBJECT

public:
    struct Job
    {
        QString address; // where the gateway answers now (after IP-SETUP: its new address)
        GatewayConfiguration target;
        bool lock = false;
    };

    BatchWriter(const QStringList &broadcastDestinations, const QString &password, QObject *parent = nullptr);

    // Each returns the addresses (for IP-SETUP: the MACs) the write was
    // handed to the network for; the network writes only those the gateway
    // acknowledged. Nothing is sent, and the result is empty, when UDP port
    // 30718 cannot be opened.
    QSet<QString> ipSetups(const QList<Job> &jobs);
    QSet<QString> identities(const QList<Job> &jobs);
    QSet<QString> networks(const QList<Job> &jobs);
    QSet<QString> setups(const QList<Job> &jobs);

private:
    bool open(bool broadcast);
    void close();
    void wait(int milliseconds);
    void receive();

    QStringList m_destinations;
    QString m_password;
    QUdpSocket m_socket;
    // Network writes in flight: the values for each gateway's address.
    QHash<quint32, Job> m_networkJobs;
    QSet<QString> m_acknowledged;
    QEventLoop *m_wait = nullptr;
};
