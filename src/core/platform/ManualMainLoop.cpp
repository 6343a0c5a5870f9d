#include "platform/ManualMainLoop.h"

namespace quillcast {

void ManualMainLoop::post(std::function<void()> work)
{
    m_pending.push_back(std::move(work));
}

int ManualMainLoop::runPending()
{
    int ran = 0;
    while (!m_pending.empty()) {
        std::function<void()> work = std::move(m_pending.front());
        m_pending.pop_front();
        work();
        ++ran;
    }
    return ran;
}

} // namespace quillcast
