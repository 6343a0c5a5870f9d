#pragma once

#include "platform/MainLoop.h"

#include <deque>

namespace quillcast {

// A main loop that turns only when told to, for tests: posted work waits
// until runPending().
class ManualMainLoop final : public MainLoop
{
public:
    void post(std::function<void()> work) override;
    // Runs posted work, including work posted meanwhile, until none is left;
    // returns how many calls ran.
    int runPending();
    bool hasPending() const { return !m_pending.empty(); }

private:
    std::deque<std::function<void()>> m_pending;
};

} // namespace quillcast
