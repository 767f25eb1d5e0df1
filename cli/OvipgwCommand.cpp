#include "OvipgwCommand.h"

#include "BroadcastDestinations.h"
#include "CommissionCommand.h"
#include "GatewayScanner.h"
#include "NoReplyDiagnosis.h"
#include "StoredPassword.h"
#include "StringTable.h"
#include "Texts.h"
#include "Windows1252.h"

#include <QHostAddress>

namespace {

constexpr int MinTimeoutMs = 100;
constexpr int MaxTimeoutMs = 60000;

bool isHelp(const QString &argument)
{
    return argument == QLatin1String("--help") || argument == QLatin1String("-h");
}

std::optional<ScanReport::Format> formatNamed(const QString &name)
{
    if (name == QLatin1String("table"))
        return ScanReport::Format::Table;
    if (name == QLatin1String("json"))
        return ScanReport::Format::Json;
    if (name == QLatin1String("tsv"))
        return ScanReport::Format::Tsv;
    if (name == QLatin1String("csv"))
        return ScanReport::Format::Csv;
    return std::nullopt;
}

bool isDottedIpv4(const QString &text)
{
    // Four decimal parts only: QHostAddress would also take "10.1" or hex.
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString &part : parts) {
        bool ok = false;
        const int value = part.toInt(&ok, 10);
        if (!ok || part.isEmpty() || part.size() > 3 || value < 0 || value > 255
            || !part.at(0).isDigit())
            return false;
    }
    return true;
}

} // namespace

namespace OvipgwCommand {

QString helpText()
{
    return loadString(Text::OvipgwOverview);
}

std::optional<Parsed> parse(const QStringList &arguments, QString *error)
{
    Parsed parsed;
    if (arguments.isEmpty()) {
        *error = loadString(Text::NoCommand);
        return std::nullopt;
    }
    if (isHelp(arguments.first())) {
        parsed.help = true;
        return parsed;
    }
    if (arguments.first() != QLatin1String("scan")) {
        *error = loadString(arguments.first().startsWith(QLatin1Char('-')) ? Text::UnknownOption
                                                                            : Text::UnknownCommand)
                     .arg(arguments.first());
        return std::nullopt;
    }

    QStringList given;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (isHelp(argument)) {
            parsed.help = true;
            continue;
        }
        if (!argument.startsWith(QLatin1String("--"))) {
            *error = loadString(Text::UnexpectedArgument).arg(argument);
            return std::nullopt;
        }
        QString name = argument;
        std::optional<QString> value;
        if (const qsizetype equals = argument.indexOf(QLatin1Char('=')); equals > 0) {
            name = argument.left(equals);
            value = argument.mid(equals + 1);
        }
        static const QStringList known{QStringLiteral("--broadcast"), QStringLiteral("--password"),
                                       QStringLiteral("--timeout"), QStringLiteral("--format")};
        if (!known.contains(name)) {
            *error = loadString(Text::UnknownOption).arg(name);
            return std::nullopt;
        }
        if (given.contains(name)) {
            *error = loadString(Text::RepeatedOption).arg(name);
            return std::nullopt;
        }
        given.append(name);
        if (!value) {
            if (i + 1 >= arguments.size()) {
                *error = loadString(Text::MissingValue).arg(name);
                return std::nullopt;
            }
            value = arguments.at(++i);
        }

        if (name == QLatin1String("--broadcast")) {
            if (!isDottedIpv4(*value)) {
                *error = loadString(Text::NotAnAddress).arg(*value);
                return std::nullopt;
            }
            parsed.scan.broadcast = *value;
        } else if (name == QLatin1String("--password")) {
            if (!isWindows1252Encodable(*value)) {
                *error = loadString(Text::CommandLinePasswordOutsideCodePage);
                return std::nullopt;
            }
            parsed.scan.password = *value;
        } else if (name == QLatin1String("--timeout")) {
            bool ok = false;
            const int timeout = value->toInt(&ok, 10);
            if (!ok || timeout < MinTimeoutMs || timeout > MaxTimeoutMs) {
                *error = loadString(Text::BadTimeout);
                return std::nullopt;
            }
            parsed.scan.timeoutMs = timeout;
        } else {
            const auto format = formatNamed(*value);
            if (!format) {
                *error = loadString(Text::BadFormat);
                return std::nullopt;
            }
            parsed.scan.format = *format;
        }
    }
    return parsed;
}

int run(const QStringList &arguments, QByteArray *out, QByteArray *err)
{
    QString error;
    if (!arguments.isEmpty() && CommissionCommand::handles(arguments.first())) {
        std::optional<CommissionCommand::Arguments> commission = CommissionCommand::parse(arguments, &error);
        // A gateway takes the password as code page 1252 bytes, every other
        // character as '?': such a password would lock it for many others.
        if (commission && commission->password.commandLine
            && !isWindows1252Encodable(*commission->password.commandLine)) {
            error = loadString(Text::CommandLinePasswordOutsideCodePage);
            commission.reset();
        }
        if (!commission) {
            *err += loadString(Text::UsageError).arg(error).toUtf8();
            return UsageError;
        }
        return CommissionCommand::run(*commission, out, err);
    }
    const std::optional<Parsed> parsed = parse(arguments, &error);
    if (!parsed) {
        *err += loadString(Text::UsageError).arg(error).toUtf8();
        return UsageError;
    }
    if (parsed->help) {
        *out += (isHelp(arguments.first()) ? helpText() : loadString(Text::ScanHelp)).toUtf8();
        return Found;
    }

    ScanArguments scan = parsed->scan;
    // Read as the window reads: with the password it stores when its
    // protection is on.
    if (!scan.password)
        scan.password = StoredPassword::read(err);
    ScanSettings settings;
    settings.destinations = SelectBroadcastDestinations(
        scan.broadcast.isEmpty() ? QString::fromLatin1(LimitedBroadcastText) : scan.broadcast,
        BuildAdapterBroadcastList());
    settings.passwordProtection = scan.password.has_value();
    settings.password = scan.password.value_or(QString());
    settings.timeoutMs = scan.timeoutMs;

    GatewayScanner scanner(settings);
    switch (scanner.run()) {
    case GatewayScanner::Outcome::PortTaken:
        *err += NoReplyDiagnosis::portTakenText().toUtf8() + '\n';
        return PortTaken;
    case GatewayScanner::Outcome::SocketFailed:
        *err += loadString(Text::SocketFailed).arg(scanner.socketError()).toUtf8() + '\n';
        return NoneFound;
    case GatewayScanner::Outcome::Finished:
        break;
    }

    const QList<ScanRow> rows = ScanReport::rows(scanner.list(), scanner.gateways());
    QString diagnosis;
    if (rows.isEmpty()) {
        diagnosis = NoReplyDiagnosis::noGatewayText(settings.destinations, scanner.adapters(),
                                                    NoReplyDiagnosis::installedFirewall());
        *err += diagnosis.toUtf8() + '\n';
    }
    if (!rows.isEmpty() || scan.format != ScanReport::Format::Table)
        *out += ScanReport::render(scan.format, rows, diagnosis);
    if (rows.isEmpty())
        return NoneFound;
    return ScanReport::allComplete(rows) ? Found : NotAllRead;
}

} // namespace OvipgwCommand
