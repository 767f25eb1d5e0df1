#include "ApplyCommand.h"

#include "BatchWriter.h"
#include "GatewayScanner.h"
#include "NeighbourProbe.h"
#include "SitePlan.h"
#include "StringTable.h"
#include "Telegrams.h"
#include "WriteJournal.h"
#include "WritePlan.h"
#include "WriteReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

namespace {

constexpr int UsageErrorString = 397;
constexpr int JournalFailedString = 430;
constexpr int NothingToWriteString = 431;
constexpr int MissingString = 452;
constexpr int SummaryString = 453;
constexpr int WouldWriteString = 454;
constexpr int NotInPlanString = 455;
constexpr int SkippedString = 456;

using CommissionCommand::Arguments;

QString macOfRow(const GatewayList &list, int row)
{
    return list.cellText(row, GatewayList::MacAddressColumn).remove(QLatin1Char('-')).toUpper();
}

QHash<QString, int> rowsByMac(const GatewayList &list)
{
    QHash<QString, int> rows;
    for (int row = list.count() - 1; row >= 0; --row)
        rows.insert(macOfRow(list, row), row);
    return rows;
}

struct Entry
{
    PlannedGateway planned;
    WriteReport report;
    WritePlan plan;
    bool write = false;
    QString destination; // where the gateway answers after IP-SETUP
    QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
};

class ApplyRun
{
public:
    ApplyRun(const Arguments &arguments, const QString &password, QByteArray *err)
        : m_arguments(arguments)
        , m_password(password)
        , m_err(err)
        , m_settings(CommissionCommand::scanSettings(arguments, password))
    {
    }

    int run(const QList<PlannedGateway> &plan, QByteArray *out);

private:
    // A fresh read of the whole network; nothing when the port is taken.
    std::unique_ptr<GatewayScanner> scan(int *status);
    void planAll(const GatewayList &list);
    bool snapshotAll();
    void writeAll();
    void confirmAll(const GatewayList &list);

