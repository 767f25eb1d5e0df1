#pragma once

#include "WantedValues.h"

#include <QList>
#include <QString>

// A site plan: one row per gateway, the MAC address and any of `ovipgw set`'s
// values as columns (header "mac", "ip", "mask", "gateway", "mode", "port",
// "remote-ip", "remote-mask", "baud", "data-bits", "stop-bits", "parity",
// "flow", "oem", "protect"). Comma- or tab-separated with RFC 4180 quoting;
// an empty cell leaves that value as the gateway has it. The list that
// `ovipgw scan --format csv` (or tsv) writes is a plan too, in either
// language: its columns are read by their headers.
struct PlannedGateway
{
    int line = 0;  // in the file, for messages
    QString mac;   // 12 hex digits
    ConfigurationChange change;
};

namespace SitePlan {

// Nothing and `error` set ("line 3: ...") for the first row that is not a
// plan row; a plan file of more than 1 MiB is refused.
std::optional<QList<PlannedGateway>> read(const QString &path, QString *error);
std::optional<QList<PlannedGateway>> parse(const QString &text, QString *error);

} // namespace SitePlan
