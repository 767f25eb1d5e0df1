#pragma once

#include <QString>

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
};

// Shorthand used throughout the code: the text of a string number.
inline QString loadString(int number) { return StringTable::text(number); }
