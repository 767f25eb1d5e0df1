#pragma once

#include "ExchangeWaits.h"

#include <functional>

// The timed wait during which replies are handled: `steps` steps of StepMs
// each, on fixed deadlines counted from the start so that the whole wait
// lasts steps x StepMs however long the events take. A nested event loop
// runs meanwhile, so replies are received and the window keeps painting;
// nothing sleeps and nothing polls.
//
// `beginStep(i)` runs at the start of step i; `finished()` is asked at the
// end of every step, and once it answers true the wait lasts a further
// TailMs and ends.
class ReplyWait
{
public:
    static constexpr int StepMs = ExchangeWait::PumpStepMs;
    static constexpr int TailMs = ExchangeWait::CompletionTailMs;

    // Returns the number of steps that ran. Does nothing for steps <= 0.
    static int run(int steps, const std::function<void(int)> &beginStep,
                   const std::function<bool()> &finished);
};
