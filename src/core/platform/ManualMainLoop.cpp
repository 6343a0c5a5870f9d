#include "platform/ManualMainLoop.h"

#include <algorithm>
#include <thread>

namespace quillcast {

void ManualMainLoop::post(std::function<void()> work)
{
    const std::lock_guard lock(m_lock);
    m_pending.push_back(std::move(work));
}

bool ManualMainLoop::waitForPending(std::chrono::milliseconds timeout)
{
    // Polled in short naps rather than waited for on a condition variable:
    // ThreadSanitizer loses track of the lock across libstdc++'s timed
    // waits, and a command line waiting on a worker loses nothing by it.
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (hasPending())
            return true;
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero())
            return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(1)));
    }
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
