#include "PasswordPrompt.h"

#include <cstdio>

#ifdef Q_OS_UNIX
#include <termios.h>
#include <unistd.h>
#endif

namespace {

constexpr int MaxPasswordLength = 1024;

} // namespace

namespace PasswordPrompt {

bool available()
{
#ifdef Q_OS_UNIX
    return ::isatty(STDIN_FILENO) == 1;
#else
    return false;
#endif
}

QString ask(const QString &prompt)
{
#ifdef Q_OS_UNIX
    if (!available())
        return {};
    std::fputs(prompt.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    termios saved{};
    const bool restore = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (restore) {
        termios silent = saved;
        silent.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    char buffer[MaxPasswordLength + 2] = {};
    const bool read = std::fgets(buffer, sizeof buffer, stdin) != nullptr;
    if (restore)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputs("\n", stderr);
    if (!read)
        return {};
    QString line = QString::fromLocal8Bit(buffer);
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return line;
#else
    Q_UNUSED(prompt);
    return {};
#endif
}

} // namespace PasswordPrompt
