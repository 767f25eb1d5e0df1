#include "WriteHistory.h"

#include "JournalEntry.h"
#include "WriteJournal.h"

#include <QJsonArray>

namespace WriteHistory {

Result read(const QString &macText)
{
    Result result;
    const WriteJournal::ReadResult journal = WriteJournal().read();
    result.error = journal.error;
    result.damagedLines = journal.damagedLines;
    if (journal.damagedLines > 0)
        result.damageNote = journal.damageNote();
    if (!result.error.isEmpty())
        return result;

    QHash<QString, QJsonObject> outcomes;
    for (const QJsonObject &entry : journal.entries) {
        if (JournalEntry::isOutcome(entry))
            outcomes.insert(entry.value(QStringLiteral("id")).toString(), entry);
    }
    int number = 0;
    for (const QJsonObject &entry : journal.entries) {
        if (!JournalEntry::isWrite(entry))
            continue;
        ++number;
        if (!macText.isEmpty() && entry.value(QStringLiteral("mac")).toString() != macText)
            continue;
        const QJsonObject outcome = outcomes.value(entry.value(QStringLiteral("id")).toString());
        Write write;
        write.number = number;
        write.entry = entry;
        write.outcome = outcome.value(QStringLiteral("outcome")).toString(QStringLiteral("unknown"));
        for (const QJsonValue &sent : outcome.value(QStringLiteral("sent")).toArray())
            write.sent.append(sent.toString());
        result.writes.append(write);
    }
    return result;
}

QStringList changes(const QJsonObject &entry)
{
    const QJsonObject read = entry.value(QStringLiteral("read")).toObject();
    const QJsonObject send = entry.value(QStringLiteral("send")).toObject();
    const QJsonObject sent = send.value(QStringLiteral("configuration")).toObject();
    QStringList result;
    if (sent.isEmpty()) {
        // A reset names only the address it gives.
        if (send.contains(QStringLiteral("ip")))
            result.append(QStringLiteral("ip -> %1").arg(send.value(QStringLiteral("ip")).toString()));
        return result;
    }
    const auto text = [](const QJsonValue &value) {
        if (value.isUndefined())
            return QStringLiteral("-");
        if (value.isBool())
            return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
        if (value.isDouble())
            return QString::number(value.toDouble());
        return value.toString();
    };
    for (auto field = sent.constBegin(); field != sent.constEnd(); ++field) {
        if (field.key() == QLatin1String("mac") || field.key() == QLatin1String("firmware"))
            continue;
        const QJsonValue before = read.value(field.key());
        if (before != field.value())
            result.append(QStringLiteral("%1 %2 -> %3").arg(field.key(), text(before), text(field.value())));
    }
    return result;
}

} // namespace WriteHistory
