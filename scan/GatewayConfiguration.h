#pragma once

#include "GatewayList.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

// Four decimal parts of 0-255, nothing else.
std::optional<quint32> DottedValue(const QString &text);

// The values `ovipgw set` takes, by their option names without the dashes
// ("ip", "mask", ..., "oem"); a plan's columns have the same names.
const QStringList &ChangeOptionNames();

// A subnet mask as the network write takes it: empty for no host bits, the
// gateway's own choice.
QString NetworkMaskText(int hostBits);

// The command line's name of a communication mode ("tcp-server", ...).
QString modeKey(int mode);

// One gateway's configuration as typed values, read back from the texts a
// scan wrote into its row. The network and record parts are present only
// when the gateway answered those reads.
struct GatewayConfiguration
{
    QString mac; // "00-50-C2-4A-00-0A"
    quint32 typeCode = 0;
    int status = 0; // RowStatus
    bool dhcp = false;
    quint32 address = 0;

    bool networkRead = false;
    int hostBits = 0;
    quint32 defaultGateway = 0;

    bool recordRead = false;
    int mode = 0;
    int port = 0;
    quint32 remoteAddress = 0;
    quint32 remoteMask = 0;
    qint32 baudRate = 0;
    int dataBits = 0;
    int stopBits = 0;
    int parity = 0;
    int flowControl = 0;

    static GatewayConfiguration fromRow(const GatewayList &list, int row);
    // The same from a row's fourteen column texts.
    static GatewayConfiguration fromCells(const QStringList &cells, quint32 typeCode, int status);

    // Stable keys, typed values (numbers, true/false, dotted addresses).
    QJsonObject toJson() const;
    static std::optional<GatewayConfiguration> fromJson(const QJsonObject &object);

    bool locked() const { return status == int(RowStatus::PasswordOk) || status == int(RowStatus::WrongPassword); }
};

// What a `set` asks for; unset fields stay as the gateway has them.
struct ConfigurationChange
{
    std::optional<bool> dhcp;
    std::optional<quint32> address;
    std::optional<int> hostBits;
    std::optional<quint32> defaultGateway;
    std::optional<int> mode;
    std::optional<int> port;
    std::optional<quint32> remoteAddress;
    std::optional<quint32> remoteMask;
    std::optional<qint32> baudRate;
    std::optional<int> dataBits;
    std::optional<int> stopBits;
    std::optional<int> parity;
    std::optional<int> flowControl;
    std::optional<quint32> oemType;
    // Locked with the password (--protect); unset keeps the gateway's lock.
    std::optional<bool> locked;

    // One option of `ovipgw set` ("--port", "10005"); false when the value is
    // not one the option takes (out of range, not a subnet mask, ...).
    bool take(const QString &option, const QString &value);

    // Every field of `configuration` that was read, as a change (restore).
    static ConfigurationChange everything(const GatewayConfiguration &configuration);
    bool touchesNetwork() const { return hostBits || defaultGateway; }
    bool touchesRecord() const
    {
        return mode || port || remoteAddress || remoteMask || baudRate || dataBits || stopBits || parity
            || flowControl;
    }
};

// A field the change names, with the value wanted and the one the gateway
// reports, in the JSON key and text forms.
struct FieldComparison
{
    QString key;
    QString wanted;
    QString reported;
    bool matches() const { return wanted == reported; }
};

// The fields `change` names, compared with `configuration`.
QList<FieldComparison> compareFields(const ConfigurationChange &change, const GatewayConfiguration &configuration);
