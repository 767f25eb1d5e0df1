#pragma once

#include "RowStatus.h"
#include "Telegrams.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

// Four decimal parts of 0-255, nothing else: the strict reading of an
// address a person or a file gives (the gateways' own texts go through
// ParseDottedAddress, which never refuses).
std::optional<quint32> DottedValue(const QString &text);

// The command line's and the journal's name of a communication mode
// ("tcp-server", ...); empty outside 0-3.
QString modeKey(int mode);

// One gateway as the replies it sent describe it. Each part is there only
// when its reply came and was accepted, so "not read" never turns into a
// zero, an unknown type or an unlocked record. Filled from the reply bytes
// as they arrive (GatewayRowWriter); the list's texts are only a view of it.
struct GatewayReading
{
    // From the discovery reply.
    QString mac; // "00-50-C2-4A-00-0A"
    quint32 address = 0;
    QString firmware; // "%X.%X"

    // From the identity reply: 0 until one of a known type was accepted.
    quint32 typeCode = 0;
    int status = int(RowStatus::Discovered);

    // From the network reply.
    bool networkRead = false;
    bool dhcp = false;
    int hostBits = 0; // as the list shows them: 0 for a DHCP gateway
    quint32 defaultGateway = 0;
    QByteArray networkReply; // the reply itself, which a network write modifies

    // From the setup reply: the record when it could be read.
    bool recordRead = false;
    quint8 modeByte = 0;
    quint16 port = 0;
    quint32 remoteAddress = 0;
    quint32 remoteMask = 0;
    qint32 baudRate = 0;
    int dataBits = 0;
    int stopBits = 0;
    int parity = 0;
    int flowControl = 0;
    // Whether the record is locked with a password: known once a setup
    // reply was verified (a locked record that the password does not open
    // is known locked, though its fields stay unread).
    std::optional<bool> lock;

    bool identified() const { return typeCode != 0; }
    // The mode as the tool shows and writes it: bytes above 3 read as 3.
    int mode() const { return qMin(int(modeByte), 3); }
    // The gateway keeps no mask of allowed addresses in TCP-Client mode.
    bool reportsRemoteMask() const { return recordRead && mode() != 1; }

    // Stable keys and typed values; a part that was not read has no keys.
    QJsonObject toJson() const;
    // The reverse, strict: a missing key is "not read"; a key that is there
    // with a value the gateway cannot have reported (a port of 1e20, a type
    // outside the device table, "locked": "true") is damage, and nothing is
    // returned, `damagedKey` naming it.
    static std::optional<GatewayReading> fromJson(const QJsonObject &object, QString *damagedKey = nullptr);
};

// The serial values the gateways offer (the editor's lists).
bool IsOfferedBaudRate(qint64 baudRate);
bool IsOfferedDataBits(qint64 dataBits);
bool IsOfferedStopBits(qint64 stopBits);
bool IsOfferedParity(qint64 parity);
bool IsOfferedFlowControl(qint64 flowControl);
