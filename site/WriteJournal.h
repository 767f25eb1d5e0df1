#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

// The record of every write: one JSON line per event, appended to a file in
// the user's state folder ($XDG_STATE_HOME/ovipgwadmin/journal.jsonl, owner
// only). A write first appends what it read and what it will send; nothing
// is sent when that fails. Appends take a lock, so concurrent writers never
// interleave or truncate each other, and a crash leaves every complete line.
class WriteJournal
{
public:
    // The journal of this user; `path` overrides it (tests).
    explicit WriteJournal(const QString &path = {});

    QString path() const { return m_path; }

    // Appends `entry` as one line, with "time" added; false and `error` set
    // when the line could not be written whole.
    bool append(QJsonObject entry, QString *error);

    // Every complete line that parses as an object, oldest first; damaged
    // lines are skipped.
    QList<QJsonObject> entries() const;

    static QString defaultPath();

private:
    QString m_path;
};
