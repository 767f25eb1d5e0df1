#pragma once

#include <QString>

#include <functional>

class QObject;

// The desktop's secret store as this program uses it: one text per service
// and key, read and written without blocking the caller. Each platform
// brings its own implementation (core/keyring/); a build without one
// answers every request with Unavailable, so its callers keep their
// passwords where they kept them before.
namespace Keyring {

enum class Outcome {
    Done,        // read: found; write: stored
    NotFound,    // read only: the keyring answered and has no such entry
    Unavailable, // no keyring answered, or it refused
};

using ReadDone = std::function<void(Outcome, const QString &text)>;
using WriteDone = std::function<void(Outcome)>;

// Starts the request; `done` runs later on the calling thread's event loop,
// never from within the call, and not at all once `receiver` is gone.
void read(const QString &service, const QString &key, QObject *receiver, ReadDone done);
void write(const QString &service, const QString &key, const QString &text, QObject *receiver, WriteDone done);

} // namespace Keyring
