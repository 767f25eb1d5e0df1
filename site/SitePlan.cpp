#include "SitePlan.h"

#include "DeviceTables.h"
#include "GatewayList.h"
#include "LocalAdapters.h"
#include "StringTable.h"
#include "Telegrams.h"
#include "Texts.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>

#include <array>

namespace {

constexpr qint64 MaxPlanBytes = 1024 * 1024;
// The list's own columns the window does not have: status, adapter, in subnet.
constexpr int FirstListOnlyHeader = 385;
constexpr int LastListOnlyHeader = 387;

const QString Subnet = QStringLiteral("subnet");
const QString Mac = QStringLiteral("mac");
const QString Protect = QStringLiteral("protect");

const QStringList PlanColumns = QStringList{Mac} + ChangeOptionNames() + QStringList{Protect};

constexpr std::array<UiLanguage, 2> Languages{UiLanguage::English, UiLanguage::German};

QString headerKey(const QString &header)
{
    return header.trimmed().toCaseFolded();
}

// The list's own columns, by their headers in either language: the plan
// column each one feeds ("subnet" is split into mask and gateway); empty
// for the columns a plan does not write.
const QHash<QString, QString> &listColumns()
{
    static const QHash<QString, QString> Columns = [] {
        static const std::array<QString, GatewayList::ColumnCount> Feeds{
            QString(), QStringLiteral("ip"), Mac, QStringLiteral("mode"), QStringLiteral("port"),
            QStringLiteral("remote-ip"), QStringLiteral("remote-mask"), QString(), Subnet, QStringLiteral("baud"),
            QStringLiteral("data-bits"), QStringLiteral("stop-bits"), QStringLiteral("parity"),
            QStringLiteral("flow")};
        QHash<QString, QString> columns;
        for (UiLanguage language : Languages) {
            for (int column = 0; column < GatewayList::ColumnCount; ++column)
                columns.insert(headerKey(StringTable::text(GatewayList::headerString(column), language)),
                               Feeds[std::size_t(column)]);
            for (int text = FirstListOnlyHeader; text <= LastListOnlyHeader; ++text)
                columns.insert(headerKey(StringTable::text(text, language)), QString());
            columns.insert(headerKey(StringTable::text(Text::FullyReadHeader, language)), QString());
        }
        return columns;
    }();
    return Columns;
}

bool isListMacHeader(const QString &header)
{
    return std::any_of(Languages.cbegin(), Languages.cend(), [&](UiLanguage language) {
        return headerKey(header) == headerKey(StringTable::text(Text::MacAddressHeader, language));
    });
}

struct Record
{
    int line = 0; // where the record starts: a quoted cell may span lines
    QStringList cells;
};

QList<Record> records(const QString &text, QChar separator)
{
    QList<Record> result;
    Record record{1, {}};
    QString field;
    bool quoted = false;
    int line = 1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\n'))
            ++line;
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"') && field.isEmpty()) {
            quoted = true;
        } else if (c == separator) {
            record.cells.append(field);
            field.clear();
        } else if (c == QLatin1Char('\n')) {
            record.cells.append(field);
            result.append(record);
            record = Record{line, {}};
            field.clear();
        } else if (c != QLatin1Char('\r')) {
            field += c;
        }
    }
    if (!field.isEmpty() || !record.cells.isEmpty()) {
        record.cells.append(field);
        result.append(record);
    }
    return result;
}

// The separator the header line uses most, outside quotes; a tab before a
// semicolon before a comma when they tie (a one-column plan has none).
QChar separatorOf(const QString &text)
{
    int tabs = 0;
    int semicolons = 0;
    int commas = 0;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == QLatin1Char('\n'))
            break;
        else if (c == QLatin1Char('\t'))
            ++tabs;
        else if (c == QLatin1Char(';'))
            ++semicolons;
        else if (c == QLatin1Char(','))
            ++commas;
    }
    if (tabs > 0 && tabs >= semicolons && tabs >= commas)
        return QLatin1Char('\t');
    return semicolons > 0 && semicolons >= commas ? QLatin1Char(';') : QLatin1Char(',');
}

// The first character below a blank (NUL, a line break, ...): no value has one.
std::optional<QChar> controlCharacter(const QString &cell)
{
    for (const QChar c : cell) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return c;
    }
    return std::nullopt;
}

bool isDigits(const QString &text, qsizetype maxLength)
{
    static const QRegularExpression Digits(QStringLiteral("^[0-9]+$"));
    return !text.isEmpty() && text.size() <= maxLength && Digits.match(text).hasMatch();
}

bool isDotted(const QString &text)
{
    return DottedValue(text).has_value();
}

