#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

// The record of every write: one JSON line per event, appended to a file in
// the user's state folder ($XDG_STATE_HOME/ovipgwadmin/journal.jsonl; the
// folder 0700, the file 0600 from the moment it exists). A write first
// appends what it read and what it will send; nothing is sent when that
// fails. Appends take a lock, so concurrent writers never interleave or
// truncate each other, and a crash leaves every complete line.
class WriteJournal
{
public:
    // The journal of this user; `path` overrides it (tests).
    explicit WriteJournal(const QString &path = {});

    QString path() const { return m_path; }

    // Appends `entry` as one line, with "time" added; false and `error` set
    // (the cause, e.g. "it is a folder, not a regular file") when the line
    // could not be written whole.
    bool append(QJsonObject entry, QString *error);

    struct ReadResult
    {
        // Every complete line that parses as an object, oldest first.
        QList<QJsonObject> entries;
        // The line of the file each entry stands on (1 for the first line):
        // a damaged line skipped before it never renumbers it.
        QList<qint64> lines;
        // Lines that are not a JSON object, or were cut short by a crash.
        int damagedLines = 0;
        // Why the journal could not be read (or not to its end); empty when
        // it was, or when there is no journal yet.
        QString error;

        // "N damaged lines skipped" for a reader to show, empty for none.
        QString damageNote() const;
    };

    // The whole journal, read as a stream of any length.
    ReadResult read() const;

    // read()'s entries alone; damaged lines and errors are passed over.
    QList<QJsonObject> entries() const;

    static QString defaultPath();

private:
    QString m_path;
};
