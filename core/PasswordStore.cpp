#include "PasswordStore.h"

#include "Keyring.h"
#include "Settings.h"

#include <QEventLoop>
#include <QTimer>

PasswordStore::PasswordStore(Settings &settings, QObject *parent)
    : QObject(parent)
    , m_settings(settings)
    , m_loadLimit(new QTimer(this))
{
    m_loadLimit->setSingleShot(true);
    m_loadLimit->setInterval(KeyringWaitMs);
    connect(m_loadLimit, &QTimer::timeout, this, [this] { finishLoad(Place::Nowhere, QString()); });
}

PasswordStore::~PasswordStore() = default;

QString PasswordStore::keyringService() const
{
    return m_settings.organisation() + u'/' + m_settings.application();
}

QString PasswordStore::keyringKey()
{
    return QStringLiteral("PW");
}

void PasswordStore::load()
{
    m_loading = true;
    const int number = ++m_loadNumber;
    if (m_settings.hasPassword()) {
        finishLoad(Place::SettingsFile, m_settings.password());
        return;
    }
    m_loadLimit->start();
    Keyring::read(keyringService(), keyringKey(), this, [this, number](Keyring::Outcome outcome, const QString &text) {
        // An answer after the wait was given up on changes nothing: by then
        // the program has gone on without it.
        if (number != m_loadNumber || !m_loading)
            return;
        finishLoad(outcome == Keyring::Outcome::Done ? Place::Keyring : Place::Nowhere, text);
    });
}

void PasswordStore::finishLoad(Place place, const QString &password)
{
    if (!m_loading)
        return;
    m_loadLimit->stop();
    m_loading = false;
    m_place = place;
    m_password = password;
    emit loaded();
}

void PasswordStore::loadAndWait()
{
    load();
    waitWhile(m_loading, &PasswordStore::loaded);
}

void PasswordStore::save(const QString &password)
{
    m_password = password;
    if (m_saving) {
        m_nextSave = password;
        return;
    }
    startSave(password);
}

void PasswordStore::startSave(const QString &password)
{
    m_saving = true;
    Keyring::write(keyringService(), keyringKey(), password, this, [this, password](Keyring::Outcome outcome) {
        if (outcome == Keyring::Outcome::Done) {
            // Moved: the file's copy (from an older copy of the program, or
            // from a session without a keyring) would otherwise be read
            // first and win over the keyring's.
            if (m_settings.hasPassword() && !m_settings.removePassword()) {
                // The file's old password would still win; the new one is
                // put beside it.
                m_settings.setPassword(password);
                finishSave(Place::SettingsFile);
                return;
            }
            finishSave(Place::Keyring);
            return;
        }
        // Failures are not reported, as with every settings write; the
        // password is in force for the run either way.
        m_settings.setPassword(password);
        finishSave(Place::SettingsFile);
    });
}

void PasswordStore::finishSave(Place place)
{
    m_place = place;
    if (m_nextSave) {
        const QString next = *m_nextSave;
        m_nextSave.reset();
        startSave(next);
        return;
    }
    m_saving = false;
    emit saved();
}

void PasswordStore::waitForSave()
{
    waitWhile(m_saving, &PasswordStore::saved);
}

void PasswordStore::waitWhile(const bool &busy, void (PasswordStore::*done)())
{
    if (!busy)
        return;
    QEventLoop loop;
    connect(this, done, &loop, &QEventLoop::quit);
    QTimer::singleShot(KeyringWaitMs, &loop, &QEventLoop::quit);
    loop.exec();
}
