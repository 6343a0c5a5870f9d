#pragma once

#include "platform/TimerFactory.h"

#include <chrono>
#include <vector>

namespace quillcast::testing {

// Timers that fire only when the test moves time on with advance(). Must
// outlive the timers it made.
class ManualTimerFactory final : public TimerFactory
{
public:
    std::unique_ptr<Timer> createTimer(std::function<void()> onTimeout) override;

    // Moves time on by step, firing each timer whose moment comes, in the
    // order of their moments; a timer started by a handler fires too if its
    // moment is still within the step.
    void advance(std::chrono::milliseconds step);
    // How many timers are running.
    int activeCount() const;
    std::chrono::milliseconds now() const { return m_now; }

private:
    class ManualTimer;
    std::chrono::milliseconds m_now{0};
    std::vector<ManualTimer *> m_timers;
};

} // namespace quillcast::testing
