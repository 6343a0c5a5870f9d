#pragma once

#include "platform/Timer.h"

#include <functional>
#include <memory>

namespace quillcast {

// Makes the timers of the main loop, so that code that waits for time to pass
// can be stepped by tests instead of sleeping.
class TimerFactory
{
public:
    virtual ~TimerFactory() = default;
    // A stopped timer that calls onTimeout on the main thread when it fires.
    // The handler never runs after the timer is destroyed.
    virtual std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout) = 0;
};

} // namespace quillcast
