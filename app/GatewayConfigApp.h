#pragma once

#include <QString>

#include <functional>
#include <memory>

class GatewayListDialog;
class PasswordStore;
class Settings;

// The application object: prepares the run in the fixed start-up order and
// runs the main window modally. Nothing is saved when the run ends; the
// password and broadcast dialogs save their changes when they close with OK
// (a password still on its way into the keyring is waited for).
class GatewayConfigApp
{
public:
    // Outcome of a run, used as the process exit status.
    enum ExitStatus {
        ExitNormal = 0,
        ExitNoSockets = 1,   // the socket check failed (message 103 shown)
        ExitNoVariant = 2,   // started under a name that is no product variant
    };

    // Whether the program can create UDP sockets at all; a test replaces it.
    using SocketCheck = std::function<bool()>;

    // `programPath` is argv[0] as the program was started, symlink name and all.
    explicit GatewayConfigApp(const QString &programPath, SocketCheck socketCheck = udpSocketsAvailable);
    ~GatewayConfigApp();

    GatewayConfigApp(const GatewayConfigApp &) = delete;
    GatewayConfigApp &operator=(const GatewayConfigApp &) = delete;

    // The start-up steps, then the main window until it closes.
    int run();

    // The executable's file name without extension, spelled as started.
    QString applicationName() const { return m_applicationName; }

    // The running main window; null before it is shown, after it has closed,
    // and when no variant was found.
    GatewayListDialog *mainWindow() const { return m_mainWindow; }

    // Fixes the user-interface language for the run from the language switch,
    // or from the system locale when the switch selects none.
    static void ApplyLanguageSwitch();

    // Gives `dialog` the type filter and variant index of the variant the
    // program name selects (0 and -1 first); false when it selects none.
    bool SelectVariant(GatewayListDialog &dialog) const;

    // Default socket check: creates a UDP socket bound to a loopback port
    // chosen by the system. Nothing is sent.
    static bool udpSocketsAvailable();

private:
    QString m_programPath;
    QString m_applicationName;
    SocketCheck m_socketCheck;
    std::unique_ptr<Settings> m_settings;
    std::unique_ptr<PasswordStore> m_passwordStore;
    GatewayListDialog *m_mainWindow = nullptr;
};
