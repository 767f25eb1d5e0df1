#include "TextTableFile.h"

QString TextTableFile::decodeEscapes(const QString &text, bool *ok)
{
    bool clean = true;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\\') {
            out.append(c);
            continue;
        }
        if (i + 1 >= text.size()) {
            out.append(c);
            clean = false;
            continue;
        }
        const QChar next = text.at(++i);
        switch (next.unicode()) {
        case u't': out.append(u'\t'); break;
        case u'r': out.append(u'\r'); break;
        case u'n': out.append(u'\n'); break;
        case u'\\': out.append(u'\\'); break;
        default:
            out.append(c).append(next);
            clean = false;
            break;
        }
    }
    if (ok)
        *ok = clean;
    return out;
}

TextTableFile::Result TextTableFile::parse(const QByteArray &data)
{
    Result result;
    const QList<QByteArray> lines = data.split('\n');
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const int lineNumber = int(index + 1);
        QByteArray line = lines.at(index);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.startsWith('#'))
            continue;

        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() != 3) {
            result.problems << QStringLiteral("line %1: %2 fields instead of 3").arg(lineNumber).arg(fields.size());
            continue;
        }
        bool numeric = false;
        const int key = fields.at(0).toInt(&numeric);
        if (!numeric || key < 0) {
            result.problems << QStringLiteral("line %1: key is not a number").arg(lineNumber);
            continue;
        }
        Row row;
        row.line = lineNumber;
        row.key = key;
        bool englishClean = true;
        bool germanClean = true;
        row.english = decodeEscapes(QString::fromUtf8(fields.at(1)), &englishClean);
        row.german = decodeEscapes(QString::fromUtf8(fields.at(2)), &germanClean);
        if (row.english.isEmpty() || row.german.isEmpty()) {
            result.problems << QStringLiteral("line %1: a language is missing").arg(lineNumber);
            continue;
        }
        if (!englishClean || !germanClean)
            result.problems << QStringLiteral("line %1: unknown escape").arg(lineNumber);
        result.rows << row;
    }
    return result;
}
