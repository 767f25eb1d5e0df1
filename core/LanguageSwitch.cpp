#include "LanguageSwitch.h"

#include "UserStore.h"

#include <QSettings>

namespace {

constexpr qint64 DwordMax = 0xFFFFFFFFLL;
constexpr quint16 PrimaryLanguageMask = 0x3FF;
constexpr quint16 PrimaryLanguageGerman = 0x07;

} // namespace

std::optional<qint64> LanguageSwitch::readNumber(const QVariant &value)
{
    return UserStore::readNumber(value, UserStore::NumberText::DecimalOrHex);
}

std::optional<quint16> LanguageSwitch::languageId(std::optional<qint64> language, std::optional<qint64> subLanguage)
{
    // A registry read of more than four bytes fails; a number that does not fit
    // a DWORD is treated the same way.
    const auto fits = [](const std::optional<qint64> &v) { return v && *v >= 0 && *v <= DwordMax; };
    if (!fits(language) || !fits(subLanguage))
        return std::nullopt;
    if (*language == 0 && *subLanguage == 0)
        return std::nullopt;
    return quint16(((quint64(*subLanguage) << 10) | quint64(*language)) & 0xFFFF);
}

UiLanguage LanguageSwitch::languageForId(quint16 languageId)
{
    return (languageId & PrimaryLanguageMask) == PrimaryLanguageGerman ? UiLanguage::German : UiLanguage::English;
}

std::optional<UiLanguage> LanguageSwitch::languageFromSwitch(std::optional<qint64> language,
                                                             std::optional<qint64> subLanguage)
{
    const auto id = languageId(language, subLanguage);
    if (!id)
        return std::nullopt;
    return languageForId(*id);
}

UiLanguage LanguageSwitch::languageFromLocale(const QLocale &locale)
{
    return locale.language() == QLocale::German ? UiLanguage::German : UiLanguage::English;
}

std::optional<UiLanguage> LanguageSwitch::readSwitch()
{
    const auto store = UserStore::open(Organisation, Application);
    if (!store)
        return std::nullopt;
    const QString languageKey = QStringLiteral("Language");
    const QString subLanguageKey = QStringLiteral("SubLanguage");
    const auto language = store->contains(languageKey) ? readNumber(store->value(languageKey)) : std::nullopt;
    const auto subLanguage = store->contains(subLanguageKey) ? readNumber(store->value(subLanguageKey)) : std::nullopt;
    return languageFromSwitch(language, subLanguage);
}

UiLanguage LanguageSwitch::chooseLanguage()
{
    return readSwitch().value_or(languageFromLocale(QLocale::system()));
}
