#pragma once

// What one simulated gateway is at start: its identity, network settings,
// configuration record and the faults it shows. Read from and written back to
// the simulator's JSON file.

#include "Telegrams.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

// The requests a gateway can be told to ignore, by their names in the file.
enum class GatewayRequest {
    Discovery,
    Identity,
    Network,
    Setup,
    NetworkWrite,
    IdentityWrite,
    SetupWrite,
    IpSetup,
};

enum class SetupReplyFault { Ok, BadChecksum, WrongMac, WrongType, BadMarker };
enum class MalformedFault { None, Truncated, Oversized };

struct GatewayFaults
{
    QSet<GatewayRequest> ignore;
    int delayMs = 0;
    int discoveryReplies = 1;
    SetupReplyFault setupReply = SetupReplyFault::Ok;
    MalformedFault malformed = MalformedFault::None;
    int garbageDatagrams = 0;
};

// The serial and connection settings of the configuration record.
struct SetupSettings
{
    quint8 mode = 0;
    quint16 port = 10001;
    quint32 remote = 0; // address value
    quint32 mask = 0;   // address value
    quint32 baudRate = 9600;
    quint8 dataBits = 8;
    quint8 stopBits = 1;
    quint8 parity = 0;
    quint8 flowControl = 0;
};

struct GatewayConfig
{
    QString name;
    quint32 address = 0; // address value
    MacAddress mac{};
    quint8 firmwareMajor = 1;
    quint8 firmwareMinor = 0;
    quint32 typeCode = 0x00000001;
    QByteArray company; // maker identity from offset 8, at most 122 bytes
    bool dhcp = false;
    int hostBits = 8;
    quint32 defaultGateway = 0; // address value
    SetupSettings setup;
    std::optional<QString> password;
    GatewayFaults faults;

    // Records kept by --save: when present they replace what the fields
    // above would build, byte for byte.
    QByteArray setupRecord;   // 130 bytes, header D6, or empty
    QByteArray networkRecord; // 124 bytes, header F9, or empty

    // The gateway's object as it stood in the file (unknown order and the
    // fields it gave are kept when the state is written back).
    QJsonObject source;
};

namespace SimConfig {

// Parses the whole file. On failure returns nothing and sets `error` to a
// message that names the offending entry and field.
std::optional<QList<GatewayConfig>> parse(const QByteArray &json, QString *error);

// One gateway object; `where` prefixes error messages (e.g. "gateways[3]").
std::optional<GatewayConfig> parseGateway(const QJsonObject &object, const QString &where,
                                          QString *error);

// The gateway's object with its current state written into it.
QJsonObject toJson(const GatewayConfig &gateway);

QString requestName(GatewayRequest request);
std::optional<GatewayRequest> requestFromName(const QString &name);

// The simulated LAN: 198.18.0.0/24. Gateways live on host addresses .1-.254
// of it and nowhere else.
inline constexpr quint32 LanNetwork = 0xC6120000;
inline constexpr quint32 LanNetmask = 0xFFFFFF00;
bool isLanHostAddress(quint32 addressValue);

} // namespace SimConfig
