#pragma once

#include "GatewayScanner.h"
#include "WriteExchanges.h"

#include <QList>
#include <QString>

struct WritePlan;

// Where the write engine reads the gateways and sends its telegrams. The
// command line reads with the scanner and waits on Qt's loop
// (NetworkWriteLink); the window reads with its own list and refresh and
// waits with its progress bar, so that what it sends stays what its own
// refresh sends.
class WriteLink
{
public:
    // Why the gateways are read: before anything is decided, to find the
    // addresses a DHCP server gave, and to judge what the writes did.
    enum class Purpose { Before, Leases, After };
    enum class Kind { IpSetup, Identity, Network, Setup };

    struct ReadResult
    {
        GatewayScanner::Outcome outcome = GatewayScanner::Outcome::Finished;
        QString error;
        const GatewayList *list = nullptr; // valid until the next read
    };

    virtual ~WriteLink() = default;

    // Every gateway as it reports now.
    virtual ReadResult read(Purpose purpose) = 0;
    // One kind of write to every target, followed by its wait; per target
    // whether its telegram was handed to the network.
    virtual QList<bool> send(Kind kind, const QList<WriteExchanges::Target> &targets) = 0;
    // A gateway switched to DHCP was found at its lease: what is still to
    // be sent to it may be decided again from what it reports there.
    virtual void leaseFound(const GatewayReading &leased, WritePlan *pending)
    {
        Q_UNUSED(leased);
        Q_UNUSED(pending);
    }
};

// The link of a caller without a window: the pipelined scanner reads, the
// write exchanges send, every wait runs Qt's event loop and ends early once
// `stopRequested` answers true.
class NetworkWriteLink : public WriteLink
{
public:
    NetworkWriteLink(const ScanSettings &scan, const QStringList &ipSetupDestinations, const QString &password,
                     std::function<bool()> stopRequested);
    ~NetworkWriteLink() override;

    ReadResult read(Purpose purpose) override;
    QList<bool> send(Kind kind, const QList<WriteExchanges::Target> &targets) override;

private:
    ScanSettings m_scan;
    QStringList m_ipSetupDestinations;
    std::function<bool()> m_stopRequested;
    std::unique_ptr<GatewayScanner> m_scanner;
    WriteExchanges m_exchanges;
};
