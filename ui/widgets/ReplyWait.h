#pragma once

#include "ExchangeWaits.h"

#include <functional>

// The timed wait during which replies are handled: `steps` steps of StepMs
// each, on fixed deadlines counted from the start so that the whole wait
// lasts steps x StepMs however long the events take, and ends on that time,
// not on the event loop's next wake-up after it. A nested event loop
// runs meanwhile, so replies are received and the window keeps painting;
// nothing polls, and only the last two milliseconds or less are slept.
//
// `beginStep(i)` runs at the start of step i. complete() says that the reply
// the wait is for has come: the wait then ends TailMs after that moment,
// not after the step it fell in, since over a few hundred gateways the
// rest of each step would add up to seconds.
class ReplyWait
{
public:
    static constexpr int StepMs = ExchangeWait::PumpStepMs;
    static constexpr int TailMs = ExchangeWait::CompletionTailMs;

    explicit ReplyWait(std::function<void(int)> beginStep = {});
    ~ReplyWait();
    ReplyWait(const ReplyWait &) = delete;
    ReplyWait &operator=(const ReplyWait &) = delete;

    // Returns the number of steps begun. Does nothing for steps <= 0.
    int run(int steps);
    // Ends the running wait TailMs from now; no steps begin meanwhile. Only
    // the first call counts, and none outside run().
    void complete();

    // A plain wait of `milliseconds` that keeps the windows served.
    static void pause(int milliseconds);

private:
    struct Loop;
    std::function<void(int)> m_beginStep;
    Loop *m_loop = nullptr;
};
