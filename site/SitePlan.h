#pragma once

#include "LocalAdapters.h"
#include "WantedValues.h"

#include <QByteArray>
#include <QList>
#include <QString>

// A site plan: one row per gateway, the MAC address and any of `ovipgw set`'s
// values as columns (header "mac", "ip", "mask", "gateway", "mode", "port",
// "remote-ip", "remote-mask", "baud", "data-bits", "stop-bits", "parity",
// "flow", "oem", "protect"). Comma-, semicolon- or tab-separated (whichever
// the header line uses) with RFC 4180 quoting; an empty cell leaves that
// value as the gateway has it. Keywords (dhcp, auto, none, even, ...) are
// read in any case.
//
// The list that `ovipgw scan --format csv` (or tsv) writes is a plan too, in
// either language: its columns are read by their headers, the ones a plan
// does not write (type, firmware, status, ...) are passed over, and a value a
// gateway reported that `set` does not offer refuses only that row.
struct PlannedGateway
{
    int line = 0;  // in the file, for messages
    QString mac;   // 12 hex digits
    ConfigurationChange change;
    // Why nothing is written for this row ("refused: ..."), empty when it is
    // written. A refused row carries no change at all, so that a reader that
    // overlooks the reason still sends nothing for it.
    QString refusal;

    bool refused() const { return !refusal.isEmpty(); }
};

namespace SitePlan {

// Nothing and `error` set ("line 3: ...") for the first row or cell that
// cannot be read; a plan file of more than 1 MiB is refused. The file may be
// UTF-8 (with or without byte order mark), UTF-16 with its byte order mark,
// or Windows-1252 where it is not UTF-8 (what spreadsheets on Windows save).
// An address no gateway can have is such a cell: loopback, multicast, ...,
// and the network and broadcast address of an adapter's subnet (read uses
// this computer's adapters, parse those given).
std::optional<QList<PlannedGateway>> read(const QString &path, QString *error);
std::optional<QList<PlannedGateway>> parse(const QString &text, QString *error,
                                           const QList<LocalAdapter> &adapters = {});

// The text of a plan file's bytes, read as `read` reads them.
QString decode(const QByteArray &bytes);

} // namespace SitePlan
