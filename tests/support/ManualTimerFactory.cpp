#include "ManualTimerFactory.h"

#include <algorithm>
#include <utility>

namespace quillcast::testing {

class ManualTimerFactory::ManualTimer final : public Timer
{
public:
    ManualTimer(ManualTimerFactory &factory, std::function<void()> onTimeout)
        : m_factory(factory), m_onTimeout(std::move(onTimeout))
    {
        m_factory.m_timers.push_back(this);
    }
    ~ManualTimer() override { std::erase(m_factory.m_timers, this); }

    void start(std::chrono::milliseconds interval) override
    {
        m_deadline = m_factory.m_now + interval;
        m_active = true;
    }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }

    std::chrono::milliseconds deadline() const { return m_deadline; }
    void fire()
    {
        m_active = false;
        m_onTimeout();
    }

private:
    ManualTimerFactory &m_factory;
    std::function<void()> m_onTimeout;
    std::chrono::milliseconds m_deadline{0};
    bool m_active = false;
};

std::unique_ptr<Timer> ManualTimerFactory::createTimer(std::function<void()> onTimeout)
{
    return std::make_unique<ManualTimer>(*this, std::move(onTimeout));
}

void ManualTimerFactory::advance(std::chrono::milliseconds step)
{
    const std::chrono::milliseconds end = m_now + step;
    for (;;) {
        ManualTimer *next = nullptr;
        for (ManualTimer *timer : m_timers) {
            if (timer->isActive() && timer->deadline() <= end && (!next || timer->deadline() < next->deadline()))
                next = timer;
        }
        if (!next)
            break;
        m_now = next->deadline();
        next->fire();
    }
    m_now = end;
}

int ManualTimerFactory::activeCount() const
{
    return int(std::count_if(m_timers.begin(), m_timers.end(), [](const ManualTimer *t) { return t->isActive(); }));
}

} // namespace quillcast::testing
