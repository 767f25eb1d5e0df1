#include "CommissionCommand.h"

#include "ApplyCommand.h"
#include "BroadcastDestinations.h"
#include "DeviceTables.h"
#include "GatewayScanner.h"
#include "HistoryCommand.h"
#include "JournalEntry.h"
#include "JournalSafeguards.h"
#include "LiveOutput.h"
#include "LocalAdapters.h"
#include "NeighbourProbe.h"
#include "NoReplyDiagnosis.h"
#include "PasswordPrompt.h"
#include "ResetCommand.h"
#include "RowStatus.h"
#include "StoredPassword.h"
#include "StringTable.h"
#include "Telegrams.h"
#include "Texts.h"
#include "Windows1252.h"
#include "WriteDecision.h"
#include "WriteJournal.h"
#include "WriteReport.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

namespace {


constexpr int MinTimeoutMs = 100;
constexpr int MaxTimeoutMs = 60000;
constexpr qint64 MaxPasswordFileBytes = 4096;

QStringList setOptions()
{
    QStringList options;
    for (const QString &name : ChangeOptionNames())
        options.append(QStringLiteral("--") + name);
    return options;
}
const QStringList SetOptions = setOptions();
const QStringList CommonOptions{QStringLiteral("--broadcast"), QStringLiteral("--timeout"),
                                QStringLiteral("--format"), QStringLiteral("--password"),
                                QStringLiteral("--password-file")};
const QStringList Flags{QStringLiteral("--protect"), QStringLiteral("--force"), QStringLiteral("--help"),
                        QStringLiteral("-h"), QStringLiteral("--dry-run"), QStringLiteral("--keep-going")};

// ---- the password ----------------------------------------------------------

// Whether nothing names a password and a person could type one.
bool mayAsk(const CommissionCommand::PasswordSources &sources)
{
    return !sources.commandLine && sources.file.isEmpty() && !sources.environment && sources.terminal;
}

// The password from the strongest source given; nothing and `error` set when
// a named source cannot be read.
std::optional<QString> resolvePassword(const CommissionCommand::PasswordSources &sources, bool ask,
                                       QString *error, QByteArray *err)
{
    if (sources.commandLine) {
        *err += loadString(Text::PasswordVisible).toUtf8() + '\n';
        return sources.commandLine;
    }
    if (!sources.file.isEmpty()) {
        QFile file(sources.file);
        if (!file.open(QIODevice::ReadOnly) || file.size() > MaxPasswordFileBytes) {
            *error = loadString(Text::PasswordFile).arg(sources.file, file.errorString());
            return std::nullopt;
        }
        // Still used: refusing would only push people to --password. A
        // pipe or a process substitution is nobody else's to read.
        const QFileInfo info(sources.file);
        if (info.isFile() && (info.permissions() & (QFile::ReadGroup | QFile::ReadOther)))
            *err += loadString(Text::PasswordFileReadable).arg(sources.file).toUtf8() + '\n';
        // The first line, without its line end.
        QString line = QString::fromUtf8(file.readLine(MaxPasswordFileBytes));
        while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        return line;
    }
    if (sources.environment)
        return sources.environment;
    // Before the prompt: what the user set up in the window is what they
    // mean, and a prompt would stop a script that has no terminal anyway.
    if (sources.stored) {
        if (std::optional<QString> stored = sources.stored(err))
            return stored;
    }
    if (ask && mayAsk(sources))
        return PasswordPrompt::ask(loadString(Text::PasswordPromptText));
    return QString();
}

// A row refused because its gateway is locked with a password not given
// (nothing was sent to it).
bool refusedForLock(const WriteReport &report)
{
    return report.result == QLatin1String("refused") && report.read
        && report.read->status == int(RowStatus::WrongPassword);
}

} // namespace

