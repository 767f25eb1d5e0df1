#include "WriteReport.h"

#include "StringTable.h"
#include "Texts.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

QJsonObject reportJson(const WriteReport &report)
{
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
    if (!report.addressCheck.isEmpty())
        root.insert(QStringLiteral("addressCheck"), report.addressCheck);
    if (report.read)
        root.insert(QStringLiteral("read"), report.read->toJson());
    if (report.reported)
        root.insert(QStringLiteral("reported"), report.reported->toJson());
    return root;
}

QByteArray render(const WriteReport &report, bool json)
{
    if (json)
        return QJsonDocument(reportJson(report)).toJson(QJsonDocument::Indented);
    QString text = report.mac + QStringLiteral(": ") + report.text + QLatin1Char('\n');
    // "free" and "taken" speak through the result; an address nobody could
    // vouch for must not pass as free unnoticed.
    if (report.addressCheck == QLatin1String("notChecked")) {
        QString address;
        for (const FieldComparison &field : report.fields) {
            if (field.key == QLatin1String("ip"))
                address = field.wanted;
        }
        text += QStringLiteral("  ") + loadString(Text::AddressNotChecked).arg(address) + QLatin1Char('\n');
    }
    if (report.fields.isEmpty())
        return text.toUtf8();
    QList<QStringList> lines{loadString(Text::ReportFieldHeader).split(QLatin1Char('\t'))};
    for (const FieldComparison &field : report.fields)
        lines.append({field.key, field.wanted, field.reported, field.matches() ? QString() : QStringLiteral("!")});
    QList<int> widths(4, 0);
    for (const QStringList &line : lines) {
        for (int i = 0; i < line.size() && i < 4; ++i)
            widths[i] = qMax(widths[i], int(line[i].size()));
    }
    for (const QStringList &line : lines) {
        QString out;
        for (int i = 0; i < line.size() && i < 4; ++i)
            out += line[i].leftJustified(widths[i] + 2);
        text += QStringLiteral("  ") + out.trimmed() + QLatin1Char('\n');
    }
    return text.toUtf8();
}
