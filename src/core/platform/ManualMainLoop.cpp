#include "platform/ManualMainLoop.h"

namespace quillcast {

void ManualMainLoop::post(std::function<void()> work)
{
    {
        const std::lock_guard lock(m_lock);
        m_pending.push_back(std::move(work));
    }
    m_posted.notify_all();
}

bool ManualMainLoop::waitForPending(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_lock);
    return m_posted.wait_for(lock, timeout, [this] { return !m_pending.empty(); });
}

int ManualMainLoop::runPending()
{
    int ran = 0;
    for (;;) {
        std::function<void()> work;
        {
            const std::lock_guard lock(m_lock);
            if (m_pending.empty())
                return ran;
            work = std::move(m_pending.front());
            m_pending.pop_front();
        }
        // Outside the lock: work may post more.
        work();
        ++ran;
    }
}

bool ManualMainLoop::hasPending() const
{
    const std::lock_guard lock(m_lock);
    return !m_pending.empty();
}

} // namespace quillcast
