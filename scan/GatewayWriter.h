#pragma once

#include "GatewayConfiguration.h"
#include "GatewaySocketOwner.h"

#include <QEventLoop>
#include <QObject>
#include <QPointer>
#include <QStringList>

// The write exchanges of "Set configuration" for the command line: each on a
// socket of its own with the window's waits (8000 ms, the network write
// ending 200 ms after the gateway's acknowledgement), on the same protocol
// code as the window, without the window.
class GatewayWriter : public QObject, public GatewaySocketOwner
{
    Q_OBJECT

public:
    // `broadcast` is the address for IP-SETUP (empty: every adapter).
    GatewayWriter(const QString &broadcast, bool protect, const QString &password, QObject *parent = nullptr);

    // Each returns true when the telegram was handed to the network.
    bool writeIpSetup(quint32 newAddress, const QString &mac);
    bool writeIdentity(const QString &addressText, quint32 typeCode);
    // True only when the gateway acknowledged the new values.
    bool writeNetwork(const QString &addressText, int hostBits, quint32 defaultGateway);
    bool writeSetup(const QString &addressText, const GatewayConfiguration &configuration);

    // The reset's IP-SETUP: one telegram to each adapter broadcast address,
    // 250 ms after each, then 5000 ms.
    static bool sendReset(quint32 newAddress, quint8 macByte5, quint8 macByte6);

    // GatewaySocketOwner
    GatewayList &gatewayList() override { return m_list; }
    quint32 typeFilter() const override { return 0; }
    bool passwordProtection() const override { return m_protect; }
    QString password() const override { return m_password; }
    EditorContents editorContents() const override { return m_contents; }
    void postCompletion() override;

private:
    void wait(int milliseconds);

    QString m_broadcast;
    bool m_protect = false;
    QString m_password;
    EditorContents m_contents;
    GatewayList m_list;
    QPointer<QEventLoop> m_wait;
    bool m_completed = false;
};
