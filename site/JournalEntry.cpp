#include "JournalEntry.h"

#include "WriteDecision.h"
#include "WriteJudgement.h"

#include <QJsonArray>

namespace JournalEntry {

namespace {

const QString Event = QStringLiteral("event");
const QString Version = QStringLiteral("version");

} // namespace

QJsonObject write(const QString &command, const WriteReport &report, const WritePlan &plan)
{
    QJsonObject configuration = plan.target.toJson();
    configuration.insert(QStringLiteral("locked"), plan.lock);
    const QJsonObject send{{QStringLiteral("address"), plan.address},
                           {QStringLiteral("identity"), plan.identity},
                           {QStringLiteral("network"), plan.network},
                           {QStringLiteral("setup"), plan.setup},
                           {QStringLiteral("configuration"), configuration}};
    return {{Event, QStringLiteral("write")},
            {Version, FormatVersion},
            {QStringLiteral("id"), report.journalId},
            {QStringLiteral("command"), command},
            {QStringLiteral("mac"), report.mac},
            {QStringLiteral("read"), report.read ? report.read->toJson() : QJsonObject()},
            {QStringLiteral("send"), send}};
}

QJsonObject outcome(const WriteReport &report)
{
    return {{Event, QStringLiteral("outcome")},
            {Version, FormatVersion},
            {QStringLiteral("id"), report.journalId},
            {QStringLiteral("mac"), report.mac},
            {QStringLiteral("outcome"), report.result},
            {QStringLiteral("sent"), QJsonArray::fromStringList(report.sent)}};
}

QJsonObject reset(const QString &id, const QString &macTail, const QString &addressText)
{
    return {{Event, QStringLiteral("write")},
            {Version, FormatVersion},
            {QStringLiteral("id"), id},
            {QStringLiteral("command"), QStringLiteral("reset")},
            {QStringLiteral("macTail"), macTail},
            {QStringLiteral("send"), QJsonObject{{QStringLiteral("ip"), addressText}}}};
}

bool isWrite(const QJsonObject &entry)
{
    return entry.value(Event).toString() == QLatin1String("write");
}

bool isOutcome(const QJsonObject &entry)
{
    return entry.value(Event).toString() == QLatin1String("outcome");
}

std::optional<GatewayReading> snapshot(const QJsonObject &entry, QString *damagedKey)
{
    QJsonObject read = entry.value(QStringLiteral("read")).toObject();
    if (!entry.contains(Version)) {
        // The first format wrote every key whatever had been read: type 0
        // for an unidentified gateway, "locked": false for a record it could
        // not read, "dhcp": false without a network reply.
        if (ParseHexNumber(read.value(QStringLiteral("typeCode")).toString()) == 0)
            read.remove(QStringLiteral("typeCode"));
        if (!read.contains(QStringLiteral("mode")))
            read.remove(QStringLiteral("locked"));
        if (!read.contains(QStringLiteral("hostBits")))
            read.remove(QStringLiteral("dhcp"));
    } else if (entry.value(Version).toInt() > FormatVersion) {
        // A later program's line: its keys may mean something else.
        if (damagedKey)
            *damagedKey = Version;
        return std::nullopt;
    }
    return GatewayReading::fromJson(read, damagedKey);
}

} // namespace JournalEntry
