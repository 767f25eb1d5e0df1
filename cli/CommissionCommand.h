#pragma once

#include "GatewayScanner.h"
#include "WantedValues.h"
#include "WriteEngine.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The writing commands of `ovipgw`: set, reset, history and restore. Every
// write reads the gateway first, sends only what changes, in the window's
// order and with its waits, records a snapshot in the journal before the
// first telegram and reads the gateway again to confirm.
namespace CommissionCommand {

// Exit statuses: the write engine's.
using namespace WriteStatus;

// Where the password comes from, strongest first.
struct PasswordSources
{
    std::optional<QString> commandLine; // --password (visible to every user)
    QString file;                       // --password-file
    std::optional<QString> environment; // OVIPGW_PASSWORD
    // The password the window stores (StoredPassword::read), asked only when
    // none of the above is given; says on its argument where it came from.
    std::function<std::optional<QString>(QByteArray *err)> stored;
    bool terminal = false;              // may ask on the terminal
};

struct Arguments
{
    QString command;      // "set", "reset", "history", "restore", "apply"
    QString mac;          // normalised, 12 hex digits (set, restore, history filter)
    ConfigurationChange change;
    quint8 macByte5 = 0;  // reset
    quint8 macByte6 = 0;
    int at = -1;          // restore: journal entry number, -1 = the latest
    QString planPath;     // apply
    bool dryRun = false;
    bool keepGoing = false;
    QString broadcast;
    int timeoutMs = 1000;
    bool json = false;
    bool jsonLines = false; // --format jsonl: one JSON line per row as it is known
    bool force = false;
    PasswordSources password;
    bool help = false;
};

// How `ovipgw` reads the gateways for a write: the scan's settings.
ScanSettings scanSettings(const Arguments &arguments, const QString &password);

// Whether a scan that ended with `outcome` could read; when it could not
// (port taken, no socket) says why on `err` and sets `status`.
bool scanSucceeded(GatewayScanner::Outcome outcome, const QString &socketError, QByteArray *err, int *status);

// The password from the strongest source given (--password, --password-file,
// OVIPGW_PASSWORD, the one the window stores); asked for on a terminal when
// `needed` and none is given.
// Nothing, with the usage error on `err`, when a named source cannot be
// read or the password cannot be sent.
std::optional<QString> password(const Arguments &arguments, bool needed, QByteArray *err);

// Writes `requests` through the write engine with the command line's
// settings, the user's journal and the link's neighbour probe. When a
// gateway turns out locked and no password was named, asks for it on a
// terminal and writes the rows refused for the lock again. False, with
// the reason on `err` and `status` set, when the gateways could not be read
// or the journal not written (then nothing was sent).
// Rows are printed on `out` as their results are known unless the format is
// one JSON document (`rowsPrinted` tells).
bool runWrites(const Arguments &arguments, const QString &password, const QList<WriteRequest> &requests,
               const WriteEngine::Settings &overrides, WriteEngine::Result *result, bool *rowsPrinted,
               QByteArray *out, QByteArray *err, int *status);

// True for the commands this namespace runs.
bool handles(const QString &command);

// `arguments` without the program name; nothing and `error` set on a
// mistake, before anything is done.
std::optional<Arguments> parse(const QStringList &arguments, QString *error);

// Runs a parsed command; output collected in `out` and `err`.
int run(const Arguments &arguments, QByteArray *out, QByteArray *err);

// The help of one command ("set", "apply", ...).
QString helpText(const QString &command);

} // namespace CommissionCommand
