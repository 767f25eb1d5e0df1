#include "LiveOutput.h"

#include "StringTable.h"
#include "Texts.h"
#include "WriteReport.h"

#include <QHash>
#include <QJsonDocument>

#include <csignal>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

bool liveEnabled = false;
volatile std::sig_atomic_t stopSignalled = 0;

extern "C" void requestStop(int signal)
{
    stopSignalled = 1;
    // The next one is not caught: it ends the program at once.
    std::signal(signal, SIG_DFL);
}

bool progressTerminal()
{
#ifdef Q_OS_UNIX
    return liveEnabled && ::isatty(STDERR_FILENO) == 1;
#else
    return false;
#endif
}

// The engine's phases as a person reads them.
QString phaseText(const QString &phase)
{
    static const QHash<QString, int> Texts{
        {QStringLiteral("read"), Text::PhaseRead},          {QStringLiteral("ipSetup"), Text::PhaseIpSetup},
        {QStringLiteral("identity"), Text::PhaseIdentity},  {QStringLiteral("network"), Text::PhaseNetwork},
        {QStringLiteral("setup"), Text::PhaseSetup},        {QStringLiteral("lookup"), Text::PhaseLookup},
        {QStringLiteral("confirm"), Text::PhaseConfirm}};
    return Texts.contains(phase) ? loadString(Texts.value(phase)) : phase;
}

} // namespace

void LiveOutput::enable()
{
    liveEnabled = true;
}

bool LiveOutput::stopRequested()
{
    return stopSignalled != 0;
}

LiveOutput::LiveOutput(Rows rows, int gateways, QByteArray *out)
    : m_rows(rows)
    , m_out(out)
    , m_gateways(gateways)
    , m_progress(progressTerminal())
{
    stopSignalled = 0;
    m_previousInterrupt = std::signal(SIGINT, requestStop);
    m_previousTerminate = std::signal(SIGTERM, requestStop);
    if (m_progress) {
        connect(&m_ticker, &QTimer::timeout, this, &LiveOutput::showProgress);
        m_ticker.start(1000);
    }
}

void LiveOutput::attach(WriteEngine &engine, std::function<bool(const WriteReport &)> hold)
{
    connect(&engine, &WriteEngine::phase, this, [this](const QString &name, int, int waitMs) {
        m_phase = name;
        m_phaseMs = waitMs;
        m_phaseClock.start();
        showProgress();
    });
    connect(&engine, &WriteEngine::rowFinished, this, [this, hold](const WriteReport &report) {
        if (hold && hold(report)) {
            m_held.append(report);
            return;
        }
        ++m_done;
        printRow(report);
        showProgress();
    });
}

void LiveOutput::printHeld()
{
    for (const WriteReport &report : std::as_const(m_held)) {
        ++m_done;
        printRow(report);
    }
    m_held.clear();
}

void LiveOutput::printRow(const WriteReport &report)
{
    if (m_rows == Rows::Table)
        print(render(report, false));
    else if (m_rows == Rows::JsonLines)
        print(QJsonDocument(reportJson(report)).toJson(QJsonDocument::Compact) + '\n');
}

LiveOutput::~LiveOutput()
{
    std::signal(SIGINT, m_previousInterrupt == SIG_ERR ? SIG_DFL : m_previousInterrupt);
    std::signal(SIGTERM, m_previousTerminate == SIG_ERR ? SIG_DFL : m_previousTerminate);
    if (m_progress) {
        // Leave the terminal's line empty for what follows.
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
}

void LiveOutput::print(const QByteArray &text)
{
    if (!liveEnabled) {
        *m_out += text;
        return;
    }
    if (m_progress)
        std::fputs("\r\033[K", stderr);
    std::fwrite(text.constData(), 1, std::size_t(text.size()), stdout);
    std::fflush(stdout);
    showProgress();
}

void LiveOutput::showProgress()
{
    if (!m_progress || m_phase.isEmpty())
        return;
    const qint64 left = qMax<qint64>(0, (m_phaseMs - m_phaseClock.elapsed() + 999) / 1000);
    const QString line = loadString(Text::ProgressLine)
                             .arg(phaseText(m_phase))
                             .arg(m_done)
                             .arg(m_gateways)
                             .arg(left);
    std::fputs((QStringLiteral("\r") + line + QStringLiteral("\033[K")).toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}
