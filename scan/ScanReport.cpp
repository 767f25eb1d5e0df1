#include "ScanReport.h"

#include "StringTable.h"
#include "Texts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <array>

namespace {

// Texts of the three columns the window does not have.
// Names of RowStatus 0-5.
constexpr int StatusNameBase = 390;

constexpr std::array<const char *, GatewayList::ColumnCount> JsonKeys{
    "type", "ip", "mac", "mode", "port", "remoteIp", "ipMask", "firmware",
    "subnetGateway", "baudRate", "dataBits", "stopBits", "parity", "flowControl"};

QStringList headers()
{
    QStringList texts;
    for (int column = 0; column < GatewayList::ColumnCount; ++column)
        texts.append(loadString(GatewayList::headerString(column)));
    texts << loadString(Text::StatusHeader) << loadString(Text::AdapterHeader)
          << loadString(Text::InSubnetHeader);
    return texts;
}

QString yesNo(bool value)
{
    return loadString(value ? Text::ScanYes : Text::ScanNo);
}

QStringList lineOf(const ScanRow &row)
{
    return QStringList(row.cells)
        << loadString(StatusNameBase + row.status) << row.adapter
        << yesNo(row.inSubnet);
}

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

} // namespace

namespace ScanReport {

QList<ScanRow> rows(const GatewayList &list, const std::vector<ScannedGateway> &gateways)
{
    QList<ScanRow> result;
    for (int row = 0; row < list.count(); ++row) {
        ScanRow line;
        for (int column = 0; column < GatewayList::ColumnCount; ++column)
            line.cells.append(list.cellText(row, column));
        line.status = list.rowStatus(row);
        line.typeCode = list.typeCode(row);
        line.reading = list.reading(row);
        if (std::size_t(row) < gateways.size()) {
            line.adapter = gateways[std::size_t(row)].adapter;
            line.inSubnet = gateways[std::size_t(row)].inSubnet;
            line.complete = gateways[std::size_t(row)].complete;
        }
        result.append(line);
    }
    return result;
}

QString statusKey(int status)
{
    static const std::array<QString, RowStatusCount> Keys{
        QStringLiteral("discovered"),    QStringLiteral("unknownType"), QStringLiteral("noPassword"),
        QStringLiteral("wrongPassword"), QStringLiteral("passwordOk"),  QStringLiteral("corruptContent")};
    return status >= 0 && status < RowStatusCount ? Keys[std::size_t(status)] : QString();
}

QString table(const QList<ScanRow> &rows)
{
    QList<QStringList> lines{headers()};
    for (const ScanRow &row : rows)
        lines.append(lineOf(row));
    QList<int> widths(lines.first().size(), 0);
    for (const QStringList &line : lines) {
        for (int i = 0; i < line.size(); ++i)
            widths[i] = qMax(widths[i], int(line[i].size()));
    }
    QString text;
    for (const QStringList &line : lines) {
        QString out;
        for (int i = 0; i < line.size(); ++i)
            out += i + 1 < line.size() ? line[i].leftJustified(widths[i] + 2) : line[i];
        text += out.trimmed() + QLatin1Char('\n');
    }
    QStringList incomplete;
    for (const ScanRow &row : rows) {
        if (!row.complete)
            incomplete.append(row.cells.value(GatewayList::MacAddressColumn));
    }
    if (!incomplete.isEmpty())
        text += QLatin1Char('\n') + loadString(Text::NotFullyReadNote).arg(incomplete.join(QStringLiteral(", ")))
              + QLatin1Char('\n');
    return text;
}

QByteArray json(const QList<ScanRow> &rows, const QString &diagnosis)
{
    QJsonArray gateways;
    for (const ScanRow &row : rows) {
        QJsonObject object;
        for (int column = 0; column < GatewayList::ColumnCount; ++column)
            object.insert(QLatin1String(JsonKeys[std::size_t(column)]), row.cells.value(column));
        object.insert(QStringLiteral("typeCode"),
                      QStringLiteral("0x%1").arg(row.typeCode, 8, 16, QLatin1Char('0')));
        object.insert(QStringLiteral("status"), statusKey(row.status));
        object.insert(QStringLiteral("statusText"), loadString(StatusNameBase + row.status));
        object.insert(QStringLiteral("adapter"), row.adapter);
        object.insert(QStringLiteral("inSubnet"), row.inSubnet);
        object.insert(QStringLiteral("complete"), row.complete);
        // The same values typed, for scripts: numbers, true/false, mode keys.
        object.insert(QStringLiteral("configuration"),
                      row.reading.toJson());
        gateways.append(object);
    }
    QJsonObject root{{QStringLiteral("gateways"), gateways}};
    if (!diagnosis.isEmpty())
        root.insert(QStringLiteral("diagnosis"), diagnosis);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QString delimited(const QList<ScanRow> &rows, QChar separator)
{
    const bool csv = separator == QLatin1Char(',');
    const auto join = [&](const QStringList &fields) {
        QStringList out;
        for (const QString &field : fields) {
            QString cleaned = field;
            if (!csv)
                cleaned.replace(QLatin1Char('\t'), QLatin1Char(' '));
            out.append(csv ? csvField(cleaned) : cleaned);
        }
        return out.join(separator) + QLatin1Char('\n');
    };
    QString text = join(headers() << loadString(Text::FullyReadHeader));
    for (const ScanRow &row : rows)
        text += join(lineOf(row) << yesNo(row.complete));
    return text;
}

bool allComplete(const QList<ScanRow> &rows)
{
    return std::all_of(rows.begin(), rows.end(), [](const ScanRow &row) { return row.complete; });
}

QByteArray render(Format format, const QList<ScanRow> &rows, const QString &diagnosis)
{
    switch (format) {
    case Format::Json:
        return json(rows, diagnosis);
    case Format::Tsv:
        return delimited(rows, QLatin1Char('\t')).toUtf8();
    case Format::Csv:
        return delimited(rows, QLatin1Char(',')).toUtf8();
    case Format::Table:
        break;
    }
    return table(rows).toUtf8();
}

} // namespace ScanReport
