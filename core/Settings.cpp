#include "Settings.h"

#include "UserStore.h"

#include <QFile>
#include <QSettings>
#include <QVariant>

#include <limits>
#include <optional>

namespace {

const QString UsePasswordKey = QStringLiteral("Settings/UsePW");
const QString PasswordKey = QStringLiteral("Settings/PW");
const QString BroadcastKey = QStringLiteral("Settings/Broadcast");
const QString FastRefreshKey = QStringLiteral("Settings/FastRefresh");

// The numeric value as stored (INI: its text; registry: a DWORD), or nothing
// when it cannot be read as a 32-bit signed number.
std::optional<int> readInt(const QVariant &value)
{
    const auto number = UserStore::readNumber(value, UserStore::NumberText::Decimal);
    if (!number || *number < std::numeric_limits<int>::min() || *number > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(*number);
}

// Texts are taken as stored; only a value that is no text at all (an INI
// line the reader turned into a list, a binary registry value) is damaged.
std::optional<QString> readText(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::QString:
        return value.toString();
    default:
        return std::nullopt;
    }
}

QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(UserStore::MaxFileSize + 1) : QByteArray();
}

} // namespace

Settings::Settings(int variantIndex, const QString &applicationName)
    : m_organisation(organisationName(variantIndex))
    , m_application(applicationName)
{
}

QString Settings::organisationName(int variantIndex)
{
    return QStringLiteral("OVIPCFG%1").arg(variantIndex, 4, 10, QLatin1Char('0'));
}

QString Settings::location() const
{
    return UserStore::location(m_organisation, m_application);
}

int Settings::protectionFlag() const
{
    return readInt(storedValue(UsePasswordKey)).value_or(DefaultProtectionFlag);
}

QString Settings::password() const
{
    return readText(storedValue(PasswordKey)).value_or(QString());
}

bool Settings::hasPassword() const
{
    return readText(storedValue(PasswordKey)).has_value();
}

QString Settings::broadcastAddress() const
{
    return readText(storedValue(BroadcastKey)).value_or(DefaultBroadcastAddress);
}

bool Settings::fastRefresh() const
{
    // Only the two values the window writes count: a stray 2 or "yes" must
    // not quietly change how the window reads the network.
    switch (readInt(storedValue(FastRefreshKey)).value_or(-1)) {
    case 0:
        return false;
    case 1:
        return true;
    default:
        return DefaultFastRefresh;
    }
}

QVariant Settings::storedValue(const QString &key) const
{
    const auto store = UserStore::open(m_organisation, m_application);
    return store ? store->value(key) : QVariant();
}

bool Settings::setProtectionFlag(int flag)
{
    return write(UsePasswordKey, flag);
}

bool Settings::setPassword(const QString &password)
{
    return write(PasswordKey, password);
}

bool Settings::setBroadcastAddress(const QString &address)
{
    return write(BroadcastKey, address);
}

bool Settings::removePassword()
{
    return write(PasswordKey, std::nullopt);
}

bool Settings::setFastRefresh(bool fast)
{
    return write(FastRefreshKey, fast ? 1 : 0);
}

bool Settings::write(const QString &key, const std::optional<QVariant> &value)
{
    if (!UserStore::prepareForWrite(m_organisation, m_application))
        return false;
    bool written = false;
    {
        const auto store = UserStore::open(m_organisation, m_application);
        if (!store || !store->isWritable())
            return false;
        // QSettings keeps the first error it met: once a damaged file has
        // reported FormatError, a failing write cannot report AccessError. A
        // successful write replaces the damaged text with a clean one, so a
        // change of the file's bytes tells the two apart. It parses a file's
        // sections only when they are first needed, so its status says
        // nothing about the damage until every section has been read.
        store->allKeys();
        const bool wasDamaged = store->status() == QSettings::FormatError;
        const QByteArray before = wasDamaged ? fileContent(location()) : QByteArray();
        if (value)
            store->setValue(key, *value);
        else
            store->remove(key);
        store->sync();
        written = store->status() == QSettings::NoError
            || (wasDamaged && store->status() == QSettings::FormatError && fileContent(location()) != before);
    }
    return UserStore::restrictToOwner(m_organisation, m_application) && written;
}