using OptionValues = QList<std::pair<QString, QString>>;

OptionValues one(const QString &feed, const QString &value)
{
    return {{QStringLiteral("--") + feed, value}};
}

// A listed name of the fixed choices ("none", "even", "odd") or its index,
// as the scan writes it; an index beyond the names stays a number, which
// `set` then refuses.
std::optional<QString> choiceOf(const QString &lower, const QStringList &names)
{
    if (names.contains(lower))
        return lower;
    if (!isDigits(lower, 3))
        return std::nullopt;
    return names.value(lower.toInt(), lower);
}

// What a (trimmed, not empty) cell of `feed` asks `set` for: an option and
// its value each, in the spelling `ConfigurationChange::take` reads.
// Nothing when the cell is not a value of that column at all; a value that
// is well formed but not offered (a baud rate not in the list, a mask with
// a hole) is passed on for `take` to refuse.
std::optional<OptionValues> optionValues(const QString &feed, const QString &cell)
{
    const QString lower = cell.toLower();
    if (feed == QLatin1String("ip")) {
        if (lower == QLatin1String("dhcp"))
            return one(feed, lower);
        // "10.0.0.7 (DHCP)": the list's form of an address the gateway took
        // from a DHCP server.
        static const QRegularExpression Leased(QStringLiteral("^(\\S+)\\s*\\(dhcp\\)$"));
        const QRegularExpressionMatch leased = Leased.match(lower);
        if (leased.hasMatch())
            return isDotted(leased.captured(1)) ? std::optional(one(feed, QStringLiteral("dhcp"))) : std::nullopt;
        return isDotted(lower) ? std::optional(one(feed, lower)) : std::nullopt;
    }
    if (feed == QLatin1String("mask"))
        return lower == QLatin1String("auto") || isDotted(lower) ? std::optional(one(feed, lower)) : std::nullopt;
    if (feed == QLatin1String("gateway"))
        return lower == QLatin1String("none") || isDotted(lower) ? std::optional(one(feed, lower)) : std::nullopt;
    if (feed == Subnet) {
        // "Host-Bits: 8 / GW: 10.0.0.1", or "Host-Bits: 8" without a gateway.
        static const QRegularExpression Form(
            QStringLiteral("^host-bits:\\s*([0-9]{1,3})(?:\\s*/\\s*gw:\\s*(\\S+))?$"));
        const QRegularExpressionMatch match = Form.match(lower);
        if (!match.hasMatch() || (match.hasCaptured(2) && !isDotted(match.captured(2))))
            return std::nullopt;
        const int hostBits = match.captured(1).toInt();
        // Beyond 31 host bits no mask is left: "0.0.0.0", which `set` refuses.
        const QString mask = hostBits == 0 ? QStringLiteral("auto")
                           : hostBits >= 32 ? QStringLiteral("0.0.0.0")
                                            : DottedAddressText(MaskFromHostBits(hostBits));
        const QString gateway = match.hasCaptured(2) ? match.captured(2) : QStringLiteral("none");
        return OptionValues{{QStringLiteral("--mask"), mask}, {QStringLiteral("--gateway"), gateway}};
    }
    if (feed == QLatin1String("mode")) {
        for (int mode = 0; mode < ModeCount; ++mode) {
            if (lower == modeKey(mode))
                return one(feed, lower);
            for (UiLanguage language : Languages) {
                if (lower == StringTable::text(StringBase::ModeName + mode, language).toLower())
                    return one(feed, modeKey(mode));
            }
        }
        return isDigits(lower, 3) ? std::optional(one(feed, lower)) : std::nullopt;
    }
    if (feed == QLatin1String("port"))
        return isDigits(lower, 5) ? std::optional(one(feed, lower)) : std::nullopt;
    if (feed == QLatin1String("remote-ip") || feed == QLatin1String("remote-mask"))
        return isDotted(lower) ? std::optional(one(feed, lower)) : std::nullopt;
    if (feed == QLatin1String("baud")) {
        // The list shows the stored 32-bit value signed; "-0" is no number it writes.
        const bool negative = lower.startsWith(QLatin1Char('-'));
        const QString digits = negative ? lower.mid(1) : lower;
        bool fits = false;
        const int value = lower.toInt(&fits);
        return isDigits(digits, 10) && fits && !(negative && value == 0) ? std::optional(one(feed, lower))
                                                                          : std::nullopt;
    }
    if (feed == QLatin1String("data-bits") || feed == QLatin1String("stop-bits"))
        return isDigits(lower, 3) ? std::optional(one(feed, lower)) : std::nullopt;
    if (feed == QLatin1String("parity") || feed == QLatin1String("flow")) {
        const QStringList names = feed == QLatin1String("parity")
            ? QStringList{QStringLiteral("none"), QStringLiteral("even"), QStringLiteral("odd")}
            : QStringList{QStringLiteral("none"), QStringLiteral("rtscts")};
        const std::optional<QString> value = choiceOf(lower, names);
        return value ? std::optional(one(feed, *value)) : std::nullopt;
    }
    // oem: a type code in hexadecimal, blanks allowed as the window groups it.
    static const QRegularExpression Hex(QStringLiteral("^(0x)?[0-9a-f]{1,8}$"));
    QString compact = lower;
    compact.remove(QLatin1Char(' '));
    return Hex.match(compact).hasMatch() ? std::optional(one(feed, compact)) : std::nullopt;
}

