#pragma once

#include "GatewayConfiguration.h"

// What one gateway's write is to send, decided from what it reported and
// what is asked of it, before anything is sent.
struct WritePlan
{
    // A text number when the write must not go out (nothing is sent), with
    // the holder of a wanted address where that is the reason.
    int refusal = 0;
    QString holder;

    GatewayConfiguration target; // the configuration the gateway is to have
    bool lock = false;           // the record goes out locked with the password
    bool address = false;        // IP-SETUP
    bool identity = false;
    bool network = false;
    bool setup = false;

    bool nothingToSend() const { return !address && !identity && !network && !setup; }
    // A fixed address the gateway does not have yet.
    bool movesToFixedAddress() const { return address && !target.dhcp; }
    // The refusal as a sentence for the user.
    QString refusalText(const ConfigurationChange &change) const;
};

// `others` are the other gateways' addresses by normalised MAC (12 hex
// digits) as listed; a new fixed address one of them has is refused unless
// `force`.
WritePlan planWrite(const GatewayConfiguration &current, const ConfigurationChange &change,
                    const QHash<QString, quint32> &others, bool force);

// Refuses the plan when `holder`, the MAC that answers on the link at the
// plan's new fixed address (NeighbourProbe), is another device's.
void refuseTakenAddress(WritePlan *plan, const QString &holder);

// Texts of the refusals and results of the writing commands.
namespace WriteText {
enum : int {
    Locked = 422,
    Corrupt = 423,
    UnknownType = 424,
    RecordNotRead = 425,
    NetworkNotRead = 426,
    ModeRefused = 427,
    ListedHolder = 428,
    ProbedHolder = 429,
    PasswordNeeded = 447,
};
} // namespace WriteText
