#include "platform/ManualMainLoop.h"

namespace quillcast {

void ManualMainLoop::post(std::function<void()> work)
{
    const std::lock_guard lock(m_lock);
    m_pending.push_back(std::move(work));
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
