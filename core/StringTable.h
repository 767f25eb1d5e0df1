#pragma once

#include <QString>
#include <QStringList>

// The program's two-language text table. Every user-visible text is a numbered
// string; several numbers are reached by arithmetic on a base (mode names
// 104 + mode, titles 173 + variant, ...), so numbers are never renumbered and
// new texts take numbers above the highest in use.
//
// The language is chosen once at start-up, before any widget exists, and stays
// for the whole run; tests may read either language directly.
enum class UiLanguage { English, German };

class StringTable
{
public:
    // Text of `number` in `language`; an unknown number gives an empty text.
    static QString text(int number, UiLanguage language);

    // Text of `number` in the language in force.
    static QString text(int number) { return text(number, currentLanguage()); }

    static UiLanguage currentLanguage();
    static void setCurrentLanguage(UiLanguage language);

    // Initial entries, in order, of the main window's serial-line combo box
    // with the control number `controlId` (1015 baud rate, 1018 data bits,
    // 1022 stop bits, 1026 parity, 1024 flow control); empty for any other.
    static QStringList comboEntries(int controlId, UiLanguage language);
    static QStringList comboEntries(int controlId) { return comboEntries(controlId, currentLanguage()); }
};

// Shorthand used throughout the code: the text of a string number.
inline QString loadString(int number) { return StringTable::text(number); }
