#include "ReplyWait.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

int ReplyWait::run(int steps, const std::function<void(int)> &beginStep,
                   const std::function<bool()> &finished)
{
    if (steps <= 0)
        return 0;

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QElapsedTimer clock;
    clock.start();

    int step = 0;
    bool inTail = false;
    qint64 deadline = StepMs;
    // Rounded up, so that no step ends before its deadline.
    const auto armFor = [&](qint64 at) {
        deadline = at;
        const qint64 remainingNs = deadline * 1000000 - clock.nsecsElapsed();
        timer.start(int(qMax<qint64>(0, (remainingNs + 999999) / 1000000)));
    };

    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        if (inTail) {
            loop.quit();
            return;
        }
        if (finished()) {
            inTail = true;
            armFor(deadline + TailMs);
            return;
        }
        if (++step >= steps) {
            loop.quit();
            return;
        }
        beginStep(step);
        armFor(qint64(step + 1) * StepMs);
    });

    beginStep(0);
    armFor(StepMs);
    loop.exec();
    return inTail ? step + 1 : step;
}
