#include "WriteReport.h"

#include "CommissionCommand.h"
#include "StringTable.h"
#include "WritePlan.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr int FieldHeaderString = 443;
constexpr int ConfirmedString = 432;
constexpr int NotConfirmedString = 433;
constexpr int NotFoundAgainString = 434;
constexpr int NotSentString = 435;

} // namespace

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
    if (report.fields.isEmpty())
        return text.toUtf8();
    QList<QStringList> lines{loadString(FieldHeaderString).split(QLatin1Char('\t'))};
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

void judgeWrite(WriteReport *report, const ConfigurationChange &change, const WritePlan &plan,
                const std::optional<GatewayConfiguration> &reported, bool allSent)
{
    report->status = CommissionCommand::NotConfirmed;
    report->reported = reported;
    if (!reported) {
        report->result = QStringLiteral("notFoundAgain");
        report->text = loadString(NotFoundAgainString);
        return;
    }
    ConfigurationChange expected = change;
    // A gateway moved to DHCP answers under its leased address.
    if (plan.target.dhcp)
        expected.address.reset();
    expected.locked = plan.lock;
    report->fields = compareFields(expected, *reported);
    QStringList differing;
    for (const FieldComparison &field : report->fields) {
        if (!field.matches())
            differing.append(field.key);
    }
    if (!allSent) {
        report->result = QStringLiteral("notSent");
        report->text = loadString(NotSentString);
    } else if (differing.isEmpty()) {
        report->result = QStringLiteral("confirmed");
        report->text = loadString(ConfirmedString);
        report->status = CommissionCommand::Confirmed;
    } else {
        report->result = QStringLiteral("notConfirmed");
        report->text = loadString(NotConfirmedString).arg(differing.join(QStringLiteral(", ")));
    }
}

QJsonObject outcomeEntry(const QString &id, const WriteReport &report)
{
    return {{QStringLiteral("event"), QStringLiteral("outcome")},
            {QStringLiteral("id"), id},
            {QStringLiteral("mac"), report.mac},
            {QStringLiteral("outcome"), report.result},
            {QStringLiteral("sent"), QJsonArray::fromStringList(report.sent)}};
}
