#pragma once

#include "GatewaySimulator.h"

#include <QProcessEnvironment>
#include <QStringList>

#include <optional>

// gatewaysim --config FILE.json [--log FILE.jsonl] [--interface IFNAME] [--save]
namespace SimCommandLine {

QString usage();

// The options from the arguments (arguments[0] is the program) and the
// environment: the interface defaults to $GWLAN_GATEWAY_IF, the tool's
// addresses come from $GWLAN_TOOL_ADDRESSES. Sets `error` and returns
// nothing when they are incomplete; `helpRequested` is set for --help.
std::optional<SimulatorOptions> parse(const QStringList &arguments,
                                      const QProcessEnvironment &environment, QString *error,
                                      bool *helpRequested = nullptr);

// True when this process runs in a network namespace of its own, not in the
// machine's (the one of process 1). The simulator configures addresses and
// answers broadcasts, which belongs only inside the virtual LAN.
bool inSeparateNetworkNamespace(QString *why);

} // namespace SimCommandLine
