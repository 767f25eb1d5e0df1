#pragma once

#include "GatewayReading.h"
#include "Texts.h"
#include "WantedValues.h"

#include <QHash>
#include <QStringList>

// What one gateway's write is to send, decided from what it reported and
// what is asked of it, before anything is sent. Pure: no socket, no clock.
struct WritePlan
{
    // A text number when the write must not go out (nothing is sent), with
    // the holder of a wanted address where that is the reason.
    int refusal = 0;
    QString holder;

    GatewayReading target; // the configuration the gateway is to have
    // What is asked, less what the gateway could never report back (the
    // mask of a DHCP gateway, the allowed mask in TCP-Client mode).
    ConfigurationChange wanted;
    QStringList ignored; // the keys left out of `wanted` for that reason
    bool lock = false;   // the record goes out locked with the password
    bool address = false; // IP-SETUP
    bool identity = false;
    bool network = false;
    bool setup = false;

    bool nothingToSend() const { return !address && !identity && !network && !setup; }
    int exchanges() const { return int(address) + int(identity) + int(network) + int(setup); }
    // A fixed address the gateway does not have yet.
    bool movesToFixedAddress() const { return address && !target.dhcp; }
    // The refusal as a sentence for the user.
    QString refusalText() const;
};

// What a decision needs besides the gateway: the other listed gateways'
// addresses by normalised MAC (12 hex digits), whether a password is there
// to lock a record with, whether a taken address may be overridden, and
// whether every part the change names goes out even where the gateway
// already has those values (the window's Set configuration writes what its
// editor shows; the commands send only what differs).
struct WriteContext
{
    QHash<QString, quint32> others;
    bool passwordGiven = false;
    bool force = false;
    bool rewrite = false;
};

WritePlan planWrite(const GatewayReading &current, const ConfigurationChange &change, const WriteContext &context);

// Whether the device table lets `typeCode` run `mode`; the first EnOcean
// firmware generation (1.x) still takes every mode.
bool ModeAllowed(quint32 typeCode, int mode, const QString &firmware);

// The listed MAC addresses, other than `mac`, that end in the same two bytes
// as `tail` (four hex digits, any case): IP-SETUP names a gateway by those
// two bytes alone, so each of them would take the address too. MACs in any
// of their written forms; the result as listed.
QStringList MacsEndingIn(const QString &tail, const QStringList &listedMacs, const QString &mac = {});

// Refuses the plan when `holder`, the MAC that answers on the link at the
// plan's new fixed address (NeighbourProbe), is another device's, or names
// this computer, whose own address it is.
void refuseTakenAddress(WritePlan *plan, const QString &holder);

// Whether a holder the link named is a MAC address ("00-50-C2-4A-00-0A"),
// not this computer.
bool HolderIsDevice(const QString &holder);

