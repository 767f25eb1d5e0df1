#pragma once

#include "GatewayScanner.h"
#include "WantedValues.h"
#include "WriteDecision.h"
#include "WriteJudgement.h"
#include "WriteLink.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>

#include <functional>
#include <memory>

// What the link says of addresses a write would give: who answers at each
// one already, and which could not be asked about (no neighbour table, no
// local subnet holds the address, no answer in time), so that "free" is
// never claimed without evidence.
struct AddressCheck
{
    QHash<quint32, QString> holders; // address -> MAC answering there ("00-50-...")
    QSet<quint32> unchecked;
};

// One gateway to write: its MAC address (12 hex digits) and what it is to get.
struct WriteRequest
{
    QString mac;
    ConfigurationChange change;
};

// The one write sequence for every caller, for one gateway or a whole site:
// read every gateway, decide per gateway what changes and refuse what cannot
// be written safely (nothing sent), check new addresses on the link, record a
// snapshot of each before anything is sent, then send each kind of write to
// every gateway that needs it, in the fixed order IP-SETUP, OEM identity,
// subnet mask and default gateway, configuration record, each kind followed
// by its full wait (the network write's ends 200 ms after the last
// acknowledgement); look up again the gateways that went to DHCP, read every
// gateway again and judge each field by what it now reports.
//
// Driven by Qt's event loop: every wait runs the loop (nothing sleeps), and
// `phase` tells a caller what is going on. Where the reads and writes go is
// the link's business: the scanner and Qt's loop by default, the window's
// own list, refresh and wait for its "Set configuration" (a batch of one).
class WriteEngine : public QObject
{
    Q_OBJECT

public:
    // What the engine asks of its caller around the writes; the site
    // library's journal and neighbour probe, or a test's fakes.
    struct Safeguards
    {
        // Records what a gateway reported and what is to be sent; false
        // (and `error` set) stops the whole run before anything is sent.
        std::function<bool(const WriteReport &report, const WritePlan &plan, QString *error)> recordSnapshot;
        // Records how a recorded write ended.
        std::function<void(const WriteReport &report)> recordOutcome;
        // Asks the link about the new fixed addresses.
        std::function<AddressCheck(const QList<quint32> &addresses)> checkAddresses;
    };

    struct Settings
    {
        ScanSettings scan;                 // how the gateways are read
        QStringList ipSetupDestinations;   // where IP-SETUP goes
        QString password;                  // locks records; empty: none given
        // The caller's link locks records with a password of its own (the
        // window's, whatever it holds).
        bool passwordKept = false;
        bool force = false;                // a taken address may be given anyway
        // Every part the request names goes out, even where the gateway has
        // it already (the window writes what its editor shows).
        bool rewrite = false;
        // A row whose last IP-SETUP, identity or record write could not be
        // handed to the network, or whose DHCP lease was not found, is not
        // sent anything more nor read again: "notSent" or "stopped".
        bool stopAtUnsentWrite = false;
        bool keepGoing = true;             // false: rows after a refusal are skipped
        bool dryRun = false;               // decide and report, send nothing
        bool reportUnplanned = false;      // list the gateways no request names
        // Rounds of sending again what a gateway does not report yet (0: the
        // written rows are read once and judged, as the window does).
        int retryRounds = 0;
        // Asked during every wait and between the phases: true ends the run
        // as soon as the current wait ends; what was sent is recorded
        // with the outcome "stopped".
        std::function<bool()> stopRequested;
    };

    struct Result
    {
        GatewayScanner::Outcome scan = GatewayScanner::Outcome::Finished;
        QString socketError;
        QString journalError; // the snapshot could not be recorded: nothing sent
        QList<WriteReport> reports;   // one per request, in request order
        QList<WritePlan> plans;       // what each was to get, in request order
        QList<WriteReport> unplanned; // gateways no request named
    };

    // Without a link the engine reads and writes through a NetworkWriteLink
    // of `settings`.
    WriteEngine(const Settings &settings, const Safeguards &safeguards, WriteLink *link = nullptr,
                QObject *parent = nullptr);
    ~WriteEngine() override;

    Result run(const QList<WriteRequest> &requests);

signals:
    // A phase began: its name ("read", "ipSetup", "identity", "network",
    // "setup", "lookup", "confirm"), how many gateways it concerns and how
    // long it waits at most.
    void phase(const QString &name, int gateways, int waitMs);
    // One row's result is final (refused, nothing to write, confirmed, ...);
    // every row is reported once, in the order its result is known.
    void rowFinished(const WriteReport &report);

private:
    struct Job;

    const GatewayList *read(WriteLink::Purpose purpose, Result *result);
    void decide(const GatewayList &list, QList<Job> &jobs, Result *result);
    void send(QList<Job> &jobs, Result *result);
    void sendPending(QList<Job> &jobs);
    void sendIpSetups(QList<Job> &jobs);
    void lookUpLeases(QList<Job> &jobs);
    void sendKind(QList<Job> &jobs, bool WritePlan::*kind, WriteLink::Kind linkKind, const QString &name);
    void endUnsent(QList<Job> &jobs);
    void finish(Job &job);
    void confirm(QList<Job> &jobs, Result *result);
    bool stopped() const { return m_settings.stopRequested && m_settings.stopRequested(); }
    void stopWritten(QList<Job> &jobs);

    Settings m_settings;
    Safeguards m_safeguards;
    std::unique_ptr<WriteLink> m_ownLink;
    WriteLink *m_link;
};
