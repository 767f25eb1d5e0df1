#pragma once

#include "GatewayConfiguration.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// How one gateway's write went, for people (a line and a field table) and
// for scripts (JSON with stable keys).
struct WriteReport
{
    QString mac;
    // JSON key of the outcome: confirmed, notConfirmed, notFoundAgain,
    // notSent, refused, nothingToWrite, notFound, missing.
    QString result;
    QString text;
    int status = 0;
    QStringList sent;
    std::optional<GatewayConfiguration> read;
    std::optional<GatewayConfiguration> reported;
    QList<FieldComparison> fields;
};

struct WritePlan;

QByteArray render(const WriteReport &report, bool json);
QJsonObject reportJson(const WriteReport &report);

// Judges a write by the gateway as read afterwards (nothing: not found
// again) against what was asked: result, text, fields and exit status.
void judgeWrite(WriteReport *report, const ConfigurationChange &change, const WritePlan &plan,
                const std::optional<GatewayConfiguration> &reported, bool allSent);

// The journal's line for the outcome of the write `id`.
QJsonObject outcomeEntry(const QString &id, const WriteReport &report);
