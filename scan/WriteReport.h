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

QByteArray render(const WriteReport &report, bool json);
QJsonObject reportJson(const WriteReport &report);
