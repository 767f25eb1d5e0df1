#include "StoredPassword.h"

#include "DeviceTables.h"
#include "PasswordStore.h"
#include "ProgramName.h"
#include "Settings.h"
#include "StringTable.h"
#include "Texts.h"

namespace StoredPassword {

std::optional<QString> read(QByteArray *err)
{
    const ProductVariant &admin = VariantTable[0];
    // The settings store is named after the program as installed:
    // "ovipgwadmin", not "OVIPGWADMIN".
    const QString application = ProgramName::applicationName(QString::fromLatin1(admin.executableName).toLower());
    Settings settings(admin.variantIndex, application);
    if (settings.protectionFlag() == 0)
        return std::nullopt;
    PasswordStore store(settings);
    store.loadAndWait();
    // The window refuses protection without a password; an empty one here
    // is no password to use.
    if (store.password().isEmpty())
        return std::nullopt;
    switch (store.place()) {
    case PasswordStore::Place::Keyring:
        *err += loadString(Text::StoredPasswordFromKeyring).toUtf8() + '\n';
        break;
    case PasswordStore::Place::SettingsFile:
        *err += loadString(Text::StoredPasswordFromSettings).arg(settings.location()).toUtf8() + '\n';
        break;
    case PasswordStore::Place::Nowhere:
        return std::nullopt;
    }
    return store.password();
}

} // namespace StoredPassword