namespace CommissionCommand {

bool scanSucceeded(GatewayScanner::Outcome outcome, const QString &socketError, QByteArray *err, int *status)
{
    switch (outcome) {
    case GatewayScanner::Outcome::PortTaken:
        *err += NoReplyDiagnosis::portTakenText().toUtf8() + '\n';
        *status = PortTaken;
        return false;
    case GatewayScanner::Outcome::SocketFailed:
        *err += loadString(Text::SocketFailed).arg(socketError).toUtf8() + '\n';
        *status = NotFound;
        return false;
    case GatewayScanner::Outcome::Finished:
        break;
    }
    return true;
}

ScanSettings scanSettings(const Arguments &arguments, const QString &password)
{
    ScanSettings settings;
    settings.destinations = SelectBroadcastDestinations(
        arguments.broadcast.isEmpty() ? QString::fromLatin1(LimitedBroadcastText) : arguments.broadcast,
        BuildAdapterBroadcastList());
    settings.passwordProtection = !password.isEmpty();
    settings.password = password;
    settings.timeoutMs = arguments.timeoutMs;
    return settings;
}

QString helpText(const QString &command)
{
    if (command == QLatin1String("apply"))
        return loadString(Text::ApplyHelp);
    if (command == QLatin1String("reset"))
        return loadString(Text::ResetHelp);
    if (command == QLatin1String("history"))
        return loadString(Text::HistoryHelp);
    if (command == QLatin1String("restore"))
        return loadString(Text::RestoreHelp);
    return loadString(Text::SetHelp);
}

std::optional<QString> password(const Arguments &arguments, bool needed, QByteArray *err)
{
    QString error;
    std::optional<QString> password = resolvePassword(arguments.password, needed, &error, err);
    // From the file, the environment or the terminal as from --password: a
    // gateway takes the password as code page 1252 bytes.
    if (password && !isWindows1252Encodable(*password)) {
        error = loadString(Text::WritePasswordOutsideCodePage);
        password.reset();
    }
    if (!password) {
        *err += loadString(Text::UsageError).arg(error).toUtf8();
        return std::nullopt;
    }
    return password;
}

bool handles(const QString &command)
{
    return command == QLatin1String("set") || command == QLatin1String("reset")
        || command == QLatin1String("history") || command == QLatin1String("restore")
        || command == QLatin1String("apply");
}

namespace {

// A gateway given an address no device can have is lost until someone
// resets it on site; refused before anything is sent.
bool usableAddress(const Arguments &a, QString *error)
{
    if (a.change.dhcp != false || !a.change.address)
        return true;
    *error = UnusableAddressText(*a.change.address, LocalAdapters());
    return error->isEmpty();
}

} // namespace

std::optional<Arguments> parse(const QStringList &arguments, QString *error)
{
    Arguments a;
    a.command = arguments.value(0);
    if (qEnvironmentVariableIsSet("OVIPGW_PASSWORD"))
        a.password.environment = qEnvironmentVariable("OVIPGW_PASSWORD");
    a.password.stored = StoredPassword::read;
    a.password.terminal = PasswordPrompt::available();
    QStringList positional;
    QStringList given;
    bool changeGiven = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (!argument.startsWith(QLatin1Char('-'))) {
            positional.append(argument);
            continue;
        }
        QString name = argument;
        std::optional<QString> value;
        if (const qsizetype equals = argument.indexOf(QLatin1Char('=')); equals > 0) {
            name = argument.left(equals);
            value = argument.mid(equals + 1);
        }
        const bool isSetOption = a.command == QLatin1String("set") && SetOptions.contains(name);
        const bool isAt = a.command == QLatin1String("restore") && name == QLatin1String("--at");
        const bool misplacedFlag = (name == QLatin1String("--protect") && a.command != QLatin1String("set"))
            || ((name == QLatin1String("--dry-run") || name == QLatin1String("--keep-going"))
                && a.command != QLatin1String("apply"));
        if ((!Flags.contains(name) && !CommonOptions.contains(name) && !isSetOption && !isAt) || misplacedFlag) {
            *error = loadString(Text::UnknownOption).arg(name);
            return std::nullopt;
        }
        if (given.contains(name)) {
            *error = loadString(Text::RepeatedOption).arg(name);
            return std::nullopt;
        }
        given.append(name);
        if (Flags.contains(name)) {
            a.help = a.help || name == QLatin1String("--help") || name == QLatin1String("-h");
            a.force = a.force || name == QLatin1String("--force");
            a.dryRun = a.dryRun || name == QLatin1String("--dry-run");
            a.keepGoing = a.keepGoing || name == QLatin1String("--keep-going");
            if (name == QLatin1String("--protect")) {
                a.change.locked = true;
                changeGiven = true;
            }
            continue;
        }
        if (!value) {
            if (i + 1 >= arguments.size()) {
                *error = loadString(Text::MissingValue).arg(name);
                return std::nullopt;
            }
            value = arguments.at(++i);
        }
        bool ok = true;
        if (isSetOption) {
            ok = a.change.take(name, *value);
            changeGiven = true;
        } else if (isAt) {
            a.at = value->toInt(&ok);
            ok = ok && a.at > 0;
        } else if (name == QLatin1String("--broadcast")) {
            ok = DottedValue(*value).has_value();
            a.broadcast = *value;
        } else if (name == QLatin1String("--timeout")) {
            a.timeoutMs = value->toInt(&ok);
            ok = ok && a.timeoutMs >= MinTimeoutMs && a.timeoutMs <= MaxTimeoutMs;
        } else if (name == QLatin1String("--format")) {
            ok = *value == QLatin1String("json") || *value == QLatin1String("table") || *value == QLatin1String("jsonl");
            a.json = *value == QLatin1String("json");
            a.jsonLines = *value == QLatin1String("jsonl");
        } else if (name == QLatin1String("--password")) {
            a.password.commandLine = *value;
        } else {
            a.password.file = *value;
        }
        if (!ok) {
            *error = loadString(Text::BadValue).arg(name, *value);
            return std::nullopt;
        }
    }
    if (a.help)
        return a;

