#include "GatewayConfig.h"

#include "ConfigFieldReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace {

const QStringList &requestNames()
{
    static const QStringList names{QStringLiteral("discovery"),     QStringLiteral("identity"),
                                   QStringLiteral("network"),       QStringLiteral("setup"),
                                   QStringLiteral("networkWrite"),  QStringLiteral("identityWrite"),
                                   QStringLiteral("setupWrite"),    QStringLiteral("ipSetup")};
    return names;
}

const QStringList setupReplyNames{QStringLiteral("ok"), QStringLiteral("badChecksum"),
                                  QStringLiteral("wrongMac"), QStringLiteral("wrongType"),
                                  QStringLiteral("badMarker")};
const QStringList malformedNames{QStringLiteral("none"), QStringLiteral("truncated"),
                                 QStringLiteral("oversized")};

const QStringList gatewayKeys{
    QStringLiteral("name"),     QStringLiteral("ip"),       QStringLiteral("mac"),
    QStringLiteral("firmware"), QStringLiteral("type"),     QStringLiteral("company"),
    QStringLiteral("dhcp"),     QStringLiteral("hostBits"), QStringLiteral("defaultGateway"),
    QStringLiteral("setup"),    QStringLiteral("password"), QStringLiteral("faults"),
    QStringLiteral("setupRecord"), QStringLiteral("networkRecord")};
const QStringList setupKeys{QStringLiteral("mode"),     QStringLiteral("port"),
                            QStringLiteral("remote"),   QStringLiteral("mask"),
                            QStringLiteral("baudRate"), QStringLiteral("dataBits"),
                            QStringLiteral("stopBits"), QStringLiteral("parity"),
                            QStringLiteral("flowControl")};
const QStringList faultKeys{QStringLiteral("ignore"),           QStringLiteral("delayMs"),
                            QStringLiteral("discoveryReplies"), QStringLiteral("setupReply"),
                            QStringLiteral("malformed"),        QStringLiteral("garbageDatagrams")};


