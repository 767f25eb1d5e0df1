#pragma once

#include <QString>

#include <optional>

class QVariant;

// The per-user, per-variant settings of the program: section `Settings` with
// `UsePW` (password protection on/off), `PW` (the configuration password, in
// clear text), `Broadcast` (discovery and IP-SETUP destination) and
// `FastRefresh` (the window's list filled by the pipelined scan), stored
// under the organisation "OVIPCFG%04d" (variant index) and the application
// name. A missing value reads as its default; a value that cannot be read as
// its type reads as its default too; a stored empty text stays empty.
//
// Every setter writes through at once and reports whether the store took it.
// The password itself goes through PasswordStore, which keeps it here only
// where no desktop keyring answers.
class Settings
{
public:
    static constexpr int DefaultProtectionFlag = 0;
    static inline const QString DefaultBroadcastAddress = QStringLiteral("255.255.255.255");
    static constexpr bool DefaultFastRefresh = false;

    Settings(int variantIndex, const QString &applicationName);

    // "OVIPCFG0002" for variant 2.
    static QString organisationName(int variantIndex);

    QString organisation() const { return m_organisation; }
    QString application() const { return m_application; }
    // Registry path or INI file path, for messages and documentation.
    QString location() const;

    int protectionFlag() const;       // UsePW
    QString password() const;         // PW
    // Whether PW is there at all (an empty text counts): where the desktop
    // keeps secrets, PasswordStore moves it there and removes it here.
    bool hasPassword() const;
    QString broadcastAddress() const; // Broadcast
    // FastRefresh: 1 or 0; anything else is damage and reads as the default.
    bool fastRefresh() const;

    bool setProtectionFlag(int flag);
    bool setPassword(const QString &password);
    bool setBroadcastAddress(const QString &address);
    bool removePassword();
    bool setFastRefresh(bool fast);

private:
    QVariant storedValue(const QString &key) const;
    // Nothing removes the value.
    bool write(const QString &key, const std::optional<QVariant> &value);

    QString m_organisation;
    QString m_application;
};
