#pragma once

#include "ScanReport.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The command line of `ovipgw`: parsing, the scan and its output. Kept out
// of main() so that tests run it in-process.
namespace OvipgwCommand {

// NotAllRead: rows were printed, but a gateway missed a reply until the end
// of the scan; another scan may read it completely.
enum ExitStatus { Found = 0, NoneFound = 1, UsageError = 2, PortTaken = 3, NotAllRead = 4 };

struct ScanArguments
{
    QString broadcast;     // empty: every adapter
    std::optional<QString> password;
    int timeoutMs = 1000;
    ScanReport::Format format = ScanReport::Format::Table;
};

struct Parsed
{
    bool help = false;
    ScanArguments scan;
};

// `arguments` without the program name. Nothing and `error` set for every
// mistake; nothing has been done by then.
std::optional<Parsed> parse(const QStringList &arguments, QString *error);

// Every command with one line each; `ovipgw COMMAND --help` has the options.
QString helpText();

// Runs the whole command; what goes to standard output and standard error
// is collected in `out` and `err`. Returns the exit status.
int run(const QStringList &arguments, QByteArray *out, QByteArray *err);

} // namespace OvipgwCommand
