#include "CommissionCommand.h"

#include "BroadcastDestinations.h"
#include "DeviceTables.h"
#include "GatewayScanner.h"
#include "GatewayWriter.h"
#include "NeighbourProbe.h"
#include "NoReplyDiagnosis.h"
#include "PasswordPrompt.h"
#include "StringTable.h"
#include "Telegrams.h"
#include "WriteJournal.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

namespace {

// Texts of the writing commands.
enum CommissionText : int {
    HelpString = 420,
    NotFoundString = 421,
    LockedString = 422,
    CorruptString = 423,
    UnknownTypeString = 424,
    RecordNotReadString = 425,
    NetworkNotReadString = 426,
    ModeRefusedString = 427,
    ListedHolderString = 428,
    ProbedHolderString = 429,
    JournalFailedString = 430,
    NothingToWriteString = 431,
    ConfirmedString = 432,
    NotConfirmedString = 433,
    NotFoundAgainString = 434,
    NotSentString = 435,
    PasswordVisibleString = 436,
    BadMacString = 437,
    BadValueString = 438,
    PasswordFileString = 439,
    ResetSentString = 440,
    NoHistoryString = 441,
    NoSnapshotString = 442,
    FieldHeaderString = 443,
    NeedsChangeString = 444,
    ResetNotSentString = 445,
    BadMacTailString = 446,
    PasswordNeededString = 447,
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

const QStringList SetOptions{
    QStringLiteral("--ip"),        QStringLiteral("--mask"),      QStringLiteral("--gateway"),
    QStringLiteral("--mode"),      QStringLiteral("--port"),      QStringLiteral("--remote-ip"),
    QStringLiteral("--remote-mask"), QStringLiteral("--baud"),    QStringLiteral("--data-bits"),
    QStringLiteral("--stop-bits"), QStringLiteral("--parity"),    QStringLiteral("--flow"),
    QStringLiteral("--oem")};
const QStringList CommonOptions{QStringLiteral("--broadcast"), QStringLiteral("--timeout"),
                                QStringLiteral("--format"), QStringLiteral("--password"),
                                QStringLiteral("--password-file")};
const QStringList Flags{QStringLiteral("--protect"), QStringLiteral("--force"), QStringLiteral("--help"),
                        QStringLiteral("-h")};

std::optional<quint32> dottedValue(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    quint32 value = 0;
    for (const QString &part : parts) {
        bool ok = false;
        const int number = part.toInt(&ok, 10);
        if (!ok || part.isEmpty() || part.size() > 3 || !part.at(0).isDigit() || number > 255)
            return std::nullopt;
        value = (value << 8) | quint32(number);
    }
    return value;
}

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

QString rowMac(const GatewayList &list, int row)
{
    QString mac = list.cellText(row, GatewayList::MacAddressColumn);
    mac.remove(QLatin1Char('-'));
    return mac.toUpper();
}

int rowOf(const GatewayList &list, const QString &mac)
{
    for (int row = 0; row < list.count(); ++row) {
        if (rowMac(list, row) == mac)
            return row;
    }
    return -1;
}

// Puts one option's value into the change; false when it is out of range.
bool takeSetOption(const QString &name, const QString &value, ConfigurationChange *change)
{
    bool ok = false;
    const int number = value.toInt(&ok, 10);
    if (name == QLatin1String("--ip")) {
        if (value.compare(QLatin1String("dhcp"), Qt::CaseInsensitive) == 0) {
            change->dhcp = true;
            return true;
        }
        change->address = dottedValue(value);
        change->dhcp = false;
        return change->address && *change->address != 0;
    }
    if (name == QLatin1String("--mask")) {
        const std::optional<quint32> mask = dottedValue(value);
        if (value == QLatin1String("auto")) {
            change->hostBits = 0;
            return true;
        }
        // Only a run of ones followed by zeros is a subnet mask.
        if (!mask || *mask == 0 || MaskFromHostBits(HostBitsFromMask(*mask)) != *mask)
            return false;
        change->hostBits = HostBitsFromMask(*mask);
        return true;
    }
    if (name == QLatin1String("--gateway")) {
        change->defaultGateway = value == QLatin1String("none") ? std::optional<quint32>(0) : dottedValue(value);
        return change->defaultGateway.has_value();
    }
    if (name == QLatin1String("--mode")) {
        for (int mode = 0; mode < ModeCount; ++mode) {
            if (value == modeKey(mode) || (ok && number == mode))
                change->mode = mode;
        }
        return change->mode.has_value();
    }
    if (name == QLatin1String("--port")) {
        change->port = number;
        return ok && number >= 0 && number <= 0xFFFF;
    }
    if (name == QLatin1String("--remote-ip") || name == QLatin1String("--remote-mask")) {
        std::optional<quint32> &field = name == QLatin1String("--remote-ip") ? change->remoteAddress : change->remoteMask;
        field = dottedValue(value);
        return field.has_value();
    }
    if (name == QLatin1String("--baud")) {
        change->baudRate = number;
        return ok && StringTable::comboEntries(1015).contains(value);
    }
    if (name == QLatin1String("--data-bits")) {
        change->dataBits = number;
        return ok && (number == 7 || number == 8);
    }
    if (name == QLatin1String("--stop-bits")) {
        change->stopBits = number;
        return ok && (number == 1 || number == 2);
    }
    if (name == QLatin1String("--parity")) {
        change->parity = int(QStringList{QStringLiteral("none"), QStringLiteral("even"), QStringLiteral("odd")}.indexOf(value));
        return *change->parity >= 0;
    }
    if (name == QLatin1String("--flow")) {
        change->flowControl = int(QStringList{QStringLiteral("none"), QStringLiteral("rtscts")}.indexOf(value));
        return *change->flowControl >= 0;
    }
    // --oem: a type code of the device table.
    const quint32 type = ParseHexNumber(value);
    change->oemType = type;
    return std::any_of(DeviceTypeTable.cbegin(), DeviceTypeTable.cend(),
                       [type](const DeviceType &entry) { return entry.typeCode == type; });
}

// ---- output ----------------------------------------------------------------

struct Report
{
    QString mac;
    QString result; // JSON key of the outcome
    QString text;
    int status = 0;
    QStringList sent;
    std::optional<GatewayConfiguration> read;
    std::optional<GatewayConfiguration> reported;
    QList<FieldComparison> fields;
};

QByteArray render(const Report &report, bool json)
{
    if (json) {
        QJsonArray fields;
        for (const FieldComparison &field : report.fields)
            fields.append(QJsonObject{{QStringLiteral("key"), field.key},
                                      {QStringLiteral("wanted"), field.wanted},
                                      {QStringLiteral("reported"), field.reported},
                                      {QStringLiteral("confirmed"), field.matches()}});
        QJsonObject root{{QStringLiteral("mac"), report.mac},
                         {QStringLiteral("result"), report.result},
                         {QStringLiteral("resultText"), report.text},
                         {QStringLiteral("exitStatus"), report.status},
                         {QStringLiteral("sent"), QJsonArray::fromStringList(report.sent)},
                         {QStringLiteral("fields"), fields}};
        if (report.read)
            root.insert(QStringLiteral("read"), report.read->toJson());
        if (report.reported)
            root.insert(QStringLiteral("reported"), report.reported->toJson());
        return QJsonDocument(root).toJson(QJsonDocument::Indented);
    }
    QString text = report.mac + QStringLiteral(": ") + report.text + QLatin1Char('\n');
    if (!report.fields.isEmpty()) {
        QList<QStringList> lines{loadString(FieldHeaderString).split(QLatin1Char('\t'))};
        for (const FieldComparison &field : report.fields)
            lines.append({field.key, field.wanted, field.reported, field.matches() ? QString() : QStringLiteral("!")});
        QList<int> widths(4, 0);
        for (const QStringList &line : lines) {
            for (int i = 0; i < line.size() && i < 4; ++i)
                widths[i] = qMax(widths[i], int(line[i].size()));
        }
        for (const QStringList &line : lines) {
            QString out = QStringLiteral("  ");
            for (int i = 0; i < line.size(); ++i)
                out += line[i].leftJustified(widths[i] + 2);
            text += out.trimmed().prepend(QStringLiteral("  ")) + QLatin1Char('\n');
        }
    }
    return text.toUtf8();
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
        return PasswordPrompt::ask(loadString(PasswordNeededString));
    return QString();
}

// ---- one gateway's write ---------------------------------------------------

class SetRun
{
public:
    SetRun(const CommissionCommand::Arguments &arguments, const QString &password, QByteArray *err)
        : m_arguments(arguments)
        , m_password(password)
        , m_err(err)
    {
        m_settings.destinations = SelectBroadcastDestinations(
            arguments.broadcast.isEmpty() ? QString::fromLatin1(LimitedBroadcastText) : arguments.broadcast,
            BuildAdapterBroadcastList());
        m_settings.passwordProtection = !password.isEmpty();
        m_settings.password = password;
        m_settings.timeoutMs = arguments.timeoutMs;
    }

