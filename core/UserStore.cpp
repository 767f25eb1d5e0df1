#include "UserStore.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#ifdef Q_OS_WIN

std::unique_ptr<QSettings> UserStore::open(const QString &organisation, const QString &application)
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, organisation, application);
}

QString UserStore::location(const QString &organisation, const QString &application)
{
    return QLatin1String("HKEY_CURRENT_USER\\Software\\") + organisation + u'\\' + application;
}

bool UserStore::prepareForWrite(const QString &, const QString &)
{
    return true;
}

bool UserStore::restrictToOwner(const QString &, const QString &)
{
    return true;
}

#else

namespace {

constexpr QFile::Permissions OwnerOnlyFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr QFile::Permissions OwnerOnlyFile = QFile::ReadOwner | QFile::WriteOwner;

QString folderPath(const QString &organisation)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + u'/' + organisation;
}

QString filePath(const QString &organisation, const QString &application)
{
    return folderPath(organisation) + u'/' + application + QLatin1String(".ini");
}

} // namespace

std::unique_ptr<QSettings> UserStore::open(const QString &organisation, const QString &application)
{
    return std::make_unique<QSettings>(filePath(organisation, application), QSettings::IniFormat);
}

QString UserStore::location(const QString &organisation, const QString &application)
{
    return filePath(organisation, application);
}

bool UserStore::prepareForWrite(const QString &organisation, const QString &application)
{
    const QString folder = folderPath(organisation);
    const QString parent = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (!QDir().mkpath(parent))
        return false;
    QDir dir;
    if (!dir.exists(folder) && !dir.mkdir(folder, OwnerOnlyFolder))
        return false;
    // The file holds the password in clear text: close the folder before
    // anything is written, so not even the moment between writing the file
    // and narrowing its own permissions exposes it.
    if (!QFile::setPermissions(folder, OwnerOnlyFolder))
        return false;
    const QString file = filePath(organisation, application);
    return !QFile::exists(file) || QFile::setPermissions(file, OwnerOnlyFile);
}

bool UserStore::restrictToOwner(const QString &organisation, const QString &application)
{
    return QFile::setPermissions(filePath(organisation, application), OwnerOnlyFile);
}

#endif

std::optional<qint64> UserStore::readNumber(const QVariant &value, NumberText form)
{
    bool ok = false;
    qint64 number = 0;
    switch (value.metaType().id()) {
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        const QString text = value.toString().trimmed();
        if (form == NumberText::DecimalOrHex && text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            number = text.mid(2).toLongLong(&ok, 16);
        else
            number = text.toLongLong(&ok, 10);
        break;
    }
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        number = value.toLongLong(&ok);
        break;
    default:
        break;
    }
    if (!ok)
        return std::nullopt;
    return number;
}
