#pragma once

#include "GatewayList.h"

#include <QByteArray>
#include <QString>

// The reads that fill a listed gateway's row after its discovery reply: its
// identity, then its network settings, then its configuration record, each
// asked once the reply before was accepted. The window's reads and the
// scanner ask in this order and fill rows through the same row writer.
class GatewayReadChain
{
public:
    enum class Step { Identity, Network, Setup, Done };

    struct Options
    {
        quint32 typeFilter = 0; // 0 = every type
        bool passwordProtection = false;
        QString password;
    };

    // The request telegram of `step`; empty for Done.
    static QByteArray request(Step step);
    // The discovery request that starts every read.
    static QByteArray discoveryRequest();

    Step step() const { return m_step; }
    bool done() const { return m_step == Step::Done; }
    QByteArray request() const { return request(m_step); }

    // Takes a datagram from the gateway at `sourceText`: the reply the
    // current step waits for fills `row` and moves the chain on (to Done
    // when the gateway turned out to be of another type or maker, which
    // would answer the same again). False for anything else, which changes
    // nothing.
    bool take(GatewayList &list, int row, const QByteArray &datagram, const QString &sourceText,
              const Options &options);
    // Ends the chain where it stands.
    void stop() { m_step = Step::Done; }

private:
    Step m_step = Step::Identity;
};
