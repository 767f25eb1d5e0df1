#pragma once

#include <QObject>
#include <QString>

#include <optional>

class QTimer;
class Settings;

// Where the configuration password of one variant's settings lives: in the
// desktop keyring where one answers, and the settings file keeps only
// UsePW; where none answers, in the settings file's PW as it always was
// (the file readable by its owner alone).
//
// A PW still found in the file is the newest password there is: whenever
// the keyring takes the password the file's copy is removed, and the file
// is written only when the keyring could not be reached. So the file is
// read first, and the keyring only when the file has none. The next save
// moves it into the keyring.
//
// Reads and writes never block: load() and save() answer with loaded()
// and saved() from the event loop (load() at once when the file has the
// password).
class PasswordStore : public QObject
{
    Q_OBJECT

public:
    enum class Place { Nowhere, SettingsFile, Keyring };

    // How long a keyring that does not answer (a hung service, an unlock
    // prompt nobody answers) is waited for before the read counts as
    // failed. Long enough to type the keyring's own password.
    static constexpr int KeyringWaitMs = 30000;

    explicit PasswordStore(Settings &settings, QObject *parent = nullptr);
    ~PasswordStore() override;

    // The keyring entry of a variant's settings: the service names the
    // settings store ("OVIPCFG0000/ovipgwadmin"), the key is "PW".
    QString keyringService() const;
    static QString keyringKey();

    void load();
    bool isLoading() const { return m_loading; }
    // Waits for load() to end, painting and all else going on meanwhile.
    // For callers without a window of their own (the command line).
    void loadAndWait();

    // The password as loaded or last saved, and where it was found or put.
    QString password() const { return m_password; }
    Place place() const { return m_place; }

    // Keeps `password`. A save asked for while one runs follows it.
    void save(const QString &password);
    bool isSaving() const { return m_saving; }
    // Waits, at most KeyringWaitMs, for a save under way: before the
    // program ends, so that the last OK is not lost.
    void waitForSave();

signals:
    void loaded();
    void saved();

private:
    void finishLoad(Place place, const QString &password);
    void startSave(const QString &password);
    void finishSave(Place place);
    // Runs a local event loop until `busy` turns false, at most KeyringWaitMs.
    void waitWhile(const bool &busy, void (PasswordStore::*done)());

    Settings &m_settings;
    QString m_password;
    Place m_place = Place::Nowhere;
    bool m_loading = false;
    bool m_saving = false;
    // The password of a save asked for while another one runs.
    std::optional<QString> m_nextSave;
    // Bounds the wait for the keyring's answer to a read.
    QTimer *m_loadLimit = nullptr;
    // Tells a late answer from the read it belonged to.
    int m_loadNumber = 0;
};
