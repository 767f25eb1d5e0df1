#include "WriteJournal.h"

#include "StringTable.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLockFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <unistd.h>
#endif

namespace {

constexpr int LockTimeoutMs = 10000;
constexpr int CannotCreateFolderString = 458;
constexpr int NotARegularFileString = 459;
constexpr int LockedByAnotherString = 460;
// A journal is small; a file far beyond this is not ours to read.
constexpr qint64 MaxJournalBytes = 64 * 1024 * 1024;

} // namespace

WriteJournal::WriteJournal(const QString &path)
    : m_path(path.isEmpty() ? defaultPath() : path)
{
}

QString WriteJournal::defaultPath()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/ovipgwadmin/journal.jsonl");
}

bool WriteJournal::append(QJsonObject entry, QString *error)
{
    const QFileInfo info(m_path);
    QDir folder = info.dir();
    if (!folder.exists()) {
        if (!QDir().mkpath(folder.path())) {
            *error = loadString(CannotCreateFolderString).arg(folder.path());
            return false;
        }
        QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    if (info.exists() && !info.isFile()) {
        *error = loadString(NotARegularFileString);
        return false;
    }

    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(LockTimeoutMs)) {
        *error = loadString(LockedByAnotherString);
        return false;
    }
    entry.insert(QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    QByteArray line = QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
    // A line a crash cut short is ended first, so that it costs only itself.
    if (QFile previous(m_path); previous.open(QIODevice::ReadOnly) && previous.size() > 0
        && previous.seek(previous.size() - 1) && previous.read(1) != "\n")
        line.prepend('\n');

    QFile file(m_path);
    const bool created = !file.exists();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *error = file.errorString();
        return false;
    }
    if (created)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // One write of the whole line, flushed to the disk before anything is
    // sent: the snapshot must outlive whatever the write does.
    if (file.write(line) != line.size() || !file.flush()) {
        *error = file.errorString();
        return false;
    }
#ifdef Q_OS_UNIX
    if (::fsync(file.handle()) != 0) {
        *error = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
#endif
    file.close();
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return false;
    }
    return true;
}

QList<QJsonObject> WriteJournal::entries() const
{
    QList<QJsonObject> result;
    QFile file(m_path);
    if (!QFileInfo(m_path).isFile() || file.size() > MaxJournalBytes || !file.open(QIODevice::ReadOnly))
        return result;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (!line.endsWith('\n'))
            break;
        const QJsonDocument document = QJsonDocument::fromJson(line);
        if (document.isObject())
            result.append(document.object());
    }
    return result;
}
