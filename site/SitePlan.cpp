#include "SitePlan.h"

#include "DeviceTables.h"
#include "GatewayList.h"
#include "StringTable.h"
#include "Telegrams.h"

#include <QFile>
#include <QHash>

namespace {

constexpr qint64 MaxPlanBytes = 1024 * 1024;
constexpr int PlanLineString = 448;      // "line %1: %2"
constexpr int NoMacColumnString = 449;
constexpr int UnknownColumnString = 450;
constexpr int DuplicateMacString = 451;
constexpr int PlanTooLargeString = 461;
constexpr int BadMacString = 437;
constexpr int BadValueString = 438;

const QStringList PlanColumns =
    QStringList{QStringLiteral("mac")} + ChangeOptionNames() + QStringList{QStringLiteral("protect")};

// The list's own columns, by their headers in either language: the plan
// column each one feeds ("subnet" is split into mask and gateway); empty
// for the columns a plan does not write.
QHash<QString, QString> listColumns()
{
    static const QStringList Feeds{QString(), QStringLiteral("ip"), QStringLiteral("mac"), QStringLiteral("mode"),
                                   QStringLiteral("port"), QStringLiteral("remote-ip"), QStringLiteral("remote-mask"),
                                   QString(), QStringLiteral("subnet"), QStringLiteral("baud"),
                                   QStringLiteral("data-bits"), QStringLiteral("stop-bits"), QStringLiteral("parity"),
                                   QStringLiteral("flow")};
    QHash<QString, QString> columns;
    for (UiLanguage language : {UiLanguage::English, UiLanguage::German}) {
        for (int column = 0; column < GatewayList::ColumnCount; ++column)
            columns.insert(StringTable::text(GatewayList::headerString(column), language), Feeds.value(column));
        // Status, adapter, in subnet.
        for (int text = 385; text <= 387; ++text)
            columns.insert(StringTable::text(text, language), QString());
    }
    return columns;
}

QList<QStringList> records(const QString &text, QChar separator)
{
    QList<QStringList> result;
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
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
            fields.append(field);
            field.clear();
        } else if (c == QLatin1Char('\n')) {
            fields.append(field);
            result.append(fields);
            fields.clear();
            field.clear();
        } else if (c != QLatin1Char('\r')) {
            field += c;
        }
    }
    if (!field.isEmpty() || !fields.isEmpty()) {
        fields.append(field);
        result.append(fields);
    }
    return result;
}

// A cell of the list's own form as the plan value it stands for.
QStringList planValues(const QString &column, const QString &cell)
{
    if (column == QLatin1String("ip") && cell.contains(QLatin1String("(DHCP)")))
        return {QStringLiteral("dhcp")};
    if (column == QLatin1String("mode")) {
        for (int mode = 0; mode < ModeCount; ++mode) {
            for (UiLanguage language : {UiLanguage::English, UiLanguage::German}) {
                if (cell.compare(StringTable::text(StringBase::ModeName + mode, language), Qt::CaseInsensitive) == 0)
                    return {modeKey(mode)};
            }
        }
    }
    if (column == QLatin1String("parity")) {
        static const QStringList Names{QStringLiteral("none"), QStringLiteral("even"), QStringLiteral("odd")};
        bool number = false;
        const int index = cell.toInt(&number);
        return {number && index >= 0 && index < Names.size() ? Names.at(index) : cell};
    }
    if (column == QLatin1String("flow")) {
        bool number = false;
        const int index = cell.toInt(&number);
        return {number && index == 0 ? QStringLiteral("none") : number && index == 1 ? QStringLiteral("rtscts") : cell};
    }
    if (column == QLatin1String("subnet")) {
        const SubnetColumn subnet = ParseSubnetColumn(cell);
        return {subnet.maskText.isEmpty() ? QStringLiteral("auto") : subnet.maskText,
                subnet.gatewayText.isEmpty() ? QStringLiteral("none") : subnet.gatewayText};
    }
    return {cell};
}

} // namespace

namespace SitePlan {

std::optional<QList<PlannedGateway>> read(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    if (file.size() > MaxPlanBytes) {
        *error = loadString(PlanTooLargeString).arg(path);
        return std::nullopt;
    }
    return parse(QString::fromUtf8(file.readAll()), error);
}

std::optional<QList<PlannedGateway>> parse(const QString &text, QString *error)
{
    const QString firstLine = text.section(QLatin1Char('\n'), 0, 0);
    const QChar separator = firstLine.contains(QLatin1Char('\t')) ? QLatin1Char('\t') : QLatin1Char(',');
    const QList<QStringList> lines = records(text, separator);
    const auto fail = [error](int line, const QString &message) {
        *error = loadString(PlanLineString).arg(line).arg(message);
        return std::nullopt;
    };
    if (lines.isEmpty())
        return fail(1, loadString(NoMacColumnString));

    // What each column feeds.
    const QHash<QString, QString> listed = listColumns();
    QStringList feeds;
    for (const QString &header : lines.first()) {
        const QString name = header.trimmed();
        if (PlanColumns.contains(name.toLower()))
            feeds.append(name.toLower());
        else if (listed.contains(name))
            feeds.append(listed.value(name));
        else
            return fail(1, loadString(UnknownColumnString).arg(name));
    }
    const qsizetype macColumn = feeds.indexOf(QStringLiteral("mac"));
    if (macColumn < 0)
        return fail(1, loadString(NoMacColumnString));

    QList<PlannedGateway> plan;
    QStringList seen;
    for (int i = 1; i < lines.size(); ++i) {
        const QStringList &cells = lines.at(i);
        const int line = i + 1;
        if (cells.size() == 1 && cells.first().trimmed().isEmpty())
            continue;
        PlannedGateway gateway;
        gateway.line = line;
        QString mac = cells.value(macColumn).trimmed().toUpper();
        mac.remove(QLatin1Char('-')).remove(QLatin1Char(':')).remove(QLatin1Char(' '));
        bool hex = mac.size() == 12;
        mac.toULongLong(&hex, 16);
        if (!hex || mac.size() != 12)
            return fail(line, loadString(BadMacString).arg(cells.value(macColumn)));
        if (seen.contains(mac))
            return fail(line, loadString(DuplicateMacString).arg(cells.value(macColumn)));
        seen.append(mac);
        gateway.mac = mac;
        for (qsizetype column = 0; column < feeds.size() && column < cells.size(); ++column) {
            const QString &feed = feeds.at(column);
            const QString cell = cells.at(column).trimmed();
            if (feed.isEmpty() || feed == QLatin1String("mac") || cell.isEmpty())
                continue;
            if (feed == QLatin1String("protect")) {
                gateway.change.locked = cell == QLatin1String("1") || cell.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0
                    || cell.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
                continue;
            }
            const QStringList values = planValues(feed, cell);
            const QStringList options = feed == QLatin1String("subnet")
                ? QStringList{QStringLiteral("--mask"), QStringLiteral("--gateway")}
                : QStringList{QStringLiteral("--") + feed};
            for (qsizetype k = 0; k < options.size(); ++k) {
                if (!gateway.change.take(options.at(k), values.value(k)))
                    return fail(line, loadString(BadValueString).arg(options.at(k), values.value(k)));
            }
        }
        plan.append(gateway);
    }
    return plan;
}

} // namespace SitePlan
