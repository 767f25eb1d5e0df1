#include "CommissionCommand.h"

#include "ApplyCommand.h"
#include "BroadcastDestinations.h"
#include "DeviceTables.h"
#include "GatewayScanner.h"
#include "JournalEntry.h"
#include "NeighbourProbe.h"
#include "NoReplyDiagnosis.h"
#include "PasswordPrompt.h"
#include "StringTable.h"
#include "Telegrams.h"
#include "Windows1252.h"
#include "WriteJournal.h"
#include "WriteDecision.h"
#include "WriteReport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

namespace {

// Texts of the writing commands.
enum CommissionText : int {
    HelpString = 420,
    NotFoundString = 421,
    JournalFailedString = 430,
    NothingToWriteString = 431,
    PasswordVisibleString = 436,
    BadMacString = 437,
    BadValueString = 438,
    PasswordFileString = 439,
    ResetSentString = 440,
    NoHistoryString = 441,
    NoSnapshotString = 442,
    NeedsChangeString = 444,
    ResetNotSentString = 445,
    BadMacTailString = 446,
    PasswordOutsideCodePageString = 457,
    DamagedSnapshotString = 500,
};
// Shared with the scan's command line.
constexpr int UsageErrorString = 397;
constexpr int UnknownOptionString = 400;
constexpr int MissingValueString = 401;
constexpr int RepeatedOptionString = 405;
constexpr int UnexpectedArgumentString = 406;
constexpr int SocketFailedString = 407;

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

std::optional<QString> normalisedMac(const QString &text)
{
    QString mac = text;
    mac.remove(QLatin1Char('-'));
    mac.remove(QLatin1Char(':'));
    mac.remove(QLatin1Char(' '));
    mac = mac.toUpper();
    if (mac.size() != 12 || !std::all_of(mac.cbegin(), mac.cend(), [](QChar c) { return isxdigit(c.toLatin1()); }))
        return std::nullopt;
    return mac;
}

// ---- the password ----------------------------------------------------------

// The password from the strongest source given; nothing and `error` set when
// a named source cannot be read.
std::optional<QString> resolvePassword(const CommissionCommand::PasswordSources &sources, bool ask,
                                       QString *error, QByteArray *err)
{
    if (sources.commandLine) {
        *err += loadString(PasswordVisibleString).toUtf8() + '\n';
        return sources.commandLine;
    }
    if (!sources.file.isEmpty()) {
        QFile file(sources.file);
        if (!file.open(QIODevice::ReadOnly) || file.size() > MaxPasswordFileBytes) {
            *error = loadString(PasswordFileString).arg(sources.file, file.errorString());
            return std::nullopt;
        }
        // The first line, without its line end.
        QString line = QString::fromUtf8(file.readLine(MaxPasswordFileBytes));
        while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        return line;
    }
    if (sources.environment)
        return sources.environment;
    if (ask && sources.terminal)
        return PasswordPrompt::ask(loadString(WriteText::PasswordNeeded));
    return QString();
}

// ---- the other commands ----------------------------------------------------

int runReset(const CommissionCommand::Arguments &a, QByteArray *out, QByteArray *err)
{
    const quint32 address = a.change.dhcp == true ? 0 : a.change.address.value_or(0);
    const QString addressText = address == 0 ? QStringLiteral("dhcp") : DottedAddressText(address);
    const QString tail = QStringLiteral("%1-%2").arg(a.macByte5, 2, 16, QLatin1Char('0')).arg(a.macByte6, 2, 16, QLatin1Char('0')).toUpper();
    if (address != 0 && !a.force) {
        // Another listed gateway or another device must not lose its address;
        // a holder whose MAC ends in the tail is the gateway itself.
        QString holder;
        GatewayScanner scanner(CommissionCommand::scanSettings(a, QString()));
        if (scanner.run() == GatewayScanner::Outcome::Finished) {
            for (int row = 0; row < scanner.list().count() && holder.isEmpty(); ++row) {
                if (ParseDottedAddress(scanner.list().cellText(row, GatewayList::IpAddressColumn)) == address)
                    holder = scanner.list().cellText(row, GatewayList::MacAddressColumn);
            }
        }
        if (holder.isEmpty())
            holder = NeighbourProbe::holderOf(address);
        if (!holder.isEmpty() && !holder.endsWith(tail)) {
            *err += loadString(WriteText::ListedHolder).arg(addressText, holder).toUtf8() + '\n';
            return CommissionCommand::Refused;
        }
    }
    QString reason;
    WriteJournal journal;
    // The gateway lies outside every subnet: nothing of it can be read.
    if (!journal.append(JournalEntry::reset(QUuid::createUuid().toString(QUuid::WithoutBraces), tail, addressText),
                        &reason)) {
        *err += loadString(JournalFailedString).arg(journal.path(), reason).toUtf8() + '\n';
        return CommissionCommand::Refused;
    }
    if (!WriteEngine::sendReset(address, a.macByte5, a.macByte6, BuildAdapterBroadcastList())) {
        *err += loadString(ResetNotSentString).toUtf8() + '\n';
        return CommissionCommand::NotConfirmed;
    }
    *out += loadString(ResetSentString).arg(tail, addressText).toUtf8() + '\n';
    return CommissionCommand::Confirmed;
}

QList<QJsonObject> writesOf(const QList<QJsonObject> &entries, const QString &macText)
{
    QList<QJsonObject> writes;
    for (const QJsonObject &entry : entries) {
        if (!JournalEntry::isWrite(entry))
            continue;
        if (!macText.isEmpty() && entry.value(QStringLiteral("mac")).toString() != macText)
            continue;
        writes.append(entry);
    }
    return writes;
}

// The journal's entries; false, with the reason on `err`, when it cannot be
// read. Damaged lines are skipped and said.
bool journalEntries(QList<QJsonObject> *entries, QByteArray *err)
{
    const WriteJournal::ReadResult journal = WriteJournal().read();
    if (!journal.error.isEmpty()) {
        *err += journal.error.toUtf8() + '\n';
        return false;
    }
    if (journal.damagedLines > 0)
        *err += journal.damageNote().toUtf8() + '\n';
    *entries = journal.entries;
    return true;
}

int runHistory(const CommissionCommand::Arguments &a, QByteArray *out, QByteArray *err)
{
    QList<QJsonObject> entries;
    if (!journalEntries(&entries, err))
        return CommissionCommand::Refused;
    QHash<QString, QString> outcomes;
    for (const QJsonObject &entry : entries) {
        if (JournalEntry::isOutcome(entry))
            outcomes.insert(entry.value(QStringLiteral("id")).toString(), entry.value(QStringLiteral("outcome")).toString());
    }
    const QString mac = a.mac.isEmpty() ? QString() : MacAddressText(MacAddressFromText(a.mac));
    const QList<QJsonObject> writes = writesOf(entries, mac);
    QJsonArray list;
    QString text;
    for (int i = 0; i < writes.size(); ++i) {
        QJsonObject entry = writes.at(i);
        const QString outcome = outcomes.value(entry.value(QStringLiteral("id")).toString(), QStringLiteral("unknown"));
        entry.insert(QStringLiteral("number"), i + 1);
        entry.insert(QStringLiteral("outcome"), outcome);
        list.append(entry);
        const QString who = entry.contains(QStringLiteral("mac")) ? entry.value(QStringLiteral("mac")).toString()
                                                                   : entry.value(QStringLiteral("macTail")).toString();
        const QJsonObject read = entry.value(QStringLiteral("read")).toObject();
        text += QStringLiteral("%1  %2  %3  %4  %5  %6\n")
                    .arg(i + 1, 3)
                    .arg(entry.value(QStringLiteral("time")).toString(), entry.value(QStringLiteral("command")).toString(),
                         who, read.value(QStringLiteral("ip")).toString(QStringLiteral("-")), outcome);
    }
    if (a.json)
        *out += QJsonDocument(QJsonObject{{QStringLiteral("writes"), list}}).toJson(QJsonDocument::Indented);
    else
        *out += (writes.isEmpty() ? loadString(NoHistoryString) + QLatin1Char('\n') : text).toUtf8();
    return CommissionCommand::Confirmed;
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
        *err += loadString(SocketFailedString).arg(socketError).toUtf8() + '\n';
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

QString helpText()
{
    return loadString(HelpString);
}

bool handles(const QString &command)
{
    return command == QLatin1String("set") || command == QLatin1String("reset")
        || command == QLatin1String("history") || command == QLatin1String("restore")
        || command == QLatin1String("apply");
}

std::optional<Arguments> parse(const QStringList &arguments, QString *error)
{
    Arguments a;
    a.command = arguments.value(0);
    if (qEnvironmentVariableIsSet("OVIPGW_PASSWORD"))
        a.password.environment = qEnvironmentVariable("OVIPGW_PASSWORD");
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
            *error = loadString(UnknownOptionString).arg(name);
            return std::nullopt;
        }
        if (given.contains(name)) {
            *error = loadString(RepeatedOptionString).arg(name);
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
                *error = loadString(MissingValueString).arg(name);
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
            ok = *value == QLatin1String("json") || *value == QLatin1String("table");
            a.json = *value == QLatin1String("json");
        } else if (name == QLatin1String("--password")) {
            a.password.commandLine = *value;
        } else {
            a.password.file = *value;
        }
        if (!ok) {
            *error = loadString(BadValueString).arg(name, *value);
            return std::nullopt;
        }
    }
    if (a.help)
        return a;

