#include "UserStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

// Nothing there yet, or a regular file of a size a store can have.
bool isUsablePlace(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    return info.isFile() && info.size() <= UserStore::MaxFileSize;
}

// Creates `path` and every missing folder above it owner-only, as the XDG
// rules ask for the configuration folder.
bool makeOwnerOnlyPath(const QString &path)
{
    const QString clean = QDir::cleanPath(path);
    if (QFileInfo(clean).isDir())
        return true;
    const QString parent = QFileInfo(clean).absolutePath();
    if (parent == clean || !makeOwnerOnlyPath(parent))
        return false;
    return QDir().mkdir(clean, OwnerOnlyFolder) || QFileInfo(clean).isDir();
}

} // namespace

std::unique_ptr<QSettings> UserStore::open(const QString &organisation, const QString &application)
{
    const QString path = filePath(organisation, application);
    if (!isUsablePlace(path))
        return nullptr;
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

QString UserStore::location(const QString &organisation, const QString &application)
{
    return filePath(organisation, application);
}

bool UserStore::prepareForWrite(const QString &organisation, const QString &application)
{
    const QString folder = folderPath(organisation);
    const QString file = filePath(organisation, application);
    // Checked before anything is created or chmodded: a folder or FIFO in
    // the file's place keeps its permissions.
    if (!isUsablePlace(file))
        return false;
    if (!makeOwnerOnlyPath(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)))
        return false;
    QDir dir;
    if (!dir.exists(folder) && !dir.mkdir(folder, OwnerOnlyFolder))
        return false;
    // The file holds the password in clear text: close the folder before
    // anything is written, so not even the moment between writing the file
    // and narrowing its own permissions exposes it.
    if (!QFile::setPermissions(folder, OwnerOnlyFolder))
        return false;
    return !QFile::exists(file) || QFile::setPermissions(file, OwnerOnlyFile);
}

bool UserStore::restrictToOwner(const QString &organisation, const QString &application)
{
    const QString file = filePath(organisation, application);
    return QFileInfo(file).isFile() && QFile::setPermissions(file, OwnerOnlyFile);
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
