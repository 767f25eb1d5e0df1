#pragma once

#include "CommissionCommand.h"

#include <optional>

// `ovipgw history [MAC]` and the snapshot `ovipgw restore MAC [--at N]`
// writes back.
namespace HistoryCommand {

int run(const CommissionCommand::Arguments &arguments, QByteArray *out, QByteArray *err);

// What restore is to write: only what the chosen snapshot read. Nothing,
// with the reason on `err`, when there is no such snapshot of this gateway
// or a value in it is damaged.
std::optional<ConfigurationChange> snapshotToRestore(const CommissionCommand::Arguments &arguments, QByteArray *err);

} // namespace HistoryCommand
