#include "platform/ManualMainLoop.h"
#include "platform/WorkerRun.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QList>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace quillcast;

namespace {

// Turns the loop until the run has delivered or was dropped.
void finish(WorkerRun &run, ManualMainLoop &loop)
{
    while (run.isRunning()) {
        loop.waitForPending(std::chrono::milliseconds(20));
        loop.runPending();
    }
    loop.runPending();
}

TEST(WorkerRun, ProgressIsThinnedOutButTheEndAlwaysArrivesBeforeTheResult)
{
    ManualMainLoop loop;
    WorkerRun run(loop);
    QList<std::pair<qint64, qint64>> reports;
    std::optional<int> result;
    bool resultAfterLastReport = false;
    constexpr qint64 total = 500'000;
    std::atomic<qint64> tookMs{0};
    run.start<int>(
        [&tookMs](WorkerRun::Control &control) {
            // 300 ms of reporting as fast as the work goes.
            QElapsedTimer clock;
            clock.start();
            qint64 done = 0;
            while (clock.elapsed() < 300) {
                control.progress(done, total);
                done = std::min(done + 1, total - 1);
            }
            control.progress(total, total);
            tookMs = clock.elapsed();
            return 42;
        },
        [&](int value) {
            result = value;
            resultAfterLastReport = !reports.isEmpty() && reports.last() == std::pair(total, total);
        },
        [&](qint64 done, qint64 of) { reports.append({done, of}); });
    finish(run, loop);

    EXPECT_EQ(result, 42);
    EXPECT_TRUE(resultAfterLastReport);
    ASSERT_FALSE(reports.isEmpty());
    EXPECT_EQ(reports.first().first, 0) << "the first report comes at once";
    // Countless calls, a report every 50 ms at most (plus the first and the last).
    EXPECT_GE(tookMs.load(), 300);
    EXPECT_LE(reports.size(), tookMs.load() / WorkerRun::progressIntervalMs + 3);
}

TEST(WorkerRun, ACancelledRunDeliversNothingAndTheWorkSeesIt)
{
    for (const bool beforeTheWorkBegins : {true, false}) {
        SCOPED_TRACE(beforeTheWorkBegins ? "at once" : "while working");
        ManualMainLoop loop;
        WorkerRun run(loop);
        std::atomic<bool> started{false};
        std::atomic<bool> sawCancel{false};
        int delivered = 0;
        int reported = 0;
        run.start<int>(
            [&](WorkerRun::Control &control) {
                started = true;
                while (!control.cancelled())
                    control.progress(1, 2);
                sawCancel = true;
                return 1;
            },
            [&](int) { ++delivered; }, [&](qint64, qint64) { ++reported; });
        while (!beforeTheWorkBegins && !started)
            std::this_thread::yield();
        run.cancel();
        EXPECT_FALSE(run.isRunning());
        while (!sawCancel)
            std::this_thread::yield();
        loop.runPending();
        EXPECT_EQ(delivered, 0);
        EXPECT_EQ(reported, 0) << "reports still queued are dropped too";
    }
}

TEST(WorkerRun, ANewRunReplacesTheOneAtWorkAndGoingAwayWaitsForTheWorker)
{
    ManualMainLoop loop;
    auto run = std::make_unique<WorkerRun>(loop);
    QList<int> delivered;
    std::atomic<bool> firstStopped{false};
    run->start<int>(
        [&](WorkerRun::Control &control) {
            while (!control.cancelled())
                std::this_thread::yield();
            firstStopped = true;
            return 1;
        },
        [&](int value) { delivered.append(value); });
    run->start<int>([](WorkerRun::Control &) { return 2; }, [&](int value) { delivered.append(value); });
    finish(*run, loop);
    EXPECT_EQ(delivered, QList<int>{2});

    std::atomic<bool> lastStopped{false};
    run->start<int>(
        [&](WorkerRun::Control &control) {
            while (!control.cancelled())
                std::this_thread::yield();
            lastStopped = true;
            return 3;
        },
        [&](int value) { delivered.append(value); });
    run.reset();
    EXPECT_TRUE(firstStopped);
    EXPECT_TRUE(lastStopped) << "the destructor cancelled the run and waited for it";
    loop.runPending();
    EXPECT_EQ(delivered, QList<int>{2});
}

} // namespace