    const auto takeMac = [&](const QString &text) {
        const std::optional<QString> mac = normalisedMac(text);
        if (!mac)
            *error = loadString(BadMacString).arg(text);
        a.mac = mac.value_or(QString());
        return mac.has_value();
    };
    const int wanted = a.command == QLatin1String("history") ? (positional.isEmpty() ? 0 : 1)
                     : a.command == QLatin1String("reset") ? 2 : 1;
    if (positional.size() != wanted) {
        *error = positional.size() > wanted ? loadString(UnexpectedArgumentString).arg(positional.value(wanted))
                                            : loadString(BadMacString).arg(QString());
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
            *error = loadString(BadMacTailString).arg(positional.at(0));
            return std::nullopt;
        }
        a.macByte5 = quint8(value >> 8);
        a.macByte6 = quint8(value & 0xFF);
        if (!a.change.take(QStringLiteral("--ip"), positional.at(1))) {
            *error = loadString(BadValueString).arg(QStringLiteral("ADDR"), positional.at(1));
            return std::nullopt;
        }
        return a;
    }
    if (wanted == 1 && !takeMac(positional.at(0)))
        return std::nullopt;
    if (a.command == QLatin1String("set") && !changeGiven) {
        *error = loadString(NeedsChangeString);
        return std::nullopt;
    }
    return a;
}

