#include "platform/ManualMainLoop.h"
#include "document/SendProgress.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;

namespace quillcast {
namespace {

constexpr qint64 kRecords = 3000;

// A run's worker publishes its progress while the window reads it: every
// reading pairs the position with the lines of that same record, and the
// position never goes back.
TEST(SendProgress, WindowReadsOneRecordsStateWhileTheWorkerWritesIt)
{
    ManualMainLoop loop;
    SendProgress progress(loop);
    std::atomic<bool> done{false};

    std::thread worker([&] {
        progress.tryStart();
        progress.begin(kRecords);
        for (qint64 i = 0; i < kRecords; ++i)
            progress.recordStarted(i, 2);
        progress.done();
        done.store(true);
    });

    int mismatched = 0;
    int backwards = 0;
    qint64 lastPos = 0;
    while (!done.load()) {
        const SendProgress::Snapshot now = progress.snapshot();
        if (now.running && !now.action.isEmpty()
            && (now.action != SendProgress::progressString(now.position, now.length)
                || now.estimate != SendProgress::estimationString(2 * (now.length - now.position))))
            ++mismatched;
        if (now.position < lastPos)
            ++backwards;
        lastPos = now.position;
    }
    worker.join();

    EXPECT_EQ(mismatched, 0);
    EXPECT_EQ(backwards, 0);
    const SendProgress::Snapshot last = progress.snapshot();
    EXPECT_EQ(last.position, kRecords - 1);
    EXPECT_EQ(last.action, u"Done. 3000 sent."_s);
    EXPECT_EQ(last.estimate, QString());
    EXPECT_FALSE(last.running);
    loop.runPending();
}

// Changes are announced only when the main loop turns, each with the state
// it made (not the latest one), in order, and the end once more.
TEST(SendProgress, AnnouncesEveryChangeInOrderOnTheMainLoop)
{
    ManualMainLoop loop;
    SendProgress progress(loop);
    QStringList heard;
    QObject::connect(&progress, &SendProgress::changed, [&](const SendProgress::Snapshot &now) {
        heard.append(u"%1 %2/%3 %4 | %5"_s.arg(now.running ? u"run"_s : u"idle"_s)
                         .arg(now.position)
                         .arg(now.length)
                         .arg(now.action, now.estimate));
    });
    QObject::connect(&progress, &SendProgress::finished, [&] { heard.append(u"finished"_s); });

    std::thread worker([&] {
        progress.tryStart();
        progress.begin(3);
        progress.recordStarted(0, 1);
        progress.recordStarted(1, 1);
        progress.cancelledAt(2);
    });
    worker.join();
    EXPECT_TRUE(heard.isEmpty());
    loop.runPending();

    EXPECT_EQ(heard, QStringList({
                         u"run 0/0  | "_s,
                         u"run 0/3  | "_s,
                         u"run 0/3 Preparing email: 1 of 3 (2 remaining) | Completation in about 00:00:03 (hh:mm:ss)"_s,
                         u"run 1/3 Preparing email: 2 of 3 (1 remaining) | Completation in about 00:00:02 (hh:mm:ss)"_s,
                         u"idle 1/3 Cancelled at: 3 of 3 (2 sent, 1 unsent) | "_s,
                         u"finished"_s,
                     }));
}

// One run at a time; a start clears a cancel left from before; the
// estimate follows a new pause only while a run is active.
TEST(SendProgress, StartCancelAndNewPause)
{
    ManualMainLoop loop;
    SendProgress progress(loop);

    progress.recalculateEstimation(5);
    EXPECT_EQ(progress.snapshot().estimate, QString());

    progress.requestCancel();
    ASSERT_TRUE(progress.tryStart());
    EXPECT_FALSE(progress.cancelRequested());
    EXPECT_FALSE(progress.tryStart());
    EXPECT_TRUE(progress.isRunning());

    progress.begin(10);
    progress.recordStarted(7, 1);
    progress.recalculateEstimation(4);
    EXPECT_EQ(progress.snapshot().estimate, u"Completation in about 00:00:12 (hh:mm:ss)"_s);

    progress.requestCancel();
    EXPECT_TRUE(progress.cancelRequested());
    progress.done();
    EXPECT_FALSE(progress.isRunning());
    EXPECT_TRUE(progress.tryStart());
    loop.runPending();
}

} // namespace
} // namespace quillcast
