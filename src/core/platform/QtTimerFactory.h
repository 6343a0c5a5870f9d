#pragma once

#include "platform/TimerFactory.h"

namespace quillcast {

// Timers of the running Qt event loop, on the thread that creates them.
class QtTimerFactory final : public TimerFactory
{
public:
    std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout) override;
};

} // namespace quillcast
