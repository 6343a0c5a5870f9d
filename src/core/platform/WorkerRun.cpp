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
    {
        const std::lock_guard lock(m_lock);
        m_stopping = true;
        // Runs that have not begun are dropped; the one at work stops at its
        // next check, as it was cancelled.
        m_jobs.clear();
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void WorkerRun::cancel()
{
    if (!m_current)
        return;
    m_current->cancelled.store(true, std::memory_order_relaxed);
    m_current->live = false;
    m_current.reset();
}

void WorkerRun::serve()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_lock);
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_stopping)
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}

void WorkerRun::startErased(std::function<void(Control &)> work, std::function<void()> finish,
                            ProgressHandler progress)
{
    cancel();
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
        finish();
    };
    auto job = [state, work = std::move(work), deliver = std::move(deliver)]() mutable {
        if (state->cancelled.load(std::memory_order_relaxed))
            return;
        Control control(state);
        work(control);
        if (!state->cancelled.load(std::memory_order_relaxed))
            state->mainLoop->post(std::move(deliver));
    };
    {
        const std::lock_guard lock(m_lock);
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_all();
    if (!m_thread.joinable())
        m_thread = std::thread([this] { serve(); });
}

} // namespace quillcast
