#pragma once

#include "GatewayExchange.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// A network that exists only in the test: the window's exchanges are served
// by timers that write into the owner's list as the reply handlers would.
// Nothing touches a socket.
struct FakeNetwork
{
    struct Gateway
    {
        QString ip;
        QString mac;
        quint32 typeCode = 0x00000001; // 0: never answers the identity request
        bool completes = true;         // whether the read ends with a completion
        int replyMs = 2;               // delay of each answer
    };

    QList<Gateway> gateways;
    int discoveryReplyMs = 20;
    bool portHeld = false;           // every exchange fails to open
    // "discover <broadcast>", "identity <row> <ip>", "ipsetup <address hex> <mac tail hex>",
    // "identitywrite <ip>", "networkwrite <ip>", "acknowledged", "setupwrite <ip> <mac> <type hex>", "close"
    QStringList log;
    // The window's password at each discovery; empty with protection off.
    QStringList discoveryPasswords;
    int openExchanges = 0;
    int mostOpenAtOnce = 0;

    GatewayExchangeFactory factory();
};
