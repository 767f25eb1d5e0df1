#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Reader of the compiled-in text tables: UTF-8 lines "key<TAB>English<TAB>German";
// blank lines and lines starting with '#' are skipped. Inside a text the escapes
// \t, \r, \n and \\ stand for a tab, CR, LF and a backslash, so a text can hold
// the tab and CR LF that the export header needs without breaking the line format.
class TextTableFile
{
public:
    struct Row
    {
        int line = 0; // 1-based line number in the file
        int key = 0;
        QString english;
        QString german;
    };

    struct Result
    {
        QList<Row> rows;      // the well-formed rows, in file order
        QStringList problems; // one description per rejected line or odd escape
    };

    static Result parse(const QByteArray &data);

    // Decodes the escapes of one text; an unknown escape is kept as written
    // and reported through `ok`.
    static QString decodeEscapes(const QString &text, bool *ok = nullptr);
};