int run(const Arguments &a, QByteArray *out, QByteArray *err)
{
    if (a.help) {
        *out += helpText().toUtf8();
        return Confirmed;
    }
    if (a.command == QLatin1String("reset"))
        return runReset(a, out, err);
    if (a.command == QLatin1String("history"))
        return runHistory(a, out, err);

    QString error;
    std::optional<QString> password = resolvePassword(a.password, a.change.locked == true, &error, err);
    // From the file, the environment or the terminal as from --password: a
    // gateway takes the password as code page 1252 bytes.
    if (password && !isWindows1252Encodable(*password)) {
        error = loadString(PasswordOutsideCodePageString);
        password.reset();
    }
    if (!password) {
        *err += loadString(UsageErrorString).arg(error).toUtf8();
        return UsageError;
    }
    if (a.change.locked == true && password->isEmpty()) {
        *err += loadString(UsageErrorString).arg(loadString(WriteText::PasswordNeeded)).toUtf8();
        return UsageError;
    }

    ConfigurationChange change = a.change;
    if (a.command == QLatin1String("restore")) {
        QList<QJsonObject> entries;
        if (!journalEntries(&entries, err))
            return Refused;
        const QList<QJsonObject> writes = writesOf(entries, MacAddressText(MacAddressFromText(a.mac)));
        const int index = a.at < 0 ? int(writes.size()) - 1 : a.at - 1;
        if (index < 0 || index >= writes.size()) {
            *err += loadString(NoSnapshotString).arg(a.at < 0 ? QString() : QString::number(a.at), a.mac).toUtf8() + '\n';
            return Refused;
        }
        // Only what the snapshot read goes back, each value as `set` would
        // take it; a damaged one refuses the whole restore.
        QString damagedKey;
        const std::optional<GatewayReading> snapshot = JournalEntry::snapshot(writes.at(index), &damagedKey);
        if (!snapshot) {
            *err += loadString(DamagedSnapshotString).arg(QString::number(index + 1), damagedKey).toUtf8() + '\n';
            return Refused;
        }
        change = ConfigurationChange::fromSnapshot(*snapshot);
    }

    if (a.command == QLatin1String("apply"))
        return ApplyCommand::run(a, *password, out, err);

    WriteEngine::Result result;
    int status = Confirmed;
    if (!runWrites(a, *password, {WriteRequest{a.mac, change}}, WriteEngine::Settings{}, &result, err, &status))
        return status;
    WriteReport report = result.reports.value(0);
    if (report.result == QLatin1String("missing")) {
        report.result = QStringLiteral("notFound");
        report.text = loadString(NotFoundString).arg(report.mac);
    } else if (report.result == QLatin1String("nothingToWrite")) {
        report.status = Confirmed;
    }
    *(report.status == Confirmed || report.status == NotConfirmed ? out : err) += render(report, a.json);
    return report.status;
}

