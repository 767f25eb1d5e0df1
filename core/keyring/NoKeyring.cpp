// For a platform build without a keyring library: every request finds no
// keyring, so the password stays in the settings store.

#include "Keyring.h"

#include <QTimer>

namespace Keyring {

void read(const QString &, const QString &, QObject *receiver, ReadDone done)
{
    QTimer::singleShot(0, receiver, [done = std::move(done)] { done(Outcome::Unavailable, QString()); });
}

void write(const QString &, const QString &, const QString &, QObject *receiver, WriteDone done)
{
    QTimer::singleShot(0, receiver, [done = std::move(done)] { done(Outcome::Unavailable); });
}

} // namespace Keyring
