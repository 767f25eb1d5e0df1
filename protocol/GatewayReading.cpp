#include "GatewayReading.h"

#include "DeviceTables.h"
#include "StringTable.h"

#include <QJsonValue>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// The editor's combo boxes: what a gateway can be given and report.
constexpr int BaudRateCombo = 1015;
constexpr int DataBitsCombo = 1018;
constexpr int StopBitsCombo = 1022;
constexpr int ParityCombo = 1026;
constexpr int FlowControlCombo = 1024;

bool isOfferedNumber(int combo, qint64 value)
{
    return StringTable::comboEntries(combo, UiLanguage::English).contains(QString::number(value));
}

bool isOfferedIndex(int combo, qint64 index)
{
    return index >= 0 && index < StringTable::comboEntries(combo, UiLanguage::English).size();
}

QString typeText(quint32 typeCode)
{
    return QStringLiteral("0x%1").arg(typeCode, 8, 16, QLatin1Char('0'));
}

// Reads the keys of one journal or JSON object, remembering the first one
// whose value is there but cannot be what a gateway reported.
class StrictReader
{
public:
    explicit StrictReader(const QJsonObject &object)
        : m_object(object)
    {
    }

    bool has(const QString &key) const { return m_object.contains(key); }
    bool damaged() const { return !m_damaged.isEmpty(); }
    QString damagedKey() const { return m_damaged; }

    std::optional<quint32> address(const QString &key)
    {
        const std::optional<quint32> value = DottedValue(m_object.value(key).toString());
        return check(key, value);
    }
    std::optional<bool> boolean(const QString &key)
    {
        const QJsonValue value = m_object.value(key);
        return check(key, value.isBool() ? std::optional(value.toBool()) : std::nullopt);
    }
    // An integer within [low, high]; 1e20, 10001.5 or "7" are damage.
    std::optional<qint64> integer(const QString &key, qint64 low, qint64 high)
    {
        const QJsonValue value = m_object.value(key);
        std::optional<qint64> result;
        if (value.isDouble()) {
            const double number = value.toDouble();
            if (std::isfinite(number) && number == std::floor(number) && number >= double(low) && number <= double(high))
                result = qint64(number);
        }
        return check(key, result);
    }
    template<typename Test>
    std::optional<qint64> offered(const QString &key, Test test)
    {
        std::optional<qint64> value = integer(key, INT_MIN, INT_MAX);
        if (value && !test(*value)) {
            value.reset();
            check(key, value);
        }
        return value;
    }
    std::optional<QString> text(const QString &key)
    {
        const QJsonValue value = m_object.value(key);
        return check(key, value.isString() ? std::optional(value.toString()) : std::nullopt);
    }

    template<typename T>
    std::optional<T> check(const QString &key, std::optional<T> value)
    {
        if (!value && m_damaged.isEmpty())
            m_damaged = key;
        return value;
    }

private:
    QJsonObject m_object;
    QString m_damaged;
};

} // namespace

std::optional<quint32> DottedValue(const QString &text)
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

QString modeKey(int mode)
{
    static const QStringList Keys{QStringLiteral("tcp-server"), QStringLiteral("tcp-client"),
                                  QStringLiteral("udp-active"), QStringLiteral("udp-passive")};
    return Keys.value(mode);
}

bool IsOfferedBaudRate(qint64 baudRate) { return isOfferedNumber(BaudRateCombo, baudRate); }
bool IsOfferedDataBits(qint64 dataBits) { return isOfferedNumber(DataBitsCombo, dataBits); }
bool IsOfferedStopBits(qint64 stopBits) { return isOfferedNumber(StopBitsCombo, stopBits); }
bool IsOfferedParity(qint64 parity) { return isOfferedIndex(ParityCombo, parity); }
bool IsOfferedFlowControl(qint64 flowControl) { return isOfferedIndex(FlowControlCombo, flowControl); }

QJsonObject GatewayReading::toJson() const
{
    QJsonObject object{{QStringLiteral("mac"), mac}, {QStringLiteral("ip"), DottedAddressText(address)}};
    if (!firmware.isEmpty())
        object.insert(QStringLiteral("firmware"), firmware);
    if (identified())
        object.insert(QStringLiteral("typeCode"), typeText(typeCode));
    if (lock)
        object.insert(QStringLiteral("locked"), *lock);
    if (networkRead) {
        object.insert(QStringLiteral("dhcp"), dhcp);
        object.insert(QStringLiteral("hostBits"), hostBits);
        object.insert(QStringLiteral("gateway"), DottedAddressText(defaultGateway));
    }
    if (recordRead) {
        object.insert(QStringLiteral("mode"), modeKey(mode()));
        object.insert(QStringLiteral("port"), port);
        object.insert(QStringLiteral("remoteIp"), DottedAddressText(remoteAddress));
        if (reportsRemoteMask())
            object.insert(QStringLiteral("remoteMask"), DottedAddressText(remoteMask));
        object.insert(QStringLiteral("baudRate"), baudRate);
        object.insert(QStringLiteral("dataBits"), dataBits);
        object.insert(QStringLiteral("stopBits"), stopBits);
        object.insert(QStringLiteral("parity"), parity);
        object.insert(QStringLiteral("flowControl"), flowControl);
    }
    return object;
}