    const auto takeMac = [&](const QString &text) {
        const std::optional<QString> mac = MacDigits(text);
        if (!mac)
            *error = loadString(Text::BadMac).arg(text);
        a.mac = mac.value_or(QString());
        return mac.has_value();
    };
    const int wanted = a.command == QLatin1String("history") ? (positional.isEmpty() ? 0 : 1)
                     : a.command == QLatin1String("reset") ? 2 : 1;
    if (positional.size() != wanted) {
        *error = positional.size() > wanted ? loadString(Text::UnexpectedArgument).arg(positional.value(wanted))
                                            : loadString(Text::BadMac).arg(QString());
        return std::nullopt;
    }
    if (a.command == QLatin1String("apply")) {
        a.planPath = positional.at(0);
        return a;
    }
    if (a.command == QLatin1String("reset")) {
        // The last two bytes of the MAC address, as on the device's label.
        QString tail = positional.at(0);
        tail.remove(QLatin1Char('-')).remove(QLatin1Char(':'));
        bool ok = tail.size() == 4;
        const uint value = tail.toUInt(&ok, 16);
        if (!ok || tail.size() != 4) {
            *error = loadString(Text::BadMacTail).arg(positional.at(0));
            return std::nullopt;
        }
        a.macByte5 = quint8(value >> 8);
        a.macByte6 = quint8(value & 0xFF);
        if (!a.change.take(QStringLiteral("--ip"), positional.at(1))) {
            *error = loadString(Text::BadValue).arg(QStringLiteral("ADDR"), positional.at(1));
            return std::nullopt;
        }
        return usableAddress(a, error) ? std::optional<Arguments>(a) : std::nullopt;
    }
    if (wanted == 1 && !takeMac(positional.at(0)))
        return std::nullopt;
    if (a.command == QLatin1String("set") && !changeGiven) {
        *error = loadString(Text::NeedsChange);
        return std::nullopt;
    }
    return usableAddress(a, error) ? std::optional<Arguments>(a) : std::nullopt;
}

int run(const Arguments &a, QByteArray *out, QByteArray *err)
{
    if (a.help) {
        *out += helpText(a.command).toUtf8();
        return Confirmed;
    }
    if (a.command == QLatin1String("reset"))
        return ResetCommand::run(a, out, err);
    if (a.command == QLatin1String("history"))
        return HistoryCommand::run(a, out, err);
    // A plan's own lock column decides whether apply needs the password.
    if (a.command == QLatin1String("apply"))
        return ApplyCommand::run(a, out, err);

    const std::optional<QString> password = CommissionCommand::password(a, a.change.locked == true, err);
    if (!password)
        return UsageError;
    if (a.change.locked == true && password->isEmpty()) {
        *err += loadString(Text::UsageError).arg(loadString(Text::WritePasswordNeeded)).toUtf8();
        return UsageError;
    }

    ConfigurationChange change = a.change;
    if (a.command == QLatin1String("restore")) {
        const std::optional<ConfigurationChange> snapshot = HistoryCommand::snapshotToRestore(a, err);
        if (!snapshot)
            return Refused;
        change = *snapshot;
    }

    WriteEngine::Result result;
    int status = Confirmed;
    bool rowsPrinted = false;
    if (!runWrites(a, *password, {WriteRequest{a.mac, change}}, WriteEngine::Settings{}, &result, &rowsPrinted, out,
                   err, &status))
        return status;
    WriteReport report = result.reports.value(0);
    if (report.result == QLatin1String("missing")) {
        report.result = QStringLiteral("notFound");
        report.text = loadString(Text::GatewayNotFound).arg(report.mac);
    } else if (report.result == QLatin1String("nothingToWrite")) {
        report.status = Confirmed;
    }
    *(report.status == Confirmed || report.status == NotConfirmed ? out : err) +=
        a.jsonLines ? QJsonDocument(reportJson(report)).toJson(QJsonDocument::Compact) + '\n' : render(report, a.json);
    return status == PortTaken ? PortTaken : report.status;
}

