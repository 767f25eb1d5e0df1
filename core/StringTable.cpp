#include "StringTable.h"

#include "TextTableFile.h"

#include <QFile>
#include <QHash>

#include <atomic>

namespace {

struct Texts
{
    QString english;
    QString german;

    const QString &in(UiLanguage language) const { return language == UiLanguage::German ? german : english; }
};

QByteArray readResource(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// Both tables are read once, on first use; the resources are compiled in, so a
// malformed line can only come from a faulty build and is simply left out (the
// string table tests reject such a build).
struct LoadedTables
{
    QHash<int, Texts> strings;
    QHash<int, QList<Texts>> comboEntries;

    LoadedTables()
    {
        const auto stringRows = TextTableFile::parse(readResource(QStringLiteral(":/text/strings.tsv"))).rows;
        for (const auto &row : stringRows) {
            if (!strings.contains(row.key))
                strings.insert(row.key, Texts{row.english, row.german});
        }
        const auto comboRows = TextTableFile::parse(readResource(QStringLiteral(":/text/comboentries.tsv"))).rows;
        for (const auto &row : comboRows)
            comboEntries[row.key].append(Texts{row.english, row.german});
    }
};

const LoadedTables &tables()
{
    static const LoadedTables loaded;
    return loaded;
}

std::atomic<UiLanguage> currentUiLanguage{UiLanguage::English};

} // namespace

QString StringTable::text(int number, UiLanguage language)
{
    const auto &strings = tables().strings;
    const auto it = strings.constFind(number);
    return it == strings.constEnd() ? QString() : it->in(language);
}

UiLanguage StringTable::currentLanguage()
{
    return currentUiLanguage.load();
}

void StringTable::setCurrentLanguage(UiLanguage language)
{
    currentUiLanguage.store(language);
}

QStringList StringTable::comboEntries(int controlId, UiLanguage language)
{
    QStringList entries;
    const auto &combos = tables().comboEntries;
    const auto it = combos.constFind(controlId);
    if (it == combos.constEnd())
        return entries;
    for (const auto &entry : *it)
        entries << entry.in(language);
    return entries;
}