    const Arguments &m_arguments;
    QString m_password;
    QByteArray *m_err;
    ScanSettings m_settings;
    QList<Entry> m_entries;
    QList<WriteReport> m_unplanned;
};

std::unique_ptr<GatewayScanner> ApplyRun::scan(int *status)
{
    auto scanner = std::make_unique<GatewayScanner>(m_settings);
    return CommissionCommand::runScan(*scanner, m_err, status) ? std::move(scanner) : nullptr;
}

void ApplyRun::planAll(const GatewayList &list)
{
    const QHash<QString, int> rows = rowsByMac(list);
    // Addresses taken: every listed gateway's, then each planned new one,
    // so that two rows never aim at the same address.
    QHash<QString, quint32> taken;
    for (int row = 0; row < list.count(); ++row)
        taken.insert(macOfRow(list, row), ParseDottedAddress(list.cellText(row, GatewayList::IpAddressColumn)));
    // Every new fixed address is probed on the link at once.
    QList<quint32> wanted;
    for (const Entry &entry : m_entries) {
        const ConfigurationChange &change = entry.planned.change;
        if (change.dhcp == false && change.address && !m_arguments.force
            && taken.value(entry.planned.mac) != *change.address)
            wanted.append(*change.address);
    }
    const QHash<quint32, QString> probed = NeighbourProbe::holdersOf(wanted);

    bool stopped = false;
    for (Entry &entry : m_entries) {
        WriteReport &report = entry.report;
        report.mac = MacAddressText(MacAddressFromText(entry.planned.mac));
        const auto row = rows.constFind(entry.planned.mac);
        if (row == rows.cend()) {
            report.result = QStringLiteral("missing");
            report.text = loadString(MissingString);
            report.status = CommissionCommand::NotFound;
            continue;
        }
        const GatewayConfiguration current = GatewayConfiguration::fromRow(list, *row);
        report.read = current;
        report.fields = compareFields(entry.planned.change, current);
        if (stopped) {
            report.result = QStringLiteral("skipped");
            report.text = loadString(SkippedString);
            report.status = CommissionCommand::Refused;
            continue;
        }
        QHash<QString, quint32> others = taken;
        others.remove(entry.planned.mac);
        entry.plan = planWrite(current, entry.planned.change, others, m_arguments.force);
        if (entry.plan.movesToFixedAddress() && entry.plan.target.address != current.address && !m_arguments.force)
            refuseTakenAddress(&entry.plan, probed.value(entry.plan.target.address));
        if (entry.plan.refusal == 0 && entry.plan.lock && m_password.isEmpty())
            entry.plan.refusal = WriteText::PasswordNeeded;
        if (entry.plan.refusal) {
            report.result = QStringLiteral("refused");
            report.text = entry.plan.refusalText(entry.planned.change);
            report.status = CommissionCommand::Refused;
            stopped = !m_arguments.keepGoing;
            continue;
        }
        if (entry.plan.nothingToSend()) {
            report.result = QStringLiteral("nothingToWrite");
            report.text = loadString(NothingToWriteString);
            continue;
        }
        entry.write = true;
        if (entry.plan.movesToFixedAddress())
            taken.insert(entry.planned.mac, entry.plan.target.address);
        QStringList changed;
        for (const FieldComparison &field : report.fields) {
            if (!field.matches())
                changed.append(field.key);
        }
        report.result = QStringLiteral("changed");
        report.text = loadString(WouldWriteString).arg(changed.join(QStringLiteral(", ")));
    }

    // Gateways the network has and the plan does not name.
    QSet<QString> planned;
    for (const Entry &entry : m_entries)
        planned.insert(entry.planned.mac);
    for (int row = 0; row < list.count(); ++row) {
        if (planned.contains(macOfRow(list, row)))
            continue;
        WriteReport report;
        report.mac = list.cellText(row, GatewayList::MacAddressColumn);
        report.result = QStringLiteral("notInPlan");
        report.text = loadString(NotInPlanString);
        report.read = GatewayConfiguration::fromRow(list, row);
        m_unplanned.append(report);
    }
}

bool ApplyRun::snapshotAll()
{
    WriteJournal journal;
    for (Entry &entry : m_entries) {
        if (!entry.write)
            continue;
        QJsonObject configuration = entry.plan.target.toJson();
        configuration.insert(QStringLiteral("locked"), entry.plan.lock);
        const QJsonObject send{{QStringLiteral("address"), entry.plan.address},
                               {QStringLiteral("identity"), entry.plan.identity},
                               {QStringLiteral("network"), entry.plan.network},
                               {QStringLiteral("setup"), entry.plan.setup},
                               {QStringLiteral("configuration"), configuration}};
        QString reason;
        if (!journal.append(QJsonObject{{QStringLiteral("event"), QStringLiteral("write")},
                                        {QStringLiteral("id"), entry.id},
                                        {QStringLiteral("command"), QStringLiteral("apply")},
                                        {QStringLiteral("mac"), entry.report.mac},
                                        {QStringLiteral("read"), entry.report.read->toJson()},
                                        {QStringLiteral("send"), send}},
                            &reason)) {
            *m_err += loadString(JournalFailedString).arg(journal.path(), reason).toUtf8() + '\n';
            return false;
        }
    }
    return true;
}

void ApplyRun::writeAll()
{
    BatchWriter writer(m_settings.destinations, m_password);
    const auto jobs = [this](bool WritePlan::*exchange) {
        QList<BatchWriter::Job> list;
        for (const Entry &entry : m_entries) {
            if (entry.write && !entry.destination.isEmpty() && entry.plan.*exchange)
                list.append({entry.destination, entry.plan.target, entry.plan.lock});
        }
        return list;
    };
    for (Entry &entry : m_entries)
        entry.destination = DottedAddressText(entry.report.read ? entry.report.read->address : 0);

    const QSet<QString> moved = writer.ipSetups(jobs(&WritePlan::address));
    bool anyDhcp = false;
    for (Entry &entry : m_entries) {
        if (!entry.write || !entry.plan.address)
            continue;
        if (!moved.contains(entry.plan.target.mac)) {
            entry.destination.clear();
            entry.report.sent.clear();
            continue;
        }
        entry.report.sent.append(QStringLiteral("ipSetup"));
        anyDhcp = anyDhcp || entry.plan.target.dhcp;
        entry.destination = entry.plan.target.dhcp ? QString() : DottedAddressText(entry.plan.target.address);
    }
    if (anyDhcp) {
        // The addresses the DHCP server gave.
        int status = 0;
        if (const std::unique_ptr<GatewayScanner> leased = scan(&status)) {
            const QHash<QString, int> rows = rowsByMac(leased->list());
            for (Entry &entry : m_entries) {
                if (entry.write && entry.plan.address && entry.plan.target.dhcp && rows.contains(entry.planned.mac))
                    entry.destination = DottedAddressText(ParseDottedAddress(
                        leased->list().cellText(rows.value(entry.planned.mac), GatewayList::IpAddressColumn)));
            }
        }
    }
    const auto record = [this](const QSet<QString> &done, bool WritePlan::*exchange, const QString &name) {
        for (Entry &entry : m_entries) {
            if (entry.write && entry.plan.*exchange && !entry.destination.isEmpty() && done.contains(entry.destination))
                entry.report.sent.append(name);
        }
    };
    record(writer.identities(jobs(&WritePlan::identity)), &WritePlan::identity, QStringLiteral("identity"));
    record(writer.networks(jobs(&WritePlan::network)), &WritePlan::network, QStringLiteral("network"));
    record(writer.setups(jobs(&WritePlan::setup)), &WritePlan::setup, QStringLiteral("setup"));
}

void ApplyRun::confirmAll(const GatewayList &list)
{
    const QHash<QString, int> rows = rowsByMac(list);
    WriteJournal journal;
    for (Entry &entry : m_entries) {
        if (!entry.write)
            continue;
        WriteReport &report = entry.report;
        const auto row = rows.constFind(entry.planned.mac);
        const int exchanges = int(entry.plan.address) + int(entry.plan.identity) + int(entry.plan.network)
            + int(entry.plan.setup);
        judgeWrite(&report, entry.planned.change, entry.plan,
                   row == rows.cend() ? std::nullopt : std::optional(GatewayConfiguration::fromRow(list, *row)),
                   report.sent.size() == exchanges);
        QString ignored;
        journal.append(outcomeEntry(entry.id, report), &ignored);
    }
}

int ApplyRun::run(const QList<PlannedGateway> &plan, QByteArray *out)
{
    for (const PlannedGateway &planned : plan) {
        Entry entry;
        entry.planned = planned;
        m_entries.append(entry);
    }
    int status = CommissionCommand::Confirmed;
    {
        const std::unique_ptr<GatewayScanner> before = scan(&status);
        if (!before)
            return status;
        planAll(before->list());
    }
    const bool anyWrite = std::any_of(m_entries.cbegin(), m_entries.cend(), [](const Entry &e) { return e.write; });
    if (!m_arguments.dryRun && anyWrite) {
        if (!snapshotAll())
            return CommissionCommand::Refused;
        writeAll();
        const std::unique_ptr<GatewayScanner> after = scan(&status);
        if (!after)
            return status;
        confirmAll(after->list());
    }

    QMap<QString, int> counts;
    QJsonArray rows;
    QByteArray text;
    for (const Entry &entry : m_entries) {
        counts[entry.report.result] += 1;
        rows.append(reportJson(entry.report));
        text += render(entry.report, false);
        if (entry.report.result == QLatin1String("refused") || entry.report.result == QLatin1String("skipped"))
            status = CommissionCommand::Refused;
        else if (status != CommissionCommand::Refused
                 && (entry.report.status == CommissionCommand::NotConfirmed))
            status = CommissionCommand::NotConfirmed;
        else if (status == CommissionCommand::Confirmed && entry.report.result == QLatin1String("missing"))
            status = CommissionCommand::NotFound;
    }
    for (const WriteReport &report : m_unplanned) {
        rows.append(reportJson(report));
        text += render(report, false);
    }
    const QString summary = loadString(SummaryString)
                                .arg(counts.value(QStringLiteral("confirmed")))
                                .arg(counts.value(QStringLiteral("notConfirmed")) + counts.value(QStringLiteral("notSent"))
                                     + counts.value(QStringLiteral("notFoundAgain")))
                                .arg(counts.value(QStringLiteral("nothingToWrite")))
                                .arg(counts.value(QStringLiteral("refused")) + counts.value(QStringLiteral("skipped")))
                                .arg(counts.value(QStringLiteral("missing")))
                                .arg(counts.value(QStringLiteral("changed")));
    if (m_arguments.json) {
        QJsonObject summaryObject;
        for (auto count = counts.cbegin(); count != counts.cend(); ++count)
            summaryObject.insert(count.key(), count.value());
        *out += QJsonDocument(QJsonObject{{QStringLiteral("dryRun"), m_arguments.dryRun},
                                          {QStringLiteral("gateways"), rows},
                                          {QStringLiteral("summary"), summaryObject},
                                          {QStringLiteral("exitStatus"), status}})
                    .toJson(QJsonDocument::Indented);
    } else {
        *out += text + summary.toUtf8() + '\n';
    }
    return status;
}

} // namespace

namespace ApplyCommand {

int run(const Arguments &arguments, const QString &password, QByteArray *out, QByteArray *err)
{
    QString error;
    const std::optional<QList<PlannedGateway>> plan = SitePlan::read(arguments.planPath, &error);
    if (!plan) {
        *err += loadString(UsageErrorString).arg(error).toUtf8();
        return CommissionCommand::UsageError;
    }
    ApplyRun apply(arguments, password, err);
    return apply.run(*plan, out);
}

} // namespace ApplyCommand
