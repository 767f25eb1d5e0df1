#pragma once

#include <QString>

// Asks for a password on the controlling terminal without echoing it.
namespace PasswordPrompt {

// Whether standard input is a terminal a person can type at.
bool available();
// The line typed after `prompt`; empty when nothing could be read.
QString ask(const QString &prompt);

} // namespace PasswordPrompt
