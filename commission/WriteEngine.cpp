#include "WriteEngine.h"

#include "BroadcastDestinations.h"
#include "ExchangeWaits.h"
#include "StringTable.h"
#include "Telegrams.h"
#include "Texts.h"

#include <QSet>
#include <QUuid>

#include <algorithm>

namespace {

// The first row of each MAC address, as the window's lookups find it.
QHash<QString, int> rowsByMac(const GatewayList &list)
{
    QHash<QString, int> rows;
    for (int row = list.count() - 1; row >= 0; --row)
        rows.insert(MacKey(list.cellText(row, GatewayList::MacAddressColumn)), row);
    return rows;
}

void refuse(WriteReport &report, const QString &result, const QString &text)
{
    report.result = result;
    report.text = text;
    report.status = WriteStatus::Refused;
}

} // namespace

struct WriteEngine::Job
{
    WriteRequest request;
    WriteReport report;
    WritePlan plan;    // what the row is to get, judged at the end
    WritePlan pending; // the exchanges the current round sends
    bool write = false;
    QString destination; // where the gateway answers now; empty: nowhere known
    // Whether the last IP-SETUP, identity or record write went out, and
    // whether a DHCP lease was looked for in vain.
    bool lastSent = true;
    bool leaseMissing = false;
    bool ended = false; // its result is final before the confirming read

    bool awaitsConfirmation() const { return write && !ended; }
};

