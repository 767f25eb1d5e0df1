#include "WriteJudgement.h"

#include "StringTable.h"
#include "Texts.h"
#include "WriteDecision.h"

namespace {

QString typeText(quint32 typeCode)
{
    return QStringLiteral("0x%1").arg(typeCode, 8, 16, QLatin1Char('0'));
}

// A mask the way a person types it; no host bits is the gateway's own choice.
QString maskText(int hostBits)
{
    return hostBits == 0 ? QStringLiteral("auto") : DottedAddressText(MaskFromHostBits(hostBits));
}

QString addressText(bool dhcp, quint32 address)
{
    return dhcp ? QStringLiteral("dhcp") : DottedAddressText(address);
}

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

QList<FieldComparison> compareFields(const ConfigurationChange &change, const GatewayReading &c)
{
    QList<FieldComparison> fields;
    const QString notRead = QStringLiteral("-");
    const auto add = [&fields](const QString &key, const QString &wanted, const QString &reported) {
        fields.append({key, wanted, reported});
    };
    if (change.dhcp)
        add(QStringLiteral("ip"), addressText(*change.dhcp, change.address.value_or(c.address)),
            c.networkRead || !*change.dhcp ? addressText(c.dhcp, c.address) : notRead);
    if (change.oemType)
        add(QStringLiteral("type"), typeText(*change.oemType), c.identified() ? typeText(c.typeCode) : notRead);
    if (change.hostBits)
        add(QStringLiteral("mask"), maskText(*change.hostBits), c.networkRead ? maskText(c.hostBits) : notRead);
    if (change.defaultGateway)
        add(QStringLiteral("gateway"), DottedAddressText(*change.defaultGateway),
            c.networkRead ? DottedAddressText(c.defaultGateway) : notRead);
    const auto record = [&](const QString &key, const auto &wanted, const QString &reported, const auto &toText) {
        if (wanted)
            add(key, toText(*wanted), c.recordRead ? reported : notRead);
    };
    const auto number = [](auto value) { return QString::number(value); };
    record(QStringLiteral("mode"), change.mode, modeKey(c.mode()), modeKey);
    record(QStringLiteral("port"), change.port, number(c.port), number);
    record(QStringLiteral("remoteIp"), change.remoteAddress, DottedAddressText(c.remoteAddress), DottedAddressText);
    record(QStringLiteral("remoteMask"), change.remoteMask, DottedAddressText(c.remoteMask), DottedAddressText);
    record(QStringLiteral("baudRate"), change.baudRate, number(c.baudRate), number);
    record(QStringLiteral("dataBits"), change.dataBits, number(c.dataBits), number);
    record(QStringLiteral("stopBits"), change.stopBits, number(c.stopBits), number);
    record(QStringLiteral("parity"), change.parity, number(c.parity), number);
    record(QStringLiteral("flowControl"), change.flowControl, number(c.flowControl), number);
    if (change.locked)
        add(QStringLiteral("locked"), boolText(*change.locked), c.lock ? boolText(*c.lock) : notRead);
    return fields;
}

void judgeWrite(WriteReport *report, const WritePlan &plan, const std::optional<GatewayReading> &reported)
{
    report->status = WriteStatus::NotConfirmed;
    report->reported = reported;
    if (!reported) {
        report->result = QStringLiteral("notFoundAgain");
        report->text = loadString(Text::WriteNotFoundAgain);
        return;
    }
    ConfigurationChange expected = plan.wanted;
    // A gateway moved to DHCP answers under its leased address.
    if (plan.target.dhcp)
        expected.address.reset();
    if (plan.setup)
        expected.locked = plan.lock;
    report->fields = compareFields(expected, *reported);
    QStringList differing;
    for (const FieldComparison &field : report->fields) {
        if (!field.matches())
            differing.append(field.key);
    }
    const auto sent = [report](const char *exchange) { return report->sent.contains(QLatin1String(exchange)); };
    const bool allSent = (!plan.address || sent("ipSetup")) && (!plan.identity || sent("identity"))
        && (!plan.network || sent("network")) && (!plan.setup || sent("setup"));
    if (!allSent) {
        report->result = QStringLiteral("notSent");
        report->text = loadString(Text::WriteNotSent);
    } else if (differing.isEmpty()) {
        report->result = QStringLiteral("confirmed");
        report->text = loadString(Text::WriteConfirmed);
        report->status = WriteStatus::Confirmed;
    } else {
        report->result = QStringLiteral("notConfirmed");
        report->text = loadString(Text::WriteNotConfirmed).arg(differing.join(QStringLiteral(", ")));
    }
}