std::optional<MacAddress> parseMac(const QString &text)
{
    static const QRegularExpression form(
        QStringLiteral("^[0-9A-Fa-f]{2}([-:]?[0-9A-Fa-f]{2}){5}$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    QString digits = text;
    digits.remove(QLatin1Char('-')).remove(QLatin1Char(':'));
    if (digits.size() != 12)
        return std::nullopt;
    return MacAddressFromText(digits);
}

std::optional<quint32> parseTypeCode(const QJsonValue &value)
{
    if (value.isDouble()) {
        const double d = value.toDouble();
        if (std::floor(d) != d || d < 0 || d > 4294967295.0)
            return std::nullopt;
        return quint32(qint64(d));
    }
    static const QRegularExpression hex(QStringLiteral("^(0[xX])?[0-9A-Fa-f]{1,8}$"));
    const QString text = value.toString();
    if (!value.isString() || !hex.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const quint32 code = text.toUInt(&ok, 16);
    return ok ? std::optional<quint32>(code) : std::nullopt;
}

bool parseFirmware(const QString &text, quint8 &major, quint8 &minor)
{
    static const QRegularExpression form(QStringLiteral("^([0-9A-Fa-f]{1,2})\\.([0-9A-Fa-f]{1,2})$"));
    const auto match = form.match(text);
    if (!match.hasMatch())
        return false;
    major = quint8(match.captured(1).toUInt(nullptr, 16));
    minor = quint8(match.captured(2).toUInt(nullptr, 16));
    return true;
}

void readSetup(const QJsonObject &object, const QString &where, SetupSettings &setup, ConfigFieldReader &outer)
{
    ConfigFieldReader r(object, where + QStringLiteral(".setup"), outer.error());
    r.rejectUnknownKeys(setupKeys);
    r.integer(QStringLiteral("mode"), setup.mode, 0, 255);
    r.integer(QStringLiteral("port"), setup.port, 0, 65535);
    r.address(QStringLiteral("remote"), setup.remote);
    r.address(QStringLiteral("mask"), setup.mask);
    r.integer(QStringLiteral("baudRate"), setup.baudRate, 0, 4294967295LL);
    r.integer(QStringLiteral("dataBits"), setup.dataBits, 0, 255);
    r.integer(QStringLiteral("stopBits"), setup.stopBits, 0, 255);
    r.integer(QStringLiteral("parity"), setup.parity, 0, 255);
    r.integer(QStringLiteral("flowControl"), setup.flowControl, 0, 255);
    outer.absorb(r);
}

void readFaults(const QJsonObject &object, const QString &where, GatewayFaults &faults,
                ConfigFieldReader &outer)
{
    ConfigFieldReader r(object, where + QStringLiteral(".faults"), outer.error());
    r.rejectUnknownKeys(faultKeys);
    if (r.has(QStringLiteral("ignore"))) {
        const QJsonValue list = r.value(QStringLiteral("ignore"));
        if (!list.isArray())
            r.fail(QStringLiteral("ignore"), QStringLiteral("must be a list of request names"));
        for (const QJsonValue &entry : list.toArray()) {
            const auto request = SimConfig::requestFromName(entry.toString());
            if (!request) {
                r.fail(QStringLiteral("ignore"),
                       QStringLiteral("\"%1\" is not one of %2")
                           .arg(entry.toString(), requestNames().join(QStringLiteral(", "))));
                break;
            }
            faults.ignore.insert(*request);
        }
    }
    r.integer(QStringLiteral("delayMs"), faults.delayMs, 0, 600000);
    r.integer(QStringLiteral("discoveryReplies"), faults.discoveryReplies, 0, 100);
    r.choice(QStringLiteral("setupReply"), faults.setupReply, setupReplyNames);
    r.choice(QStringLiteral("malformed"), faults.malformed, malformedNames);
    r.integer(QStringLiteral("garbageDatagrams"), faults.garbageDatagrams, 0, 100);
    outer.absorb(r);
}

} // namespace

namespace SimConfig {

bool isLanHostAddress(quint32 addressValue)
{
    const quint32 host = addressValue & ~LanNetmask;
    return (addressValue & LanNetmask) == LanNetwork && host != 0 && host != 0xFF;
}

QString requestName(GatewayRequest request)
{
    return requestNames().value(int(request));
}

std::optional<GatewayRequest> requestFromName(const QString &name)
{
    const int index = requestNames().indexOf(name);
    return index < 0 ? std::nullopt : std::optional<GatewayRequest>(GatewayRequest(index));
}

std::optional<GatewayConfig> parseGateway(const QJsonObject &object, const QString &where,
                                          QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    error->clear();
    GatewayConfig g;
    g.source = object;
    g.company = Telegram::companyText();
    ConfigFieldReader r(object, where, error);
    r.rejectUnknownKeys(gatewayKeys);

    if (r.has(QStringLiteral("name")) && !r.value(QStringLiteral("name")).isString())
        r.fail(QStringLiteral("name"), QStringLiteral("must be a text"));
    g.name = r.value(QStringLiteral("name")).toString();
    r.address(QStringLiteral("ip"), g.address, true);

    const auto mac = parseMac(r.value(QStringLiteral("mac")).toString());
    if (!mac)
        r.fail(QStringLiteral("mac"), QStringLiteral("must be six hex byte pairs such as \"00-50-C2-4A-00-0A\""));
    else
        g.mac = *mac;

    if (r.has(QStringLiteral("firmware"))
        && !parseFirmware(r.value(QStringLiteral("firmware")).toString(), g.firmwareMajor,
                          g.firmwareMinor))
        r.fail(QStringLiteral("firmware"), QStringLiteral("must be major.minor in hex digits such as \"1.23\""));

    if (r.has(QStringLiteral("type"))) {
        const auto type = parseTypeCode(r.value(QStringLiteral("type")));
        if (!type)
            r.fail(QStringLiteral("type"), QStringLiteral("must be a hex text such as \"0x00010001\" or a number"));
        else
            g.typeCode = *type;
    }

    if (r.has(QStringLiteral("company"))) {
        const QJsonValue company = r.value(QStringLiteral("company"));
        const QByteArray bytes = company.toString().toLatin1();
        if (!company.isString() || bytes.size() > Telegram::IdentityRecordSize - 8)
            r.fail(QStringLiteral("company"), QStringLiteral("must be a text of at most 122 characters"));
        else
            g.company = bytes;
    }

    r.boolean(QStringLiteral("dhcp"), g.dhcp);
    r.integer(QStringLiteral("hostBits"), g.hostBits, 0, 32);
    r.address(QStringLiteral("defaultGateway"), g.defaultGateway);

    if (r.has(QStringLiteral("setup"))) {
        if (!r.value(QStringLiteral("setup")).isObject())
            r.fail(QStringLiteral("setup"), QStringLiteral("must be an object"));
        else
            readSetup(r.value(QStringLiteral("setup")).toObject(), where, g.setup, r);
    }

    const QJsonValue password = r.value(QStringLiteral("password"));
    if (password.isString())
        g.password = password.toString();
    else if (!password.isNull() && !password.isUndefined())
        r.fail(QStringLiteral("password"), QStringLiteral("must be a text or null"));

    if (r.has(QStringLiteral("faults"))) {
        if (!r.value(QStringLiteral("faults")).isObject())
            r.fail(QStringLiteral("faults"), QStringLiteral("must be an object"));
        else
            readFaults(r.value(QStringLiteral("faults")).toObject(), where, g.faults, r);
    }

    r.record(QStringLiteral("setupRecord"), g.setupRecord, Telegram::SetupRecordSize,
             Telegram::SetupReply);
    r.record(QStringLiteral("networkRecord"), g.networkRecord, Telegram::NetworkRecordSize,
             Telegram::NetworkReply);

    if (!r.ok())
        return std::nullopt;
    return g;
}

std::optional<QList<GatewayConfig>> parse(const QByteArray &json, QString *error)
{
    if (error)
        error->clear();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        if (error)
            *error = QStringLiteral("not valid JSON at offset %1: %2")
                         .arg(parseError.offset)
                         .arg(parseError.errorString());
        return std::nullopt;
    }
    const QJsonValue list = document.object().value(QStringLiteral("gateways"));
    if (!document.isObject() || !list.isArray()) {
        if (error)
            *error = QStringLiteral("the file must be an object with a list \"gateways\"");
        return std::nullopt;
    }

    QString ignored;
    if (!error)
        error = &ignored;
    QList<GatewayConfig> gateways;
    QSet<quint32> addresses;
    const QJsonArray array = list.toArray();
    for (int i = 0; i < array.size(); ++i) {
        const QString where = QStringLiteral("gateways[%1]").arg(i);
        if (!array.at(i).isObject()) {
            if (error)
                *error = where + QStringLiteral(": must be an object");
            return std::nullopt;
        }
        auto gateway = parseGateway(array.at(i).toObject(), where, error);
        if (!gateway)
            return std::nullopt;
        if (addresses.contains(gateway->address)) {
            if (error)
                *error = QStringLiteral("%1.ip: %2 is used by an earlier gateway")
                             .arg(where, DottedAddressText(gateway->address));
            return std::nullopt;
        }
        addresses.insert(gateway->address);
        gateways.append(*gateway);
    }
    return gateways;
}

QJsonObject toJson(const GatewayConfig &g)
{
    QJsonObject o = g.source;
    if (!g.name.isEmpty())
        o.insert(QStringLiteral("name"), g.name);
    o.insert(QStringLiteral("ip"), DottedAddressText(g.address));
    o.insert(QStringLiteral("mac"), MacAddressText(g.mac));
    o.insert(QStringLiteral("firmware"),
             QStringLiteral("%1.%2").arg(g.firmwareMajor, 0, 16).arg(g.firmwareMinor, 0, 16).toUpper());
    o.insert(QStringLiteral("type"),
             QStringLiteral("0x") + QStringLiteral("%1").arg(g.typeCode, 8, 16, QLatin1Char('0')).toUpper());
    if (g.company != Telegram::companyText() || o.contains(QStringLiteral("company")))
        o.insert(QStringLiteral("company"), QString::fromLatin1(g.company));
    o.insert(QStringLiteral("dhcp"), g.dhcp);
    o.insert(QStringLiteral("hostBits"), g.hostBits);
    o.insert(QStringLiteral("defaultGateway"), DottedAddressText(g.defaultGateway));
    o.insert(QStringLiteral("setup"),
             QJsonObject{{QStringLiteral("mode"), g.setup.mode},
                         {QStringLiteral("port"), g.setup.port},
                         {QStringLiteral("remote"), DottedAddressText(g.setup.remote)},
                         {QStringLiteral("mask"), DottedAddressText(g.setup.mask)},
                         {QStringLiteral("baudRate"), qint64(g.setup.baudRate)},
                         {QStringLiteral("dataBits"), g.setup.dataBits},
                         {QStringLiteral("stopBits"), g.setup.stopBits},
                         {QStringLiteral("parity"), g.setup.parity},
                         {QStringLiteral("flowControl"), g.setup.flowControl}});
    o.insert(QStringLiteral("password"),
             g.password ? QJsonValue(*g.password) : QJsonValue(QJsonValue::Null));
    if (!g.setupRecord.isEmpty())
        o.insert(QStringLiteral("setupRecord"), QString::fromLatin1(g.setupRecord.toHex()));
    if (!g.networkRecord.isEmpty())
        o.insert(QStringLiteral("networkRecord"), QString::fromLatin1(g.networkRecord.toHex()));
    return o;
}

} // namespace SimConfig
