#pragma once

#include "FakeGatewaySocketOwner.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

// The main window's wait, as the socket experiences it: the event loop runs
// for `milliseconds`, and a completion that arrives meanwhile ends it 200 ms
// later. Returns the time the wait took.
inline qint64 waitForReplies(FakeGatewaySocketOwner &owner, int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer fullWait;
    fullWait.setSingleShot(true);
    fullWait.setTimerType(Qt::PreciseTimer);
    QObject::connect(&fullWait, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer afterCompletion;
    afterCompletion.setSingleShot(true);
    afterCompletion.setTimerType(Qt::PreciseTimer);
    QObject::connect(&afterCompletion, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&owner, &FakeGatewaySocketOwner::completed, &loop, [&afterCompletion] {
        if (!afterCompletion.isActive())
            afterCompletion.start(200);
    });
    fullWait.start(milliseconds);
    loop.exec();
    return clock.elapsed();
}
