#include "platform/WorkerRun.h"

namespace quillcast {

bool WorkerRun::Control::cancelled() const
{
    return m_state->cancelled.load(std::memory_order_relaxed);
}

void WorkerRun::Control::progress(qint64 done, qint64 total)
{
    State &s = *m_state;
    if (!s.progress)
        return;
    if (s.reportedOnce && s.sinceReport.elapsed() < progressIntervalMs && done != total)
        return;
    s.reportedOnce = true;
    s.sinceReport.start();
    s.mainLoop->post([state = m_state, done, total] {
        if (state->live)
            state->progress(done, total);
    });
}

WorkerRun::WorkerRun(MainLoop &mainLoop) : m_mainLoop(mainLoop) {}

WorkerRun::~WorkerRun()
{
    cancel();
    joinFinished(true);
}

void WorkerRun::cancel()
{
    if (!m_current)
        return;
    m_current->cancelled.store(true, std::memory_order_relaxed);
    m_current->live = false;
    m_current.reset();
}

void WorkerRun::joinFinished(bool all)
{
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (all || it->state->done.load(std::memory_order_acquire)) {
            it->thread.join();
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
}

void WorkerRun::startErased(std::function<void(Control &)> work, std::function<void()> finish,
                            ProgressHandler progress)
{
    cancel();
    joinFinished(false);
    auto state = std::make_shared<Control::State>();
    state->mainLoop = &m_mainLoop;
    state->progress = std::move(progress);
    m_current = state;
    // The delivery checks that this run is still the one wanted; the pointer
    // to this object is only used then, and this object cancels every run
    // before it goes.
    auto deliver = [this, state, finish = std::move(finish)] {
        if (!state->live)
            return;
        state->live = false;
        m_current.reset();
        joinFinished(false);
        finish();
    };
    std::thread thread([state, work = std::move(work), deliver = std::move(deliver)]() mutable {
        Control control(state);
        work(control);
        MainLoop &loop = *state->mainLoop;
        if (!state->cancelled.load(std::memory_order_relaxed))
            loop.post(std::move(deliver));
        state->done.store(true, std::memory_order_release);
    });
    m_workers.push_back({std::move(thread), std::move(state)});
}

} // namespace quillcast
