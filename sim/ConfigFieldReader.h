#pragma once

#include "Telegrams.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <cmath>
#include <optional>

// Reads the fields of one JSON object of the simulator file and collects the
// first error with the path of the field it concerns ("gateways[2].hostBits: ...").
class ConfigFieldReader
{
public:
    ConfigFieldReader(const QJsonObject &object, QString where, QString *error)
        : m_object(object), m_where(std::move(where)), m_error(error)
    {
    }

    bool ok() const { return m_ok; }
    QString *error() const { return m_error; }
    void absorb(const ConfigFieldReader &inner)
    {
        if (!inner.ok())
            m_ok = false;
    }

    bool fail(const QString &key, const QString &message)
    {
        if (m_ok && m_error && m_error->isEmpty())
            *m_error = QStringLiteral("%1.%2: %3").arg(m_where, key, message);
        m_ok = false;
        return false;
    }

    // Fields the format does not know are refused (a misspelt key would
    // otherwise silently fall back to its default). Keys starting with '_'
    // are comments.
    void rejectUnknownKeys(const QStringList &known)
    {
        for (auto it = m_object.begin(); it != m_object.end(); ++it) {
            if (!it.key().startsWith(QLatin1Char('_')) && !known.contains(it.key()))
                fail(it.key(), QStringLiteral("unknown field"));
        }
    }

    bool has(const QString &key) const { return m_object.contains(key); }
    QJsonValue value(const QString &key) const { return m_object.value(key); }

    // Integer in [low, high]; absent keeps `target`.
    template<typename T>
    void integer(const QString &key, T &target, qint64 low, qint64 high)
    {
        if (!has(key))
            return;
        const QJsonValue v = value(key);
        const double d = v.toDouble(std::nan(""));
        if (!v.isDouble() || std::floor(d) != d || d < double(low) || d > double(high)) {
            fail(key, QStringLiteral("must be an integer from %1 to %2").arg(low).arg(high));
            return;
        }
        target = T(qint64(d));
    }

    void boolean(const QString &key, bool &target)
    {
        if (!has(key))
            return;
        if (!value(key).isBool()) {
            fail(key, QStringLiteral("must be true or false"));
            return;
        }
        target = value(key).toBool();
    }

    void address(const QString &key, quint32 &target, bool required = false)
    {
        if (!has(key)) {
            if (required)
                fail(key, QStringLiteral("is required"));
            return;
        }
        const auto parsed = parseAddress(value(key).toString());
        if (!value(key).isString() || !parsed) {
            fail(key, QStringLiteral("must be a dotted IPv4 address such as \"198.18.0.10\""));
            return;
        }
        target = *parsed;
    }

    template<typename Enum>
    void choice(const QString &key, Enum &target, const QStringList &names)
    {
        if (!has(key))
            return;
        const int index = names.indexOf(value(key).toString());
        if (!value(key).isString() || index < 0) {
            fail(key, QStringLiteral("must be one of %1").arg(names.join(QStringLiteral(", "))));
            return;
        }
        target = Enum(index);
    }

    void record(const QString &key, QByteArray &target, int size, Telegram::Code code)
    {
        if (!has(key))
            return;
        const QString text = value(key).toString();
        const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
        static const QRegularExpression hexOnly(QStringLiteral("^[0-9A-Fa-f]*$"));
        if (!value(key).isString() || !hexOnly.match(text).hasMatch() || bytes.size() != size
            || bytes.at(0) || bytes.at(1) || bytes.at(2) || quint8(bytes.at(3)) != code) {
            fail(key, QStringLiteral("must be %1 bytes as hex starting 000000%2")
                          .arg(size)
                          .arg(int(code), 2, 16, QLatin1Char('0')));
            return;
        }
        target = bytes;
    }

    static std::optional<quint32> parseAddress(const QString &text)
    {
        static const QRegularExpression dotted(
            QStringLiteral("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})$"));
        const auto match = dotted.match(text);
        if (!match.hasMatch())
            return std::nullopt;
        quint32 value = 0;
        for (int i = 1; i <= 4; ++i) {
            const int octet = match.captured(i).toInt();
            if (octet > 255)
                return std::nullopt;
            value = value << 8 | quint32(octet);
        }
        return value;
    }

private:
    QJsonObject m_object;
    QString m_where;
    QString *m_error;
    bool m_ok = true;
};
