#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

// The journal's writes as a history: numbered once for the whole journal
// (1 = the oldest write), so that a number means the same write whether the
// history lists every gateway or one, and whether a restore names it.
namespace WriteHistory {

struct Write
{
    int number = 0;
    QJsonObject entry;  // the write's snapshot line
    QString outcome;    // its outcome line's result; "unknown" without one
    QStringList sent;   // the exchanges its outcome line lists
};

struct Result
{
    QList<Write> writes;
    int damagedLines = 0;
    QString damageNote;
    QString error; // the journal could not be read; `writes` is empty
};

// The writes of the gateway `macText` ("00-50-C2-4A-00-0A"), or of every
// gateway when it is empty, oldest first.
Result read(const QString &macText = {});

// What a write changed: each field its snapshot read and its configuration
// sent differently, as "key before -> after".
QStringList changes(const QJsonObject &entry);

} // namespace WriteHistory
