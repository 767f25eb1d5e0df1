#pragma once

#include "CommissionCommand.h"

// `ovipgw reset TAIL ADDR`: the window's "Reset IP-Adr." for a gateway that
// cannot be read, named by the last two bytes of its MAC address.
namespace ResetCommand {

int run(const CommissionCommand::Arguments &arguments, QByteArray *out, QByteArray *err);

} // namespace ResetCommand
