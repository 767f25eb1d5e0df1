#include "ReplyWait.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <thread>

namespace {

constexpr qint64 NsPerMs = 1000000;
// The event loop's timers wake up as much as a millisecond late. The end of
// a wait is approached on a timer this much early and the rest is slept, so
// that each wait ends on its time; over a refresh of a few hundred gateways
// the late wake-ups would add up to a tenth of a second.
constexpr qint64 EndLeadNs = 2 * NsPerMs;

} // namespace

// The state of one run; lives on the stack of run().
struct ReplyWait::Loop
{
    QEventLoop loop;
    QTimer timer;
    QElapsedTimer clock;
    bool inTail = false;
    qint64 endNs = -1; // the end, once it is the next thing to come

    // Fires at `atNs` on the wait's clock, rounded up to the millisecond so
    // that no step ends before its time.
    void armAt(qint64 atNs)
    {
        const qint64 remainingNs = atNs - clock.nsecsElapsed();
        timer.start(int(qMax<qint64>(0, (remainingNs + NsPerMs - 1) / NsPerMs)));
    }
    void endAt(qint64 atNs)
    {
        endNs = atNs;
        const qint64 leadNs = atNs - EndLeadNs - clock.nsecsElapsed();
        timer.start(int(qMax<qint64>(0, leadNs / NsPerMs)));
    }
    void finish()
    {
        const qint64 remainingNs = endNs - clock.nsecsElapsed();
        if (remainingNs > 0)
            std::this_thread::sleep_for(std::chrono::nanoseconds(qMin(remainingNs, EndLeadNs + NsPerMs)));
        loop.quit();
    }
    // The step that begins next, or the end after the last one.
    void armStep(int next, int steps)
    {
        if (next >= steps)
            endAt(qint64(steps) * StepMs * NsPerMs);
        else
            armAt(qint64(next) * StepMs * NsPerMs);
    }
};

ReplyWait::ReplyWait(std::function<void(int)> beginStep)
    : m_beginStep(std::move(beginStep))
{
}

ReplyWait::~ReplyWait() = default;

int ReplyWait::run(int steps)
{
    if (steps <= 0 || m_loop)
        return 0;

    Loop state;
    state.timer.setSingleShot(true);
    state.timer.setTimerType(Qt::PreciseTimer);
    state.clock.start();

    int step = 0;
    QObject::connect(&state.timer, &QTimer::timeout, &state.loop, [&] {
        if (state.endNs >= 0) {
            state.finish();
            return;
        }
        ++step;
        if (m_beginStep)
            m_beginStep(step);
        state.armStep(step + 1, steps);
    });

    m_loop = &state;
    if (m_beginStep)
        m_beginStep(0);
    state.armStep(1, steps);
    state.loop.exec();
    m_loop = nullptr;
    return step + 1;
}

void ReplyWait::complete()
{
    if (!m_loop || m_loop->inTail)
        return;
    m_loop->inTail = true;
    m_loop->endAt(m_loop->clock.nsecsElapsed() + qint64(TailMs) * NsPerMs);
}

void ReplyWait::pause(int milliseconds)
{
    ReplyWait wait;
    wait.run(milliseconds / StepMs);
}
