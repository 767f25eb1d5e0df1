// The keyring through qtkeychain: the Secret Service on Linux desktops (the
// GNOME keyring, KWallet), the credential store on Windows.

#include "Keyring.h"

#include <qt6keychain/keychain.h>

#include <QObject>

namespace Keyring {

namespace {

// Anything but a clean answer leaves the secret where it was: a keyring
// that is missing, locked against us or broken all count as none.
Outcome outcomeOf(const QKeychain::Job &job)
{
    switch (job.error()) {
    case QKeychain::NoError:
        return Outcome::Done;
    case QKeychain::EntryNotFound:
        return Outcome::NotFound;
    default:
        return Outcome::Unavailable;
    }
}

// The job deletes itself when it has finished; it has no parent, since
// deleting a job whose request is still under way in the backend is not
// safe. The receiver only ends the delivery of its answer.
void start(QKeychain::Job *job, QObject *receiver, std::function<void(const QKeychain::Job &)> finished)
{
    job->setAutoDelete(true);
    // Our own fallback is the owner-only settings file, never the
    // library's plain-text one.
    job->setInsecureFallback(false);
    QObject::connect(job, &QKeychain::Job::finished, receiver,
                     [finished = std::move(finished)](QKeychain::Job *done) { finished(*done); });
    job->start();
}

} // namespace

void read(const QString &service, const QString &key, QObject *receiver, ReadDone done)
{
    auto *job = new QKeychain::ReadPasswordJob(service);
    job->setKey(key);
    start(job, receiver, [done = std::move(done)](const QKeychain::Job &finished) {
        const Outcome outcome = outcomeOf(finished);
        const auto &reader = static_cast<const QKeychain::ReadPasswordJob &>(finished);
        done(outcome, outcome == Outcome::Done ? reader.textData() : QString());
    });
}

void write(const QString &service, const QString &key, const QString &text, QObject *receiver, WriteDone done)
{
    auto *job = new QKeychain::WritePasswordJob(service);
    job->setKey(key);
    job->setTextData(text);
    start(job, receiver, [done = std::move(done)](const QKeychain::Job &finished) {
        const Outcome outcome = outcomeOf(finished);
        // A write has nothing to find.
        done(outcome == Outcome::NotFound ? Outcome::Unavailable : outcome);
    });
}

} // namespace Keyring
