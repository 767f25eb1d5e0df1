#include "UserStore.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace {

#ifndef Q_OS_WIN
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
#endif

} // namespace

std::unique_ptr<QSettings> UserStore::open(const QString &organisation, const QString &application)
{
#ifdef Q_OS_WIN
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, organisation, application);
#else
    return std::make_unique<QSettings>(filePath(organisation, application), QSettings::IniFormat);
#endif
}

QString UserStore::location(const QString &organisation, const QString &application)
{
#ifdef Q_OS_WIN
    return QLatin1String("HKEY_CURRENT_USER\\Software\\") + organisation + u'\\' + application;
#else
    return filePath(organisation, application);
#endif
}

bool UserStore::prepareForWrite(const QString &organisation, const QString &application)
{
#ifdef Q_OS_WIN
    Q_UNUSED(organisation)
    Q_UNUSED(application)
    return true;
#else
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
#endif
}

bool UserStore::restrictToOwner(const QString &organisation, const QString &application)
{
#ifdef Q_OS_WIN
    Q_UNUSED(organisation)
    Q_UNUSED(application)
    return true;
#else
    return QFile::setPermissions(filePath(organisation, application), OwnerOnlyFile);
#endif
}