WriteEngine::WriteEngine(const Settings &settings, const Safeguards &safeguards, WriteLink *link, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_safeguards(safeguards)
    , m_link(link)
{
    if (!m_link) {
        m_ownLink = std::make_unique<NetworkWriteLink>(settings.scan, settings.ipSetupDestinations,
                                                       settings.password, [this] { return stopped(); });
        m_link = m_ownLink.get();
    }
}

WriteEngine::~WriteEngine() = default;

const GatewayList *WriteEngine::read(WriteLink::Purpose purpose, Result *result)
{
    const WriteLink::ReadResult read = m_link->read(purpose);
    result->scan = read.outcome;
    result->socketError = read.error;
    return read.outcome == GatewayScanner::Outcome::Finished ? read.list : nullptr;
}

WriteEngine::Result WriteEngine::run(const QList<WriteRequest> &requests)
{
    Result result;
    QList<Job> jobs;
    for (const WriteRequest &request : requests) {
        Job job;
        job.request = request;
        job.report.mac = MacAddressText(MacAddressFromText(request.mac));
        job.report.journalId = QUuid::createUuid().toString(QUuid::WithoutBraces);
        jobs.append(job);
    }
    emit phase(QStringLiteral("read"), int(jobs.size()), m_settings.scan.timeoutMs);
    const GatewayList *before = read(WriteLink::Purpose::Before, &result);
    if (!before)
        return result;
    decide(*before, jobs, &result);
    for (const Job &job : jobs) {
        if (!job.write || m_settings.dryRun)
            emit rowFinished(job.report);
    }
    const bool anyWrite = std::any_of(jobs.cbegin(), jobs.cend(), [](const Job &job) { return job.write; });
    if (!m_settings.dryRun && anyWrite) {
        send(jobs, &result);
        if (result.journalError.isEmpty())
            confirm(jobs, &result);
    }
    for (const Job &job : jobs) {
        result.reports.append(job.report);
        result.plans.append(job.plan);
    }
    return result;
}

void WriteEngine::decide(const GatewayList &list, QList<Job> &jobs, Result *result)
{
    const QHash<QString, int> rows = rowsByMac(list);
    // Addresses taken: every listed gateway's, then each planned new one,
    // so that two requests never aim at the same address.
    QHash<QString, quint32> taken;
    for (int row = 0; row < list.count(); ++row)
        taken.insert(MacKey(list.cellText(row, GatewayList::MacAddressColumn)), list.reading(row).address);
    // A new fixed address is asked about on the link only where nothing
    // else refuses the write already.
    const auto asksForNewAddress = [this](const Job &job) {
        return !m_settings.force && !job.plan.refusal && job.plan.movesToFixedAddress()
            && job.plan.target.address != job.report.read->address;
    };

    QList<quint32> wanted;
    for (Job &job : jobs) {
        WriteReport &report = job.report;
        const auto row = rows.constFind(job.request.mac);
        if (row == rows.cend()) {
            report.result = QStringLiteral("missing");
            report.text = loadString(Text::GatewayMissing);
            report.status = WriteStatus::NotFound;
            continue;
        }
        const GatewayReading current = list.reading(*row);
        report.read = current;
        WriteContext context;
        context.others = taken;
        context.others.remove(job.request.mac);
        context.passwordGiven = !m_settings.password.isEmpty() || m_settings.passwordKept;
        context.force = m_settings.force;
        context.rewrite = m_settings.rewrite;
        job.plan = planWrite(current, job.request.change, context);
        report.fields = compareFields(job.plan.wanted, current);
        if (asksForNewAddress(job))
            wanted.append(job.plan.target.address);
        if (!job.plan.refusal && job.plan.movesToFixedAddress())
            taken.insert(job.request.mac, job.plan.target.address);
    }
    // Every new fixed address is probed on the link at once.
    AddressCheck probed;
    if (!wanted.isEmpty()) {
        if (m_safeguards.checkAddresses)
            probed = m_safeguards.checkAddresses(wanted);
        else
            probed.unchecked = QSet<quint32>(wanted.cbegin(), wanted.cend());
    }

    bool anyRefused = false;
    for (Job &job : jobs) {
        WriteReport &report = job.report;
        if (!report.read)
            continue;
        if (asksForNewAddress(job)) {
            const quint32 address = job.plan.target.address;
            refuseTakenAddress(&job.plan, probed.holders.value(address));
            report.addressCheck = probed.unchecked.contains(address) ? QStringLiteral("notChecked")
                : probed.holders.contains(address)                   ? QStringLiteral("taken")
                                                                     : QStringLiteral("free");
        }
        if (job.plan.refusal) {
            refuse(report, QStringLiteral("refused"), job.plan.refusalText());
            anyRefused = true;
            continue;
        }
        if (job.plan.nothingToSend()) {
            report.result = QStringLiteral("nothingToWrite");
            report.text = loadString(Text::NothingToWrite);
            continue;
        }
        job.write = true;
        QStringList changed;
        for (const FieldComparison &field : report.fields) {
            if (!field.matches())
                changed.append(field.key);
        }
        report.result = QStringLiteral("changed");
        report.text = loadString(Text::WouldWrite).arg(changed.join(QStringLiteral(", ")));
    }
    // A site is written whole or not at all, unless the caller accepts a
    // part: a refused row stops every other one before anything is sent.
    if (anyRefused && !m_settings.keepGoing) {
        for (Job &job : jobs) {
            if (job.write) {
                job.write = false;
                refuse(job.report, QStringLiteral("skipped"), loadString(Text::WriteSkipped));
            }
        }
    }

    if (!m_settings.reportUnplanned)
        return;
    QSet<QString> named;
    for (const Job &job : jobs)
        named.insert(job.request.mac);
    for (int row = 0; row < list.count(); ++row) {
        if (named.contains(MacKey(list.cellText(row, GatewayList::MacAddressColumn))))
            continue;
        WriteReport report;
        report.mac = list.cellText(row, GatewayList::MacAddressColumn);
        report.result = QStringLiteral("notInPlan");
        report.text = loadString(Text::NotInPlan);
        report.read = list.reading(row);
        result->unplanned.append(report);
    }
}

void WriteEngine::send(QList<Job> &jobs, Result *result)
{
    // Every snapshot first: nothing is sent when one cannot be recorded.
    for (Job &job : jobs) {
        if (!job.write || !m_safeguards.recordSnapshot)
            continue;
        QString error;
        if (!m_safeguards.recordSnapshot(job.report, job.plan, &error)) {
            result->journalError = error;
            for (Job &other : jobs) {
                if (other.write) {
                    other.write = false;
                    refuse(other.report, QStringLiteral("refused"), error);
                }
            }
            return;
        }
    }
    for (Job &job : jobs) {
        job.destination = job.write ? DottedAddressText(job.report.read->address) : QString();
        job.pending = job.plan;
    }
    sendPending(jobs);
}

void WriteEngine::sendPending(QList<Job> &jobs)
{
    const std::function<void()> steps[] = {
        [&] { sendIpSetups(jobs); },
        [&] { lookUpLeases(jobs); },
        [&] { sendKind(jobs, &WritePlan::identity, WriteLink::Kind::Identity, QStringLiteral("identity")); },
        [&] { sendKind(jobs, &WritePlan::network, WriteLink::Kind::Network, QStringLiteral("network")); },
        [&] { sendKind(jobs, &WritePlan::setup, WriteLink::Kind::Setup, QStringLiteral("setup")); },
    };
    for (const std::function<void()> &step : steps) {
        if (stopped())
            return;
        step();
    }
}

namespace {

WriteExchanges::Target targetOf(const QString &mac, const QString &destination, const WritePlan &plan)
{
    return {mac, destination, plan.target, plan.lock};
}

bool switchedToDhcp(const WriteReport &report, const WritePlan &pending)
{
    return pending.address && pending.target.dhcp && report.sent.contains(QStringLiteral("ipSetup"));
}

} // namespace

void WriteEngine::sendIpSetups(QList<Job> &jobs)
{
    QList<Job *> due;
    QList<WriteExchanges::Target> targets;
    for (Job &job : jobs) {
        if (job.awaitsConfirmation() && job.pending.address) {
            due.append(&job);
            targets.append(targetOf(job.request.mac, job.destination, job.pending));
        }
    }
    if (due.isEmpty())
        return;
    emit phase(QStringLiteral("ipSetup"), int(due.size()), ExchangeWait::WriteMs);
    const QList<bool> sent = m_link->send(WriteLink::Kind::IpSetup, targets);
    for (qsizetype i = 0; i < due.size(); ++i) {
        Job *job = due.at(i);
        job->lastSent = sent.value(i);
        if (job->lastSent) {
            if (!job->report.sent.contains(QStringLiteral("ipSetup")))
                job->report.sent.append(QStringLiteral("ipSetup"));
            job->destination = job->pending.target.dhcp ? QString() : DottedAddressText(job->pending.target.address);
        } else {
            // Nothing else goes to a gateway whose address change failed.
            job->destination.clear();
        }
    }
}

void WriteEngine::lookUpLeases(QList<Job> &jobs)
{
    const bool anyDhcp = std::any_of(jobs.cbegin(), jobs.cend(), [](const Job &job) {
        return job.awaitsConfirmation() && switchedToDhcp(job.report, job.pending);
    });
    if (!anyDhcp)
        return;
    // The addresses the DHCP server gave.
    emit phase(QStringLiteral("lookup"), int(jobs.size()), m_settings.scan.timeoutMs);
    Result ignored;
    const GatewayList *leased = read(WriteLink::Purpose::Leases, &ignored);
    const QHash<QString, int> rows = leased ? rowsByMac(*leased) : QHash<QString, int>();
    for (Job &job : jobs) {
        if (!job.awaitsConfirmation() || !switchedToDhcp(job.report, job.pending))
            continue;
        const auto row = rows.constFind(job.request.mac);
        const GatewayReading lease = row != rows.cend() ? leased->reading(*row) : GatewayReading{};
        // A row without an address gives nothing to write to either.
        job.leaseMissing = lease.address == 0;
        if (job.leaseMissing)
            continue;
        job.destination = DottedAddressText(lease.address);
        m_link->leaseFound(lease, &job.pending);
    }
}

void WriteEngine::sendKind(QList<Job> &jobs, bool WritePlan::*kind, WriteLink::Kind linkKind, const QString &name)
{
    QList<Job *> due;
    QList<WriteExchanges::Target> targets;
    for (Job &job : jobs) {
        if (job.awaitsConfirmation() && job.pending.*kind && !job.destination.isEmpty()
            && !(m_settings.stopAtUnsentWrite && job.leaseMissing)) {
            due.append(&job);
            targets.append(targetOf(job.request.mac, job.destination, job.pending));
        }
    }
    if (due.isEmpty())
        return;
    emit phase(name, int(due.size()), ExchangeWait::WriteMs);
    const QList<bool> sent = m_link->send(linkKind, targets);
    for (qsizetype i = 0; i < due.size(); ++i) {
        Job *job = due.at(i);
        // The subnet write's own acknowledgement decides about it alone.
        if (linkKind != WriteLink::Kind::Network)
            job->lastSent = sent.value(i);
        if (sent.value(i) && !job->report.sent.contains(name))
            job->report.sent.append(name);
    }
}

void WriteEngine::endUnsent(QList<Job> &jobs)
{
    if (!m_settings.stopAtUnsentWrite)
        return;
    for (Job &job : jobs) {
        if (!job.awaitsConfirmation() || (job.lastSent && !job.leaseMissing))
            continue;
        job.ended = true;
        job.report.status = WriteStatus::NotConfirmed;
        if (!job.lastSent) {
            job.report.result = QStringLiteral("notSent");
            job.report.text = loadString(Text::SendingFailed);
        } else {
            job.report.result = QStringLiteral("stopped");
            job.report.text = loadString(Text::MissingGatewayAddress);
        }
        finish(job);
    }
}

void WriteEngine::finish(Job &job)
{
    if (m_safeguards.recordOutcome)
        m_safeguards.recordOutcome(job.report);
    emit rowFinished(job.report);
}

void WriteEngine::confirm(QList<Job> &jobs, Result *result)
{
    // Every write is idempotent: a row that does not report what it was
    // sent is planned again from what it reports now and gets what is still
    // missing, with the same waits; one whose reply was merely lost is only
    // read again. Bounded by the rounds the caller allows.
    for (int round = 0;; ++round) {
        if (stopped())
            return stopWritten(jobs);
        endUnsent(jobs);
        if (std::none_of(jobs.cbegin(), jobs.cend(), [](const Job &job) { return job.awaitsConfirmation(); }))
            return;
        emit phase(QStringLiteral("confirm"), int(jobs.size()), m_settings.scan.timeoutMs);
        const GatewayList *after = read(WriteLink::Purpose::After, result);
        if (!after) {
            // What went out is recorded and reported all the same.
            for (Job &job : jobs) {
                if (!job.awaitsConfirmation())
                    continue;
                job.report.result = QStringLiteral("notConfirmed");
                job.report.text = loadString(Text::WriteNotConfirmed).arg(loadString(Text::PortInUse));
                job.report.status = WriteStatus::NotConfirmed;
                finish(job);
            }
            return;
        }
        const QHash<QString, int> rows = rowsByMac(*after);
        bool anyToSend = false;
        bool allConfirmed = true;
        for (Job &job : jobs) {
            if (!job.awaitsConfirmation())
                continue;
            const auto row = rows.constFind(job.request.mac);
            const std::optional<GatewayReading> reported =
                row == rows.cend() ? std::nullopt : std::optional(after->reading(*row));
            judgeWrite(&job.report, job.plan, reported);
            job.pending = WritePlan{};
            if (job.report.status == WriteStatus::Confirmed)
                continue;
            allConfirmed = false;
            if (!reported || round >= m_settings.retryRounds)
                continue;
            WriteContext context;
            context.passwordGiven = !m_settings.password.isEmpty() || m_settings.passwordKept;
            context.force = true; // the address was checked before the first round
            const WritePlan again = planWrite(*reported, job.request.change, context);
            if (again.refusal || again.nothingToSend())
                continue;
            job.pending = again;
            job.destination = DottedAddressText(reported->address);
            anyToSend = true;
        }
        if (allConfirmed || round >= m_settings.retryRounds)
            break;
        if (anyToSend)
            sendPending(jobs);
    }
    for (Job &job : jobs) {
        if (job.awaitsConfirmation())
            finish(job);
    }
}

void WriteEngine::stopWritten(QList<Job> &jobs)
{
    for (Job &job : jobs) {
        if (!job.awaitsConfirmation())
            continue;
        job.report.result = QStringLiteral("stopped");
        job.report.text = loadString(Text::WriteStopped);
        job.report.status = WriteStatus::NotConfirmed;
        finish(job);
    }
}
