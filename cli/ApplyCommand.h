#pragma once

#include "CommissionCommand.h"

// `ovipgw apply PLAN`: a whole site from a plan (SitePlan). One scan reads
// every gateway; a dry run prints what differs and sends nothing; otherwise
// the gateways are written side by side (the write engine), each after its
// snapshot in the journal, and one scan confirms them all. The password is
// asked for up front when a row locks its gateway.
namespace ApplyCommand {

int run(const CommissionCommand::Arguments &arguments, QByteArray *out, QByteArray *err);

} // namespace ApplyCommand
