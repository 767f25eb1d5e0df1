#include "WriteJournal.h"

#include "StringTable.h"
#include "Texts.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLockFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr int LockTimeoutMs = 10000;
// A snapshot line is a few KiB; a longer line is no entry of ours and is
// read past rather than into memory.
constexpr qint64 MaxLineBytes = 1024 * 1024;
constexpr qint64 ChunkBytes = 64 * 1024;

#ifdef Q_OS_UNIX

QString errnoText(int error)
{
    return QString::fromLocal8Bit(strerror(error));
}

QString notRegularText(mode_t mode)
{
    if (S_ISDIR(mode))
        return loadString(Text::JournalIsFolder);
    if (S_ISFIFO(mode))
        return loadString(Text::JournalIsPipe);
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return loadString(Text::JournalIsDevice);
    if (S_ISSOCK(mode))
        return loadString(Text::JournalIsSocket);
    return loadString(Text::JournalNotARegularFile);
}

// Why no file can be made in `folder`, from the errno of the attempt.
QString unwritableFolderText(const QString &folder, int error)
{
    if (error == EACCES || error == EPERM)
        return loadString(Text::JournalNoPermission).arg(folder);
    if (error == EROFS)
        return loadString(Text::JournalReadOnly).arg(folder);
    return loadString(Text::JournalCannotWriteFolder).arg(folder, errnoText(error));
}

// The journal's folder, made owner-only when it is new. An existing one is
// refused when others may replace the journal in it, and when no file can
// be made in it (asked before the lock, so that a lock file left in a
// read-only folder is not mistaken for another program's).
bool prepareFolder(const QString &folder, QString *error)
{
    const QByteArray name = QFile::encodeName(folder);
    struct stat status {};
    if (::stat(name.constData(), &status) != 0) {
        if (errno != ENOENT || !QDir().mkpath(QFileInfo(folder).path())
            || (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) || ::stat(name.constData(), &status) != 0) {
            *error = loadString(Text::JournalCannotCreateFolder).arg(folder);
            return false;
        }
    }
    if (!S_ISDIR(status.st_mode)) {
        *error = loadString(Text::JournalCannotCreateFolder).arg(folder);
        return false;
    }
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (status.st_mode & S_ISVTX) == 0) {
        *error = loadString(Text::JournalOthersMayChange).arg(folder);
        return false;
    }
    if (::faccessat(AT_FDCWD, name.constData(), W_OK | X_OK, AT_EACCESS) != 0) {
        *error = unwritableFolderText(folder, errno);
        return false;
    }
    return true;
}

// Opens the journal when it is a regular file; -1 with `error` set when it
// is something else, so that a FIFO never blocks a reader and a device is
// never written. Nothing to open is -1 with `error` empty when `flags` does
// not create.
int openRegular(const QString &path, int flags, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::stat(name.constData(), &status) == 0 && !S_ISREG(status.st_mode)) {
        *error = notRegularText(status.st_mode);
        return -1;
    }
    // Non-blocking and checked again on the open file: whatever was swapped
    // in since the look above is refused as well.
    const int fd = ::open(name.constData(), flags | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno != ENOENT || (flags & O_CREAT) != 0)
            *error = errnoText(errno);
        return -1;
    }
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        *error = notRegularText(status.st_mode);
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

bool writeWhole(int fd, const QByteArray &bytes, QString *error)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            *error = errnoText(written < 0 ? errno : ENOSPC);
            return false;
        }
        done += written;
    }
    return true;
}

#endif

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

QString WriteJournal::ReadResult::damageNote() const
{
    return damagedLines == 0 ? QString() : loadString(Text::JournalDamagedLines).arg(damagedLines);
}