    // Reads, checks, writes and reads again; the report says how it went.
    Report run(const QString &command, const ConfigurationChange &change);

private:
    // A fresh read of the whole network; false when the port is taken.
    bool scan(GatewayScanner &scanner, Report *report);
    int refusal(const GatewayConfiguration &current, const ConfigurationChange &change, const GatewayList &list,
                QString *holder) const;
    bool journal(const QJsonObject &entry, Report *report);

    const CommissionCommand::Arguments &m_arguments;
    QString m_password;
    QByteArray *m_err;
    ScanSettings m_settings;
    QString m_id = QUuid::createUuid().toString(QUuid::WithoutBraces);
};

bool SetRun::scan(GatewayScanner &scanner, Report *report)
{
    switch (scanner.run()) {
    case GatewayScanner::Outcome::PortTaken:
        *m_err += NoReplyDiagnosis::portTakenText().toUtf8() + '\n';
        report->status = CommissionCommand::PortTaken;
        return false;
    case GatewayScanner::Outcome::SocketFailed:
        *m_err += loadString(SocketFailedString).arg(scanner.socketError()).toUtf8() + '\n';
        report->status = CommissionCommand::NotFound;
        return false;
    case GatewayScanner::Outcome::Finished:
        break;
    }
    return true;
}

int SetRun::refusal(const GatewayConfiguration &current, const ConfigurationChange &change, const GatewayList &list,
                    QString *holder) const
{
    const bool writesRecord = change.touchesRecord() || change.oemType || change.locked;
    if (writesRecord) {
        if (current.status == int(RowStatus::WrongPassword))
            return LockedString;
        if (current.status == int(RowStatus::CorruptContent))
            return CorruptString;
        if (current.typeCode == 0)
            return UnknownTypeString;
        // A record sent from fields never read would carry zeros.
        if (!current.recordRead)
            return RecordNotReadString;
        const int mode = change.mode.value_or(current.mode);
        const quint32 type = change.oemType.value_or(current.typeCode);
        for (const DeviceType &entry : DeviceTypeTable) {
            if (entry.typeCode == type && (entry.allowedModesMask & modeBit(mode)) == 0)
                return ModeRefusedString;
        }
    }
    if (change.touchesNetwork() && !current.networkRead)
        return NetworkNotReadString;

    const bool newFixedAddress =
        change.dhcp == false && change.address && (current.dhcp || *change.address != current.address);
    if (newFixedAddress && !m_arguments.force) {
        for (int row = 0; row < list.count(); ++row) {
            if (rowMac(list, row) != m_arguments.mac
                && ParseDottedAddress(list.cellText(row, GatewayList::IpAddressColumn)) == *change.address) {
                *holder = list.cellText(row, GatewayList::MacAddressColumn);
                return ListedHolderString;
            }
        }
        const QString probed = NeighbourProbe::holderOf(*change.address);
        if (!probed.isEmpty() && QString(probed).remove(QLatin1Char('-')) != m_arguments.mac) {
            *holder = probed;
            return ProbedHolderString;
        }
    }
    return 0;
}

bool SetRun::journal(const QJsonObject &entry, Report *report)
{
    WriteJournal journal;
    QString reason;
    if (journal.append(entry, &reason))
        return true;
    report->result = QStringLiteral("refused");
    report->text = loadString(JournalFailedString).arg(journal.path(), reason);
    report->status = CommissionCommand::Refused;
    return false;
}

Report SetRun::run(const QString &command, const ConfigurationChange &change)
{
    Report report;
    report.mac = MacAddressText(MacAddressFromText(m_arguments.mac));
    GatewayScanner before(m_settings);
    if (!scan(before, &report))
        return report;
    const int row = rowOf(before.list(), m_arguments.mac);
    if (row < 0) {
        report.result = QStringLiteral("notFound");
        report.text = loadString(NotFoundString).arg(report.mac);
        report.status = CommissionCommand::NotFound;
        return report;
    }
    const GatewayConfiguration current = GatewayConfiguration::fromRow(before.list(), row);
    report.read = current;

    QString holder;
    if (const int refused = refusal(current, change, before.list(), &holder)) {
        QString text = loadString(refused);
        if (refused == ModeRefusedString)
            text = text.arg(modeKey(change.mode.value_or(current.mode)));
        else if (refused == ListedHolderString || refused == ProbedHolderString)
            text = text.arg(DottedAddressText(change.address.value_or(0)), holder);
        report.result = QStringLiteral("refused");
        report.text = text;
        report.status = CommissionCommand::Refused;
        return report;
    }

    // The configuration the gateway is to have, and what differs.
    GatewayConfiguration target = current;
    const bool addressChanges = change.dhcp && (*change.dhcp != current.dhcp
                                                || (!*change.dhcp && *change.address != current.address));
    if (addressChanges) {
        target.dhcp = *change.dhcp;
        target.address = target.dhcp ? 0 : *change.address;
    }
    const bool identityChanges = change.oemType && *change.oemType != current.typeCode;
    target.typeCode = change.oemType.value_or(current.typeCode);
    target.hostBits = change.hostBits.value_or(current.hostBits);
    target.defaultGateway = change.defaultGateway.value_or(current.defaultGateway);
    const bool networkChanges = change.touchesNetwork()
        && (target.hostBits != current.hostBits || target.defaultGateway != current.defaultGateway);
    target.mode = change.mode.value_or(current.mode);
    target.port = change.port.value_or(current.port);
    target.remoteAddress = change.remoteAddress.value_or(current.remoteAddress);
    target.remoteMask = change.remoteMask.value_or(current.remoteMask);
    target.baudRate = change.baudRate.value_or(current.baudRate);
    target.dataBits = change.dataBits.value_or(current.dataBits);
    target.stopBits = change.stopBits.value_or(current.stopBits);
    target.parity = change.parity.value_or(current.parity);
    target.flowControl = change.flowControl.value_or(current.flowControl);
    const bool lock = change.locked.value_or(current.locked());
    const bool recordChanges = current.recordRead
        && (identityChanges || lock != current.locked() || target.mode != current.mode || target.port != current.port
            || target.remoteAddress != current.remoteAddress || target.remoteMask != current.remoteMask
            || target.baudRate != current.baudRate || target.dataBits != current.dataBits
            || target.stopBits != current.stopBits || target.parity != current.parity
            || target.flowControl != current.flowControl);

    if (!addressChanges && !identityChanges && !networkChanges && !recordChanges) {
        report.result = QStringLiteral("nothingToWrite");
        report.text = loadString(NothingToWriteString);
        report.fields = compareFields(change, current);
        report.status = CommissionCommand::Confirmed;
        return report;
    }

    if (lock && m_password.isEmpty()) {
        report.result = QStringLiteral("refused");
        report.text = loadString(PasswordNeededString);
        report.status = CommissionCommand::Refused;
        return report;
    }
    QJsonObject send{{QStringLiteral("address"), addressChanges}, {QStringLiteral("identity"), identityChanges},
                     {QStringLiteral("network"), networkChanges}, {QStringLiteral("setup"), recordChanges}};
    QJsonObject planned = target.toJson();
    planned.insert(QStringLiteral("locked"), lock);
    send.insert(QStringLiteral("configuration"), planned);
    if (!journal(QJsonObject{{QStringLiteral("event"), QStringLiteral("write")},
                             {QStringLiteral("id"), m_id},
                             {QStringLiteral("command"), command},
                             {QStringLiteral("mac"), report.mac},
                             {QStringLiteral("read"), current.toJson()},
                             {QStringLiteral("send"), send}},
                 &report))
        return report;

    GatewayWriter writer(m_arguments.broadcast, lock, m_password);
    QString destination = DottedAddressText(current.address);
    bool sendFailed = false;
    const auto sent = [&](const QString &exchange, bool ok) {
        if (ok)
            report.sent.append(exchange);
        else
            sendFailed = true;
        return ok;
    };
    if (addressChanges && sent(QStringLiteral("ipSetup"), writer.writeIpSetup(target.address, m_arguments.mac))) {
        if (target.dhcp) {
            // The address the gateway now has comes from the DHCP server.
            GatewayScanner leased(m_settings);
            if (!scan(leased, &report))
                return report;
            const int leasedRow = rowOf(leased.list(), m_arguments.mac);
            destination = leasedRow < 0 ? QString()
                                        : DottedAddressText(ParseDottedAddress(
                                              leased.list().cellText(leasedRow, GatewayList::IpAddressColumn)));
        } else {
            destination = DottedAddressText(target.address);
        }
    }
    if (!sendFailed && !destination.isEmpty()) {
        if (identityChanges)
            sent(QStringLiteral("identity"), writer.writeIdentity(destination, target.typeCode));
        if (networkChanges)
            sent(QStringLiteral("network"), writer.writeNetwork(destination, target.hostBits, target.defaultGateway));
        if (recordChanges && !sendFailed)
            sent(QStringLiteral("setup"), writer.writeSetup(destination, target));
    }

    GatewayScanner after(m_settings);
    if (!scan(after, &report))
        return report;
    const int afterRow = rowOf(after.list(), m_arguments.mac);
    report.status = CommissionCommand::NotConfirmed;
    if (afterRow < 0) {
        report.result = QStringLiteral("notFoundAgain");
        report.text = loadString(NotFoundAgainString);
    } else {
        report.reported = GatewayConfiguration::fromRow(after.list(), afterRow);
        ConfigurationChange expected = change;
        // A gateway moved to DHCP answers under its leased address.
        if (target.dhcp)
            expected.address.reset();
        expected.locked = lock;
        report.fields = compareFields(expected, *report.reported);
        QStringList differing;
        for (const FieldComparison &field : report.fields) {
            if (!field.matches())
                differing.append(field.key);
        }
        if (sendFailed) {
            report.result = QStringLiteral("notSent");
            report.text = loadString(NotSentString);
        } else if (differing.isEmpty()) {
            report.result = QStringLiteral("confirmed");
            report.text = loadString(ConfirmedString);
            report.status = CommissionCommand::Confirmed;
        } else {
            report.result = QStringLiteral("notConfirmed");
            report.text = loadString(NotConfirmedString).arg(differing.join(QStringLiteral(", ")));
        }
    }
    QString ignored;
    WriteJournal().append(QJsonObject{{QStringLiteral("event"), QStringLiteral("outcome")},
                                      {QStringLiteral("id"), m_id},
                                      {QStringLiteral("mac"), report.mac},
                                      {QStringLiteral("outcome"), report.result},
                                      {QStringLiteral("sent"), QJsonArray::fromStringList(report.sent)}},
                          &ignored);
    return report;
}

// ---- the other commands ----------------------------------------------------

int runReset(const CommissionCommand::Arguments &a, QByteArray *out, QByteArray *err)
{
    const quint32 address = a.change.dhcp == true ? 0 : a.change.address.value_or(0);
    const QString addressText = address == 0 ? QStringLiteral("dhcp") : DottedAddressText(address);
    const QString tail = QStringLiteral("%1-%2").arg(a.macByte5, 2, 16, QLatin1Char('0')).arg(a.macByte6, 2, 16, QLatin1Char('0')).toUpper();
    QString reason;
    WriteJournal journal;
    // The gateway lies outside every subnet: nothing of it can be read.
    if (!journal.append(QJsonObject{{QStringLiteral("event"), QStringLiteral("write")},
                                    {QStringLiteral("id"), QUuid::createUuid().toString(QUuid::WithoutBraces)},
                                    {QStringLiteral("command"), QStringLiteral("reset")},
                                    {QStringLiteral("macTail"), tail},
                                    {QStringLiteral("send"), QJsonObject{{QStringLiteral("ip"), addressText}}}},
                        &reason)) {
        *err += loadString(JournalFailedString).arg(journal.path(), reason).toUtf8() + '\n';
        return CommissionCommand::Refused;
    }
    if (!GatewayWriter::sendReset(address, a.macByte5, a.macByte6)) {
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
        if (entry.value(QStringLiteral("event")).toString() != QLatin1String("write"))
            continue;
        if (!macText.isEmpty() && entry.value(QStringLiteral("mac")).toString() != macText)
            continue;
        writes.append(entry);
    }
    return writes;
}

int runHistory(const CommissionCommand::Arguments &a, QByteArray *out)
{
    const QList<QJsonObject> entries = WriteJournal().entries();
    QHash<QString, QString> outcomes;
    for (const QJsonObject &entry : entries) {
        if (entry.value(QStringLiteral("event")).toString() == QLatin1String("outcome"))
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

QString helpText()
{
    return loadString(HelpString);
}

bool handles(const QString &command)
{
    return command == QLatin1String("set") || command == QLatin1String("reset")
        || command == QLatin1String("history") || command == QLatin1String("restore");
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
        if (!Flags.contains(name) && !CommonOptions.contains(name) && !isSetOption && !isAt) {
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
            ok = takeSetOption(name, *value, &a.change);
            changeGiven = true;
        } else if (isAt) {
            a.at = value->toInt(&ok);
            ok = ok && a.at > 0;
        } else if (name == QLatin1String("--broadcast")) {
            ok = dottedValue(*value).has_value();
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
        if (!takeSetOption(QStringLiteral("--ip"), positional.at(1), &a.change)) {
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
        return runHistory(a, out);

    QString error;
    const std::optional<QString> password = resolvePassword(a.password, a.change.locked == true, &error, err);
    if (!password) {
        *err += loadString(UsageErrorString).arg(error).toUtf8();
        return UsageError;
    }
    if (a.change.locked == true && password->isEmpty()) {
        *err += loadString(UsageErrorString).arg(loadString(PasswordNeededString)).toUtf8();
        return UsageError;
    }

    ConfigurationChange change = a.change;
    if (a.command == QLatin1String("restore")) {
        const QList<QJsonObject> writes = writesOf(WriteJournal().entries(), MacAddressText(MacAddressFromText(a.mac)));
        const int index = a.at < 0 ? int(writes.size()) - 1 : a.at - 1;
        const std::optional<GatewayConfiguration> recorded = index >= 0 && index < writes.size()
            ? GatewayConfiguration::fromJson(writes.at(index).value(QStringLiteral("read")).toObject())
            : std::nullopt;
        if (!recorded) {
            *err += loadString(NoSnapshotString).arg(a.at < 0 ? QString() : QString::number(a.at), a.mac).toUtf8() + '\n';
            return Refused;
        }
        change = ConfigurationChange::everything(*recorded);
    }

    SetRun setRun(a, *password, err);
    const Report report = setRun.run(a.command, change);
    if (!report.result.isEmpty())
        *(report.status == Confirmed || report.status == NotConfirmed ? out : err) += render(report, a.json);
    return report.status;
}

} // namespace CommissionCommand
