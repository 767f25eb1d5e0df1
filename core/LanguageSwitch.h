#pragma once

#include "StringTable.h"

#include <QLocale>
#include <QVariant>
#include <QtGlobal>

#include <optional>

// The per-user language switch: the values `Language` (primary language
// identifier) and `SubLanguage` (sublanguage identifier) under the
// organisation "Orvano GmbH", application "OrvanoLanguageSwitch" of the user
// store. Another program writes them; this one only reads them.
namespace LanguageSwitch {

inline const QString Organisation = QStringLiteral("Orvano GmbH");
inline const QString Application = QStringLiteral("OrvanoLanguageSwitch");

// A stored value read as the 32-bit number a registry DWORD holds: decimal or
// "0x" hexadecimal text, or a number; nothing when missing or unreadable.
std::optional<qint64> readNumber(const QVariant &value);

// The language identifier (SubLanguage << 10 | Language, 16 bits) that the
// two values select, or nothing when either is missing or out of 32-bit
// range, or both are 0: then the switch leaves the language alone.
std::optional<quint16> languageId(std::optional<qint64> language, std::optional<qint64> subLanguage);

// German for every identifier of the German family (primary language 7:
// 1031 Germany, 2055 Switzerland, 3079 Austria, ...), English otherwise, since
// the program has no third table.
UiLanguage languageForId(quint16 languageId);

// The language the switch selects, or nothing when it selects none.
std::optional<UiLanguage> languageFromSwitch(std::optional<qint64> language, std::optional<qint64> subLanguage);

// The language of the user's system locale, used when the switch selects none.
UiLanguage languageFromLocale(const QLocale &locale);

// Reads the switch from the user store (never creates it).
std::optional<UiLanguage> readSwitch();

// The language to use for this run: the switch's, else the system locale's.
UiLanguage chooseLanguage();

} // namespace LanguageSwitch
