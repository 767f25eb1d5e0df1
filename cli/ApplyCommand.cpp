#include "ApplyCommand.h"

#include "SitePlan.h"
#include "StringTable.h"
#include "Telegrams.h"
#include "Texts.h"
#include "WriteReport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

#include <algorithm>

namespace {

using CommissionCommand::Arguments;

// The printed result of a whole plan: every row, the gateways the plan does
// not name, a summary, and the exit status.
int report(const Arguments &arguments, const WriteEngine::Result &result, bool rowsPrinted, QByteArray *out)
{
    int status = CommissionCommand::Confirmed;
    QMap<QString, int> counts;
    QJsonArray rows;
    QByteArray text;
    for (const WriteReport &entry : result.reports) {
        counts[entry.result] += 1;
        rows.append(reportJson(entry));
        if (!rowsPrinted)
            text += render(entry, false);
        if (entry.result == QLatin1String("refused") || entry.result == QLatin1String("skipped"))
            status = CommissionCommand::Refused;
        else if (status != CommissionCommand::Refused && entry.status == CommissionCommand::NotConfirmed)
            status = CommissionCommand::NotConfirmed;
        else if (status == CommissionCommand::Confirmed && entry.result == QLatin1String("missing"))
            status = CommissionCommand::NotFound;
    }
    for (const WriteReport &entry : result.unplanned) {
        rows.append(reportJson(entry));
        text += arguments.jsonLines ? QJsonDocument(reportJson(entry)).toJson(QJsonDocument::Compact) + '\n'
                                    : render(entry, false);
    }
    const QString summary = loadString(Text::ApplySummary)
                                .arg(counts.value(QStringLiteral("confirmed")))
                                .arg(counts.value(QStringLiteral("notConfirmed")) + counts.value(QStringLiteral("notSent"))
                                     + counts.value(QStringLiteral("notFoundAgain")) + counts.value(QStringLiteral("stopped")))
                                .arg(counts.value(QStringLiteral("nothingToWrite")))
                                .arg(counts.value(QStringLiteral("refused")) + counts.value(QStringLiteral("skipped")))
                                .arg(counts.value(QStringLiteral("missing")))
                                .arg(counts.value(QStringLiteral("changed")));
    if (arguments.json) {
        QJsonObject summaryObject;
        for (auto count = counts.cbegin(); count != counts.cend(); ++count)
            summaryObject.insert(count.key(), count.value());
        *out += QJsonDocument(QJsonObject{{QStringLiteral("dryRun"), arguments.dryRun},
                                          {QStringLiteral("gateways"), rows},
                                          {QStringLiteral("summary"), summaryObject},
                                          {QStringLiteral("exitStatus"), status}})
                    .toJson(QJsonDocument::Indented);
    } else if (arguments.jsonLines) {
        QJsonObject summaryObject;
        for (auto count = counts.cbegin(); count != counts.cend(); ++count)
            summaryObject.insert(count.key(), count.value());
        *out += text
            + QJsonDocument(QJsonObject{{QStringLiteral("summary"), summaryObject}, {QStringLiteral("exitStatus"), status}})
                  .toJson(QJsonDocument::Compact)
            + '\n';
    } else {
        *out += text + summary.toUtf8() + '\n';
    }
    return status;
}

} // namespace

namespace ApplyCommand {

int run(const Arguments &arguments, QByteArray *out, QByteArray *err)
{
    QString error;
    const std::optional<QList<PlannedGateway>> plan = SitePlan::read(arguments.planPath, &error);
    if (!plan) {
        *err += loadString(Text::UsageError).arg(error).toUtf8();
        return CommissionCommand::UsageError;
    }
    // A row that locks its gateway cannot go without the password.
    const bool locks = std::any_of(plan->cbegin(), plan->cend(),
                                   [](const PlannedGateway &planned) { return planned.change.locked == true; });
    const std::optional<QString> password = CommissionCommand::password(arguments, locks, err);
    if (!password)
        return CommissionCommand::UsageError;
    // A row the plan itself refuses (a value a scan reported that no write
    // offers) is reported as such; the other rows go on.
    QList<WriteRequest> requests;
    for (const PlannedGateway &planned : *plan) {
        if (!planned.refused())
            requests.append({planned.mac, planned.change});
    }
    WriteEngine::Settings settings;
    settings.reportUnplanned = true;
    WriteEngine::Result result;
    int status = CommissionCommand::Confirmed;
    bool rowsPrinted = false;
    if (!CommissionCommand::runWrites(arguments, *password, requests, settings, &result, &rowsPrinted, out, err,
                                      &status))
        return status;
    QList<WriteReport> reports;
    qsizetype next = 0;
    for (const PlannedGateway &planned : *plan) {
        if (!planned.refused()) {
            reports.append(result.reports.value(next++));
            continue;
        }
        WriteReport refused;
        refused.mac = MacAddressText(MacAddressFromText(planned.mac));
        refused.result = QStringLiteral("refused");
        refused.text = planned.refusal;
        refused.status = CommissionCommand::Refused;
        reports.append(refused);
    }
    result.reports = reports;
    // Rows the plan itself refused never reached the engine: said here.
    QList<WriteReport> unprinted;
    for (const WriteReport &entry : std::as_const(reports)) {
        if (entry.journalId.isEmpty() && entry.result == QLatin1String("refused") && rowsPrinted)
            unprinted.append(entry);
    }
    for (const WriteReport &entry : std::as_const(unprinted))
        *out += arguments.jsonLines ? QJsonDocument(reportJson(entry)).toJson(QJsonDocument::Compact) + '\n'
                                    : render(entry, false);
    const int printed = report(arguments, result, rowsPrinted, out);
    return status == CommissionCommand::PortTaken ? status : printed;
}

} // namespace ApplyCommand