std::optional<bool> yesOrNo(const QString &cell)
{
    static const QStringList Yes{QStringLiteral("1"), QStringLiteral("yes"), QStringLiteral("true"),
                                 QStringLiteral("ja")};
    static const QStringList No{QStringLiteral("0"), QStringLiteral("no"), QStringLiteral("false"),
                                QStringLiteral("nein")};
    const QString lower = cell.toLower();
    if (Yes.contains(lower))
        return true;
    if (No.contains(lower))
        return false;
    return std::nullopt;
}

// The values each column sets, to find two columns planning the same one.
QStringList valuesOf(const QString &feed)
{
    if (feed == Subnet)
        return {QStringLiteral("mask"), QStringLiteral("gateway")};
    return {feed};
}

QString windows1252(const QByteArray &bytes)
{
    // 0x80-0x9F; the five bytes the code page leaves open keep their code.
    static constexpr std::array<char16_t, 32> High{
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto value = quint8(byte);
        text += value >= 0x80 && value < 0xA0 ? QChar(High[value - 0x80]) : QChar(char16_t(value));
    }
    return text;
}

} // namespace

namespace SitePlan {

QString decode(const QByteArray &bytes)
{
    const auto decoded = [&bytes](QStringConverter::Encoding encoding, qsizetype bom) {
        QStringDecoder decoder(encoding, QStringConverter::Flag::ConvertInitialBom);
        return QString(decoder(bytes.mid(bom)));
    };
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return decoded(QStringConverter::Utf8, 3);
    if (bytes.startsWith("\xFF\xFE"))
        return decoded(QStringConverter::Utf16LE, 2);
    if (bytes.startsWith("\xFE\xFF"))
        return decoded(QStringConverter::Utf16BE, 2);
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom);
    const QString text = utf8(bytes);
    return utf8.hasError() ? windows1252(bytes) : text;
}

