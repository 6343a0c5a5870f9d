#pragma once

#include "platform/MainLoop.h"

#include <QElapsedTimer>
#include <QtGlobal>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace quillcast {

// Long work (reading a large file, building a million records, writing an
// export) on a thread of its own, so that the main event loop keeps turning.
//
// The work sees a Control: it asks it whether the run was cancelled, at
// points where stopping loses nothing, and tells it how far it has got. The
// progress reaches the main loop no more often than every progressInterval,
// and the result arrives there once, after the last progress report. A
// cancelled run delivers nothing, nor does a run whose WorkerRun has gone:
// whatever the work built is dropped on the worker.
//
// The work must take everything it reads by value (or by shared pointer); it
// must not reach back into objects of the main thread, which go on changing.
class WorkerRun
{
public:
    static constexpr int progressIntervalMs = 50;

    class Control
    {
    public:
        bool cancelled() const;
        // From the work: done of total units (total 0: not known yet). Cheap
        // enough to call for every row; reports are thinned out here.
        void progress(qint64 done, qint64 total);

    private:
        friend class WorkerRun;
        struct State;
        explicit Control(std::shared_ptr<State> state) : m_state(std::move(state)) {}
        std::shared_ptr<State> m_state;
    };

    // progress: on the main loop, with done and total as the work gave them.
    using ProgressHandler = std::function<void(qint64 done, qint64 total)>;

    explicit WorkerRun(MainLoop &mainLoop);
    // Cancels a run still going and waits for its thread.
    ~WorkerRun();
    WorkerRun(const WorkerRun &) = delete;
    WorkerRun &operator=(const WorkerRun &) = delete;

    // Starts work on a new thread; finish(result) then runs on the main loop
    // unless the run is cancelled first. A run still going is cancelled.
    template<typename T>
    void start(std::function<T(Control &)> work, std::function<void(T)> finish, ProgressHandler progress = {})
    {
        auto result = std::make_shared<std::optional<T>>();
        startErased([work = std::move(work), result](Control &control) { result->emplace(work(control)); },
                    [finish = std::move(finish), result] {
                        if (*result)
                            finish(std::move(**result));
                    },
                    std::move(progress));
    }

    // From the main thread: the run stops at the work's next check and
    // delivers nothing; at once, without waiting for the thread.
    void cancel();
    // A run was started and has neither delivered its result nor been cancelled.
    bool isRunning() const { return m_current != nullptr; }

private:
    void startErased(std::function<void(Control &)> work, std::function<void()> finish, ProgressHandler progress);
    void joinFinished(bool all);

    MainLoop &m_mainLoop;
    std::shared_ptr<Control::State> m_current; // main thread only
    struct Worker
    {
        std::thread thread;
        std::shared_ptr<Control::State> state;
    };
    std::vector<Worker> m_workers; // main thread only
};

struct WorkerRun::Control::State
{
    MainLoop *mainLoop = nullptr;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> done{false}; // the worker function has returned
    // Worker side only.
    QElapsedTimer sinceReport;
    bool reportedOnce = false;
    ProgressHandler progress; // called on the main loop only
    // Main thread only: the run has neither delivered nor been cancelled.
    bool live = true;
};

} // namespace quillcast