std::optional<GatewayReading> GatewayReading::fromJson(const QJsonObject &object, QString *damagedKey)
{
    StrictReader in(object);
    GatewayReading r;
    const auto fail = [&]() -> std::optional<GatewayReading> {
        if (damagedKey)
            *damagedKey = in.damagedKey();
        return std::nullopt;
    };

    const std::optional<QString> mac = in.text(QStringLiteral("mac"));
    if (mac && MacAddressText(MacAddressFromText(*mac)) != mac->toUpper())
        in.check<bool>(QStringLiteral("mac"), std::nullopt);
    // The address a gateway answered from is never 0.0.0.0 nor a broadcast.
    const std::optional<quint32> ip = in.address(QStringLiteral("ip"));
    if (ip && (*ip == 0 || *ip == 0xFFFFFFFF))
        in.check<bool>(QStringLiteral("ip"), std::nullopt);
    if (in.damaged())
        return fail();
    r.mac = mac->toUpper();
    r.address = *ip;

    if (in.has(QStringLiteral("firmware")))
        r.firmware = in.text(QStringLiteral("firmware")).value_or(QString());
    if (in.has(QStringLiteral("typeCode"))) {
        const std::optional<QString> type = in.text(QStringLiteral("typeCode"));
        const quint32 code = type ? ParseHexNumber(*type) : 0;
        const bool known = std::any_of(DeviceTypeTable.cbegin(), DeviceTypeTable.cend(),
                                       [code](const DeviceType &entry) { return entry.typeCode == code; });
        if (type && !known)
            in.check<bool>(QStringLiteral("typeCode"), std::nullopt);
        r.typeCode = known ? code : 0;
        r.status = int(RowStatus::NoPassword);
    }
    if (in.has(QStringLiteral("locked")))
        r.lock = in.boolean(QStringLiteral("locked"));
    if (r.lock == true)
        r.status = int(RowStatus::PasswordOk);

    // A part is read when any of its keys is there; then all of them must be.
    const auto anyOf = [&in](std::initializer_list<const char *> keys) {
        return std::any_of(keys.begin(), keys.end(), [&in](const char *key) { return in.has(QLatin1String(key)); });
    };
    if (anyOf({"dhcp", "hostBits", "gateway"})) {
        r.networkRead = true;
        r.dhcp = in.boolean(QStringLiteral("dhcp")).value_or(false);
        r.hostBits = int(in.integer(QStringLiteral("hostBits"), 0, 32).value_or(0));
        r.defaultGateway = in.address(QStringLiteral("gateway")).value_or(0);
    }
    if (anyOf({"mode", "port", "remoteIp", "remoteMask", "baudRate", "dataBits", "stopBits", "parity", "flowControl"})) {
        r.recordRead = true;
        const int mode = int(QStringList{modeKey(0), modeKey(1), modeKey(2), modeKey(3)}.indexOf(
            object.value(QStringLiteral("mode")).toString()));
        if (mode < 0)
            in.check<bool>(QStringLiteral("mode"), std::nullopt);
        r.modeByte = quint8(qMax(mode, 0));
        r.port = quint16(in.integer(QStringLiteral("port"), 0, 0xFFFF).value_or(0));
        r.remoteAddress = in.address(QStringLiteral("remoteIp")).value_or(0);
        if (r.mode() != 1 || in.has(QStringLiteral("remoteMask")))
            r.remoteMask = in.address(QStringLiteral("remoteMask")).value_or(0);
        r.baudRate = qint32(in.offered(QStringLiteral("baudRate"), IsOfferedBaudRate).value_or(0));
        r.dataBits = int(in.offered(QStringLiteral("dataBits"), IsOfferedDataBits).value_or(0));
        r.stopBits = int(in.offered(QStringLiteral("stopBits"), IsOfferedStopBits).value_or(0));
        r.parity = int(in.offered(QStringLiteral("parity"), IsOfferedParity).value_or(0));
        r.flowControl = int(in.offered(QStringLiteral("flowControl"), IsOfferedFlowControl).value_or(0));
    }
    if (in.damaged())
        return fail();
    return r;
}
