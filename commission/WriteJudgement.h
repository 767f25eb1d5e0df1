#pragma once

#include "GatewayReading.h"
#include "WantedValues.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

struct WritePlan;

// A field the change names, with the value wanted and the one the gateway
// reports, in the JSON key and text forms ("-" where that part was not read).
struct FieldComparison
{
    QString key;
    QString wanted;
    QString reported;
    bool matches() const { return wanted == reported; }
};

// The fields `change` names, compared with `reading`.
QList<FieldComparison> compareFields(const ConfigurationChange &change, const GatewayReading &reading);

// Exit statuses of the writing commands; a report carries the one its
// gateway alone would give.
namespace WriteStatus {
enum : int {
    Confirmed = 0,
    NotFound = 1,
    UsageError = 2,
    PortTaken = 3,
    NotConfirmed = 4,
    Refused = 5,
};
} // namespace WriteStatus

// How one gateway's write went.
struct WriteReport
{
    QString mac;
    QString journalId; // the write's entries in the journal
    // JSON key of the outcome: confirmed, notConfirmed, notFoundAgain,
    // notSent, refused, nothingToWrite, notFound, missing, changed (a dry
    // run), skipped, notInPlan.
    QString result;
    QString text;
    int status = WriteStatus::Confirmed;
    QStringList sent;
    // For a new fixed address: "free", "taken" or "notChecked" (the link
    // could not be asked); empty when the write gives no new address.
    QString addressCheck;
    std::optional<GatewayReading> read;
    std::optional<GatewayReading> reported;
    QList<FieldComparison> fields;
};

// Judges a write by the gateway as read afterwards (nothing: not found
// again) against what the plan wanted: result, text, fields and status.
void judgeWrite(WriteReport *report, const WritePlan &plan, const std::optional<GatewayReading> &reported);
