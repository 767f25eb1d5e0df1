#pragma once

#include <QSettings>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

// Where per-user values live on this platform. On Windows that is the registry,
// HKEY_CURRENT_USER\Software\<organisation>\<application>; elsewhere an INI
// file <XDG config folder>/<organisation>/<application>.ini. Everything above
// this seam only sees QSettings.
namespace UserStore {

// Opens the store for reading and writing. Opening never creates anything.
// Null when what stands in the store's place cannot be a store: anything but
// a regular file (a FIFO would block the reader for ever, a device never
// ends) or a file beyond MaxFileSize. Such a place reads as empty, and no
// write touches it.
std::unique_ptr<QSettings> open(const QString &organisation, const QString &application);

// Far beyond any store the program writes (three short values), small
// enough to read at once.
inline constexpr qint64 MaxFileSize = 64 * 1024;

// A readable description of the location (registry path or file path).
QString location(const QString &organisation, const QString &application);

// Brings a store back into a state only its owner can read, after it has been
// written: the folder 0700 (created so if missing, as is every missing folder
// above it), the file 0600. Returns false when the folder cannot be created,
// the permissions cannot be set, or the store's place holds something that
// open() refuses.
// A no-op on Windows, where the per-user registry hive is private already.
bool prepareForWrite(const QString &organisation, const QString &application);
bool restrictToOwner(const QString &organisation, const QString &application);

// How a stored number may be written as text: an INI file only holds text,
// the registry holds a DWORD, so both forms reach the readers.
enum class NumberText { Decimal, DecimalOrHex };

// A stored value read as a whole number: its trimmed text (decimal, or also
// "0x" hexadecimal when `form` allows it) or the number itself; nothing when
// it is neither or does not read as one.
std::optional<qint64> readNumber(const QVariant &value, NumberText form);

} // namespace UserStore