bool runWrites(const Arguments &arguments, const QString &password, const QList<WriteRequest> &requests,
               const WriteEngine::Settings &overrides, WriteEngine::Result *result, bool *rowsPrinted,
               QByteArray *out, QByteArray *err, int *status)
{
    WriteEngine::Settings settings = overrides;
    settings.scan = scanSettings(arguments, password);
    settings.ipSetupDestinations = SelectBroadcastDestinations(
        arguments.broadcast.isEmpty() ? QString::fromLatin1(LimitedBroadcastText) : arguments.broadcast,
        BuildAdapterBroadcastList());
    settings.password = password;
    settings.force = arguments.force;
    settings.keepGoing = settings.keepGoing && arguments.keepGoing;
    // A lost datagram costs a round, not a second run of the command.
    settings.retryRounds = 2;
    settings.dryRun = arguments.dryRun;
    settings.stopRequested = [] { return LiveOutput::stopRequested(); };
    // One document is printed whole at the end; a single gateway's table
    // too. Everything else as it is known.
    const LiveOutput::Rows rows = arguments.json || requests.size() <= 1 ? LiveOutput::Rows::AtTheEnd
        : arguments.jsonLines                                            ? LiveOutput::Rows::JsonLines
                                                                         : LiveOutput::Rows::Table;
    LiveOutput live(rows, int(requests.size()), out);
    *rowsPrinted = live.printedRows();
    const bool mayAskLater = password.isEmpty() && mayAsk(arguments.password);

    WriteJournal journal;
    const QString command = arguments.command;
    WriteEngine::Safeguards safeguards;
    UseJournal(&safeguards, journal, command, Text::JournalFailed);
    safeguards.checkAddresses = [](const QList<quint32> &addresses) { return NeighbourProbe::check(addresses); };

    const auto write = [&](const QList<WriteRequest> &batch, WriteEngine::Result *outcome) {
        WriteEngine engine(settings, safeguards);
        // A row refused for a lock may run again once the password is asked.
        live.attach(engine, settings.password.isEmpty() && mayAskLater ? refusedForLock
                                                                       : std::function<bool(const WriteReport &)>());
        *outcome = engine.run(batch);
        if (!scanSucceeded(outcome->scan, outcome->socketError, err, status)) {
            // Telegrams already sent: their rows are printed and journaled;
            // the exit status still says the port was taken.
            return !outcome->reports.isEmpty();
        }
        if (!outcome->journalError.isEmpty()) {
            *err += outcome->journalError.toUtf8() + '\n';
            *status = Refused;
            return false;
        }
        return true;
    };
    if (!write(requests, result))
        return false;

    // Whether a gateway is locked shows only once it is read: then, with
    // nobody having named a password, it is asked for and the rows refused
    // for the lock go again with it; nothing was sent to them. A site
    // written whole or not at all sent nothing at all, so all of it goes
    // again, and is still written whole or not at all.
    if (!password.isEmpty() || !mayAsk(arguments.password)
        || std::none_of(result->reports.cbegin(), result->reports.cend(), refusedForLock)) {
        live.printHeld();
        return true;
    }
    const QString typed = PasswordPrompt::ask(loadString(Text::PasswordPromptText));
    if (!isWindows1252Encodable(typed))
        *err += loadString(Text::WritePasswordOutsideCodePage).toUtf8() + '\n';
    if (typed.isEmpty() || !isWindows1252Encodable(typed)) {
        live.printHeld();
        return true;
    }
    live.dropHeld();
    settings.scan = scanSettings(arguments, typed);
    settings.password = typed;
    if (!settings.keepGoing)
        return write(requests, result);
    QList<qsizetype> again;
    QList<WriteRequest> retry;
    for (qsizetype i = 0; i < result->reports.size() && i < requests.size(); ++i) {
        if (refusedForLock(result->reports.at(i))) {
            again.append(i);
            retry.append(requests.at(i));
        }
    }
    settings.reportUnplanned = false;
    WriteEngine::Result second;
    if (!write(retry, &second))
        return false;
    for (qsizetype i = 0; i < again.size() && i < second.reports.size(); ++i)
        result->reports[again.at(i)] = second.reports.at(i);
    return true;
}

} // namespace CommissionCommand
