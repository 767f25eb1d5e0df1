#pragma once

#include "GatewayReading.h"

#include <QString>
#include <QList>
#include <QStringList>

#include <optional>

// The values `ovipgw set` takes, by their option names without the dashes
// ("ip", "mask", ..., "oem"); a plan's columns have the same names.
const QStringList &ChangeOptionNames();

// A subnet mask as the network write takes it: empty for no host bits, the
// gateway's own choice.
QString NetworkMaskText(int hostBits);

// What a write is to give a gateway, field by field: a field that is not
// set is left as the gateway has it. Typed by a person (the window's editor,
// `set`'s options), a plan's cells or a snapshot of the journal.
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

    // Every value of `record`'s configuration record (its mask of allowed
    // addresses only `withMask`); the lock is left as it is.
    void takeRecord(const GatewayReading &record, bool withMask);

    // What a snapshot read of the gateway, to be written back (restore):
    // only the parts it read, so a reply that was lost then is never
    // written as zero, type 0 or unlocked now.
    static ConfigurationChange fromSnapshot(const GatewayReading &snapshot);

    bool touchesNetwork() const { return hostBits || defaultGateway; }
    bool touchesRecord() const
    {
        return mode || port || remoteAddress || remoteMask || baudRate || dataBits || stopBits || parity
            || flowControl;
    }
    // Every value a configuration record carries, the lock included (the
    // mask of allowed addresses only outside TCP-Client mode): a record that
    // was never read may be written from these alone.
    bool namesWholeRecord() const
    {
        return mode && port && remoteAddress && (remoteMask || *mode == 1) && baudRate && dataBits && stopBits
            && parity && flowControl && locked;
    }
};

struct LocalAdapter;

// Why no gateway can be given `address` as its own, as the text to show
// ("%1 is a loopback address ..."), or empty when it can: loopback (127/8),
// multicast (224/4), "this network" (0/8), the limited broadcast and, for
// the subnet of an adapter that holds it, that subnet's network and
// broadcast address. A gateway given one of them is lost to the network
// until someone resets it on site.
QString UnusableAddressText(quint32 address, const QList<LocalAdapter> &adapters);
