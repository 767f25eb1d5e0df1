#pragma once

#include <QByteArray>
#include <QString>

class GatewayList;
class QWidget;

// The gateway list as a tab-separated text file: the password line when
// protection is on, the header line, then one line per row with the texts
// of the first seven columns, each followed by a tab. CR LF line ends, in
// the Windows code page 1252 (see Windows1252.h).
class GatewayListExport
{
public:
    static constexpr int ExportedColumns = 7;

    GatewayListExport(const GatewayList &list, int protectionFlag, const QString &password);

    // The file's bytes in the language in force.
    QByteArray content() const;

    // Writes content() to `path`, replacing the file only once the whole text
    // is written; a file with the password line is readable by its owner
    // only. On failure the old file is untouched and `error` (if given) holds
    // the system's reason. Where the folder takes no new file but the file
    // itself is writable, the file is overwritten in place instead; a
    // failure then may leave it cut short.
    bool writeTo(const QString &path, QString *error = nullptr) const;

    // The export as the user runs it: the save dialog, the write, and a
    // message box with the outcome. Nothing happens for an empty list.
    void OnExportList(QWidget *parent) const;

private:
    const GatewayList &m_list;
    int m_protectionFlag;
    QString m_password;
};
