#pragma once

#include "GatewayReading.h"

#include <QJsonObject>
#include <QString>

#include <optional>

struct WritePlan;
struct WriteReport;

// The lines of the write journal, typed. A write is two lines with one id:
// first what the gateway reported and what is to be sent (before anything
// is sent), then how it ended. Lines carry a format version; a key that is
// missing reads as "not read", never as zero, unlocked or type 0.
namespace JournalEntry {

inline constexpr int FormatVersion = 2;

QJsonObject write(const QString &command, const WriteReport &report, const WritePlan &plan);
QJsonObject outcome(const WriteReport &report);
// The reset of a gateway that cannot be read: only its MAC tail is known.
QJsonObject reset(const QString &id, const QString &macTail, const QString &addressText);

bool isWrite(const QJsonObject &entry);
bool isOutcome(const QJsonObject &entry);

// What the gateway reported before the write `entry` records. Lines of the
// first format (no version) claimed "unlocked" and type 0 for what they had
// not read; those claims are dropped. Nothing, `damagedKey` set, when a
// value is there that no gateway reports.
std::optional<GatewayReading> snapshot(const QJsonObject &entry, QString *damagedKey);

} // namespace JournalEntry
