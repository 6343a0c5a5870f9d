#pragma once

#include "platform/MainLoop.h"

#include <chrono>
#include <deque>
#include <mutex>

namespace quillcast {

// A main loop that turns only when told to, for tests: posted work waits
// until runPending(). Work may be posted from any thread, as from the
// workers of the SMTP client.
class ManualMainLoop final : public MainLoop
{
public:
    void post(std::function<void()> work) override;
    // Runs posted work, including work posted meanwhile, until none is left;
    // returns how many calls ran.
    int runPending();
    bool hasPending() const;
    // Waits until work is posted (or is there already), at most timeout;
    // whether there is work. For a command line waiting on a worker.
    bool waitForPending(std::chrono::milliseconds timeout);

private:
    mutable std::mutex m_lock;
    std::deque<std::function<void()>> m_pending; // guarded by m_lock
};

} // namespace quillcast
