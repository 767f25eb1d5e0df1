#include "HistoryCommand.h"

#include "JournalEntry.h"
#include "StringTable.h"
#include "Texts.h"
#include "WriteHistory.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace HistoryCommand {

namespace {

// The history, the journal's damage said on `err`; nothing when it cannot
// be read.
std::optional<WriteHistory::Result> history(const QString &macText, QByteArray *err)
{
    WriteHistory::Result result = WriteHistory::read(macText);
    if (!result.error.isEmpty()) {
        *err += result.error.toUtf8() + '\n';
        return std::nullopt;
    }
    if (!result.damageNote.isEmpty())
        *err += result.damageNote.toUtf8() + '\n';
    return result;
}

} // namespace

int run(const CommissionCommand::Arguments &a, QByteArray *out, QByteArray *err)
{
    const QString mac = a.mac.isEmpty() ? QString() : MacAddressText(MacAddressFromText(a.mac));
    const std::optional<WriteHistory::Result> result = history(mac, err);
    if (!result)
        return CommissionCommand::Refused;
    QJsonArray list;
    QString text;
    for (const WriteHistory::Write &write : result->writes) {
        QJsonObject entry = write.entry;
        const QStringList changes = WriteHistory::changes(entry);
        entry.insert(QStringLiteral("number"), write.number);
        entry.insert(QStringLiteral("outcome"), write.outcome);
        entry.insert(QStringLiteral("changes"), QJsonArray::fromStringList(changes));
        list.append(entry);
        const QString who = entry.contains(QStringLiteral("mac")) ? entry.value(QStringLiteral("mac")).toString()
                                                                   : entry.value(QStringLiteral("macTail")).toString();
        text += QStringLiteral("%1  %2  %3  %4  %5\n")
                    .arg(write.number, 3)
                    .arg(entry.value(QStringLiteral("time")).toString(), entry.value(QStringLiteral("command")).toString(),
                         who, write.outcome);
        for (const QString &change : changes)
            text += QStringLiteral("       %1\n").arg(change);
    }
    if (a.json)
        *out += QJsonDocument(QJsonObject{{QStringLiteral("writes"), list}}).toJson(QJsonDocument::Indented);
    else
        *out += (result->writes.isEmpty() ? loadString(Text::NoHistory) + QLatin1Char('\n') : text).toUtf8();
    return CommissionCommand::Confirmed;
}

std::optional<ConfigurationChange> snapshotToRestore(const CommissionCommand::Arguments &a, QByteArray *err)
{
    const QString mac = MacAddressText(MacAddressFromText(a.mac));
    const std::optional<WriteHistory::Result> result = history(mac, err);
    if (!result)
        return std::nullopt;
    // --at names a write by the history's number, the same for every gateway.
    const WriteHistory::Write *chosen = nullptr;
    for (const WriteHistory::Write &write : result->writes) {
        if (a.at < 0 || write.number == a.at)
            chosen = &write;
    }
    if (!chosen) {
        *err += loadString(Text::NoSnapshot).arg(a.at < 0 ? QString() : QString::number(a.at), a.mac).toUtf8() + '\n';
        return std::nullopt;
    }
    // Only what the snapshot read goes back, each value as `set` would take
    // it; a damaged one refuses the whole restore.
    QString damagedKey;
    const std::optional<GatewayReading> snapshot = JournalEntry::snapshot(chosen->entry, &damagedKey);
    if (!snapshot) {
        *err += loadString(Text::DamagedSnapshot).arg(QString::number(chosen->number), damagedKey).toUtf8() + '\n';
        return std::nullopt;
    }
    return ConfigurationChange::fromSnapshot(*snapshot);
}

} // namespace HistoryCommand