bool runWrites(const Arguments &arguments, const QString &password, const QList<WriteRequest> &requests,
               const WriteEngine::Settings &overrides, WriteEngine::Result *result, QByteArray *err, int *status)
{
    WriteEngine::Settings settings = overrides;
    settings.scan = scanSettings(arguments, password);
    settings.ipSetupDestinations = SelectBroadcastDestinations(
        arguments.broadcast.isEmpty() ? QString::fromLatin1(LimitedBroadcastText) : arguments.broadcast,
        BuildAdapterBroadcastList());
    settings.password = password;
    settings.force = arguments.force;
    settings.keepGoing = settings.keepGoing && arguments.keepGoing;
    settings.dryRun = arguments.dryRun;

    WriteJournal journal;
    const QString command = arguments.command;
    WriteEngine::Safeguards safeguards;
    safeguards.recordSnapshot = [&journal, command](const WriteReport &report, const WritePlan &plan, QString *error) {
        QString reason;
        if (journal.append(JournalEntry::write(command, report, plan), &reason))
            return true;
        *error = loadString(JournalFailedString).arg(journal.path(), reason);
        return false;
    };
    safeguards.recordOutcome = [&journal](const WriteReport &report) {
        QString ignored;
        journal.append(JournalEntry::outcome(report), &ignored);
    };
    safeguards.holdersOf = [](const QList<quint32> &addresses) { return NeighbourProbe::holdersOf(addresses); };

    WriteEngine engine(settings, safeguards);
    *result = engine.run(requests);
    if (!scanSucceeded(result->scan, result->socketError, err, status))
        return false;
    if (!result->journalError.isEmpty()) {
        *err += result->journalError.toUtf8() + '\n';
        *status = Refused;
        return false;
    }
    return true;
}

} // namespace CommissionCommand