bool WriteJournal::append(QJsonObject entry, QString *error)
{
    entry.insert(QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    QByteArray line = QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
#ifdef Q_OS_UNIX
    const QString folder = QFileInfo(m_path).path();
    if (!prepareFolder(folder, error))
        return false;
    struct stat status {};
    if (::stat(QFile::encodeName(m_path).constData(), &status) == 0 && !S_ISREG(status.st_mode)) {
        *error = notRegularText(status.st_mode);
        return false;
    }

    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(LockTimeoutMs)) {
        if (lock.error() == QLockFile::LockFailedError) {
            *error = loadString(Text::JournalLockedByAnother);
            return false;
        }
        // Not another program's lock: the lock file itself cannot be made.
        // Its own errno says why (the folder check above can pass for root).
        const QByteArray probe = QFile::encodeName(lock.fileName());
        const int fd = ::open(probe.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        const int cause = fd < 0 ? errno : EIO;
        if (fd >= 0) {
            ::close(fd);
            ::unlink(probe.constData());
        }
        *error = unwritableFolderText(folder, cause);
        return false;
    }

    // Created owner-only by the open itself: there is no moment in which
    // another user could open it.
    const int fd = openRegular(m_path, O_RDWR | O_APPEND | O_CREAT, error);
    if (fd < 0)
        return false;
    if (::fstat(fd, &status) == 0 && status.st_uid == ::geteuid() && (status.st_mode & 077) != 0)
        ::fchmod(fd, 0600);
    // A line a crash cut short is ended first, so that it costs only itself.
    char last = '\n';
    if (status.st_size > 0 && ::pread(fd, &last, 1, status.st_size - 1) == 1 && last != '\n')
        line.prepend('\n');
    // One write of the whole line, on the disk before anything is sent: the
    // snapshot must outlive whatever the write does.
    bool written = writeWhole(fd, line, error);
    if (written && ::fsync(fd) != 0) {
        *error = errnoText(errno);
        written = false;
    }
    if (::close(fd) != 0 && written) {
        *error = errnoText(errno);
        written = false;
    }
    return written;
#else
    const QFileInfo info(m_path);
    if (!QDir().mkpath(info.path())) {
        *error = loadString(Text::JournalCannotCreateFolder).arg(info.path());
        return false;
    }
    if (info.exists() && !info.isFile()) {
        *error = loadString(Text::JournalNotARegularFile);
        return false;
    }
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(LockTimeoutMs)) {
        *error = loadString(Text::JournalLockedByAnother);
        return false;
    }
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(line) != line.size() || !file.flush()) {
        *error = file.errorString();
        return false;
    }
    return true;
#endif
}

WriteJournal::ReadResult WriteJournal::read() const
{
    ReadResult result;
    QFile file;
#ifdef Q_OS_UNIX
    QString cause;
    const int fd = openRegular(m_path, O_RDONLY, &cause);
    if (fd < 0) {
        if (!cause.isEmpty())
            result.error = loadString(Text::JournalCannotRead).arg(m_path, cause);
        return result;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        result.error = loadString(Text::JournalCannotRead).arg(m_path, file.errorString());
        return result;
    }
#else
    if (!QFileInfo::exists(m_path))
        return result;
    file.setFileName(m_path);
    if (!QFileInfo(m_path).isFile() || !file.open(QIODevice::ReadOnly)) {
        result.error = loadString(Text::JournalCannotRead).arg(m_path, loadString(Text::JournalNotARegularFile));
        return result;
    }
#endif
    qint64 lineNumber = 0;
    QByteArray line;
    bool overlong = false;
    while (true) {
        const QByteArray chunk = file.readLine(ChunkBytes);
        if (chunk.isEmpty()) {
            if (file.error() != QFileDevice::NoError)
                result.error = loadString(Text::JournalCannotRead).arg(m_path, file.errorString());
            break;
        }
        if (!overlong) {
            line += chunk;
            if (line.size() > MaxLineBytes) {
                overlong = true;
                line.clear();
            }
        }
        // Without its line feed the line either goes on in the next chunk,
        // or is the last one, cut short by a crash.
        if (!chunk.endsWith('\n'))
            continue;
        ++lineNumber;
        const bool blank = !overlong && line.trimmed().isEmpty();
        QJsonDocument document;
        if (!overlong && !blank)
            document = QJsonDocument::fromJson(line);
        if (document.isObject()) {
            result.entries.append(document.object());
            result.lines.append(lineNumber);
        } else if (!blank) {
            ++result.damagedLines;
        }
        line.clear();
        overlong = false;
    }
    if (overlong || !line.trimmed().isEmpty())
        ++result.damagedLines;
    return result;
}

QList<QJsonObject> WriteJournal::entries() const
{
    return read().entries;
}