std::optional<QList<PlannedGateway>> read(const QString &path, QString *error)
{
    if (path.isEmpty()) {
        *error = loadString(Text::PlanEmptyPath);
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    // Read one byte beyond the limit rather than trust the size: a pipe or a
    // device reports none.
    const QByteArray bytes = file.read(MaxPlanBytes + 1);
    if (bytes.size() > MaxPlanBytes) {
        *error = loadString(Text::PlanTooLarge).arg(path);
        return std::nullopt;
    }
    return parse(decode(bytes), error, LocalAdapters());
}

std::optional<QList<PlannedGateway>> parse(const QString &text, QString *error, const QList<LocalAdapter> &adapters)
{
    const QString body = text.startsWith(QChar(0xFEFF)) ? text.mid(1) : text;
    const QList<Record> lines = records(body, separatorOf(body));
    const auto failLine = [error](int line, const QString &message) {
        *error = loadString(Text::PlanLine).arg(line).arg(message);
        return std::nullopt;
    };
    if (lines.isEmpty())
        return failLine(1, loadString(Text::PlanNoMacColumn));

    // What each column feeds, and whether the file is the scan's own list:
    // there a value outside what `set` offers is the gateway's, and refuses
    // only its row.
    const QStringList headers = lines.first().cells;
    const auto failCell = [&](int line, qsizetype column, const QString &message) {
        return failLine(line, loadString(Text::PlanCell).arg(column + 1).arg(headers.value(column).trimmed(), message));
    };
    QStringList feeds;
    QHash<QString, qsizetype> planned; // value -> column planning it
    bool scanList = false;
    for (qsizetype column = 0; column < headers.size(); ++column) {
        const QString name = headers.at(column).trimmed();
        if (const std::optional<QChar> c = controlCharacter(name))
            return failCell(1, column, loadString(Text::PlanControlCharacter).arg(c->unicode(), 4, 16, QLatin1Char('0')));
        for (qsizetype before = 0; before < column; ++before) {
            if (headerKey(headers.at(before)) == headerKey(name))
                return failLine(1, loadString(Text::PlanColumnTwice).arg(name));
        }
        QString feed;
        if (PlanColumns.contains(name.toLower()))
            feed = name.toLower();
        else if (listColumns().contains(headerKey(name)))
            feed = listColumns().value(headerKey(name));
        else
            return failLine(1, loadString(Text::PlanUnknownColumn).arg(name));
        scanList = scanList || isListMacHeader(name);
        if (!feed.isEmpty()) {
            for (const QString &value : valuesOf(feed)) {
                if (planned.contains(value))
                    return failLine(1, loadString(Text::PlanSameValue).arg(headers.at(planned.value(value)).trimmed(), name));
                planned.insert(value, column);
            }
        }
        feeds.append(feed);
    }
    const qsizetype macColumn = feeds.indexOf(Mac);
    if (macColumn < 0)
        return failLine(1, loadString(Text::PlanNoMacColumn));
    const qsizetype subnetColumn = feeds.indexOf(Subnet);

    QList<PlannedGateway> plan;
    QStringList seen;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList &cells = lines.at(i).cells;
        const int line = lines.at(i).line;
        // A blank line, or a spreadsheet's empty row of separators.
        if (std::all_of(cells.cbegin(), cells.cend(), [](const QString &cell) { return cell.trimmed().isEmpty(); }))
            continue;
        if (cells.size() > feeds.size())
            return failLine(line, loadString(Text::PlanCellsBeyond).arg(cells.size()).arg(feeds.size()));
        // A NUL or line break ends or splits the value where a program
        // reading it would stop; no column, not even a passed-over one, has one.
        for (qsizetype column = 0; column < cells.size(); ++column) {
            const std::optional<QChar> c = controlCharacter(cells.at(column).trimmed());
            if (c && (*c == QChar::Null || !feeds.at(column).isEmpty()))
                return failCell(line, column,
                                loadString(Text::PlanControlCharacter).arg(c->unicode(), 4, 16, QLatin1Char('0')));
        }

        PlannedGateway gateway;
        gateway.line = line;
        const std::optional<QString> digits = MacDigits(cells.value(macColumn));
        if (!digits)
            return failCell(line, macColumn, loadString(Text::BadMac).arg(cells.value(macColumn).trimmed()));
        const QString mac = *digits;
        if (seen.contains(mac))
            return failLine(line, loadString(Text::PlanDuplicateMac).arg(cells.value(macColumn).trimmed()));
        seen.append(mac);
        gateway.mac = mac;

        for (qsizetype column = 0; column < cells.size(); ++column) {
            const QString &feed = feeds.at(column);
            const QString cell = cells.at(column).trimmed();
            if (feed.isEmpty() || feed == Mac || cell.isEmpty())
                continue;
            if (feed == Protect) {
                const std::optional<bool> locked = yesOrNo(cell);
                if (!locked)
                    return failCell(line, column, loadString(Text::PlanNotYesOrNo).arg(cell));
                gateway.change.locked = locked;
                continue;
            }
            const std::optional<OptionValues> values = optionValues(feed, cell);
            if (!values)
                return failCell(line, column, loadString(Text::PlanUnreadable).arg(cell));
            // Until the network record is read, the list shows where the
            // gateway answered from, which may be a DHCP lease: planned as
            // it stands, it would pin the lease as a fixed address.
            if (scanList && feed == QLatin1String("ip") && subnetColumn >= 0
                && cells.value(subnetColumn).trimmed().isEmpty() && values->first().second != QLatin1String("dhcp")) {
                if (!gateway.refused())
                    gateway.refusal = loadString(Text::PlanNetworkNotRead);
                continue;
            }
            for (const auto &[option, value] : *values) {
                const bool taken = gateway.change.take(option, value);
                const QString unusable = taken && option == QLatin1String("--ip") && gateway.change.dhcp == false
                    ? UnusableAddressText(*gateway.change.address, adapters)
                    : QString();
                if (taken && unusable.isEmpty())
                    continue;
                if (!scanList)
                    return failCell(line, column, unusable.isEmpty() ? loadString(Text::BadValue).arg(option, cell)
                                                                     : unusable);
                // Every later cell is still read: a cell that cannot be read
                // is the plan's fault, not the gateway's.
                if (!gateway.refused())
                    gateway.refusal = loadString(Text::PlanNotOffered).arg(headers.at(column).trimmed(), cell);
            }
        }
        if (gateway.refused())
            gateway.change = ConfigurationChange();
        plan.append(gateway);
    }
    return plan;
}

} // namespace SitePlan
