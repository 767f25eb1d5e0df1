#include "PasswordPrompt.h"

#include <cstdio>

#ifdef Q_OS_UNIX
#include <csignal>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

constexpr int MaxPasswordLength = 1024;

#ifdef Q_OS_UNIX
// Signals that end the program while the password is typed (Ctrl-C,
// Ctrl-\, a kill, a closed terminal): the terminal must not stay silent.
constexpr int EndingSignals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};
constexpr std::size_t EndingSignalCount = sizeof EndingSignals / sizeof EndingSignals[0];

termios savedTerminal{};

extern "C" void restoreEchoAndEnd(int signal)
{
    // Only async-signal-safe calls here.
    ::tcsetattr(STDIN_FILENO, TCSANOW, &savedTerminal);
    const char newline = '\n';
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, &newline, 1);
    // Ended by the signal itself, so the shell sees the usual status (130
    // for Ctrl-C).
    struct sigaction standard{};
    standard.sa_handler = SIG_DFL;
    ::sigemptyset(&standard.sa_mask);
    ::sigaction(signal, &standard, nullptr);
    ::raise(signal);
}

// Echo off for its lifetime; on every way out, a signal included, the
// terminal gets its echo back.
class SilentTerminal
{
public:
    SilentTerminal()
    {
        if (::tcgetattr(STDIN_FILENO, &savedTerminal) != 0)
            return;
        m_active = true;
        struct sigaction handler{};
        handler.sa_handler = restoreEchoAndEnd;
        ::sigemptyset(&handler.sa_mask);
        for (std::size_t i = 0; i < EndingSignalCount; ++i)
            ::sigaction(EndingSignals[i], &handler, &m_previous[i]);
        termios silent = savedTerminal;
        silent.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    ~SilentTerminal()
    {
        if (!m_active)
            return;
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
        for (std::size_t i = 0; i < EndingSignalCount; ++i)
            ::sigaction(EndingSignals[i], &m_previous[i], nullptr);
    }
    SilentTerminal(const SilentTerminal &) = delete;
    SilentTerminal &operator=(const SilentTerminal &) = delete;

private:
    bool m_active = false;
    struct sigaction m_previous[EndingSignalCount]{};
};
#endif

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
    char buffer[MaxPasswordLength + 2] = {};
    bool read = false;
    {
        const SilentTerminal silent;
        read = std::fgets(buffer, sizeof buffer, stdin) != nullptr;
    }
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
