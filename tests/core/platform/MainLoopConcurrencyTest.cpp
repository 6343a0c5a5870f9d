#include "TestApplication.h"
#include "platform/ManualMainLoop.h"
#include "platform/QtMainLoop.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace quillcast {
namespace {

using quillcast::testing::drainEvents;
using quillcast::testing::processEventsUntil;

constexpr int kThreads = 8;
constexpr int kPostsPerThread = 400;

// Work from many threads at once, each piece carrying text built on its
// thread, while the loop's thread keeps turning: every piece runs once, on
// the loop's thread, in each thread's order, and sees its text whole. Run
// under ThreadSanitizer, a hand-off it cannot see is reported here.
TEST(QtMainLoopConcurrency, WorkFromManyThreadsRunsOnceInOrderOnTheLoopThread)
{
    quillcast::testing::application();
    const struct
    {
        const char *name;
        bool withContext;
    } rows[] = {
        {"context_object", true},
        {"application", false},
    };
    for (const auto &row : rows) {
        QObject context;
        QtMainLoop contextLoop(&context);
        MainLoop &loop = row.withContext ? static_cast<MainLoop &>(contextLoop) : QtMainLoop::instance();
        const std::thread::id loopThread = std::this_thread::get_id();

        std::vector<std::vector<int>> seen(kThreads);
        int ran = 0;
        int offThread = 0;
        int garbled = 0;
        std::atomic<int> started{0};
        std::vector<std::thread> posters;
        for (int t = 0; t < kThreads; ++t) {
            posters.emplace_back([&, t] {
                started.fetch_add(1);
                for (int i = 0; i < kPostsPerThread; ++i) {
                    auto text = std::make_shared<QString>(u"thread %1 piece %2"_s.arg(t).arg(i));
                    loop.post([&, t, i, text] {
                        if (std::this_thread::get_id() != loopThread)
                            ++offThread;
                        if (*text != u"thread %1 piece %2"_s.arg(t).arg(i))
                            ++garbled;
                        seen[t].push_back(i);
                        ++ran;
                    });
                }
            });
        }
        // The loop turns while the threads post, as it does in the application.
        EXPECT_TRUE(processEventsUntil([&] { return ran == kThreads * kPostsPerThread; }, 60000)) << row.name;
        for (std::thread &poster : posters)
            poster.join();
        drainEvents();

        EXPECT_EQ(ran, kThreads * kPostsPerThread) << row.name;
        EXPECT_EQ(offThread, 0) << row.name;
        EXPECT_EQ(garbled, 0) << row.name;
        std::vector<int> inOrder(kPostsPerThread);
        for (int i = 0; i < kPostsPerThread; ++i)
            inOrder[i] = i;
        for (int t = 0; t < kThreads; ++t)
            EXPECT_EQ(seen[t], inOrder) << row.name << " thread " << t;
    }
}

// Posted work keeps its place among the other events posted to the thread,
// whichever loop object of the context it came through.
TEST(QtMainLoopConcurrency, WorkKeepsItsPlaceAmongOtherPostedEvents)
{
    quillcast::testing::application();
    QObject context;
    QtMainLoop first(&context);
    QtMainLoop second(&context);
    QStringList order;

    first.post([&] { order.append(u"a"_s); });
    QMetaObject::invokeMethod(&context, [&] { order.append(u"b"_s); }, Qt::QueuedConnection);
    second.post([&] { order.append(u"c"_s); });
    std::thread([&] { first.post([&] { order.append(u"d"_s); }); }).join();
    QMetaObject::invokeMethod(&context, [&] { order.append(u"e"_s); }, Qt::QueuedConnection);
    first.post([&] {
        order.append(u"f"_s);
        // Posted while running: after what was already waiting.
        second.post([&] { order.append(u"h"_s); });
    });
    second.post([&] { order.append(u"g"_s); });
    EXPECT_TRUE(order.isEmpty()); // never run on the spot

    EXPECT_TRUE(processEventsUntil([&] { return order.size() == 8; }));
    EXPECT_EQ(order, (QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s, u"f"_s, u"g"_s, u"h"_s}));
}

// Work waiting for a context that is destroyed is dropped, and released with
// the context; the loop object itself may go first without losing any.
TEST(QtMainLoopConcurrency, WorkForADestroyedContextIsDroppedWithIt)
{
    quillcast::testing::application();
    const struct
    {
        const char *name;
        bool destroyContext;
        bool runs;
    } rows[] = {
        {"context_destroyed", true, false},
        {"only_loop_object_gone", false, true},
    };
    for (const auto &row : rows) {
        auto token = std::make_shared<int>(0);
        auto context = std::make_unique<QObject>();
        {
            QtMainLoop loop(context.get());
            std::thread([&] { loop.post([token] { ++*token; }); }).join();
        }
        EXPECT_EQ(token.use_count(), 2) << row.name; // waiting
        if (row.destroyContext)
            context.reset();
        EXPECT_EQ(token.use_count(), row.destroyContext ? 1 : 2) << row.name;
        drainEvents();
        EXPECT_EQ(*token, row.runs ? 1 : 0) << row.name;
        EXPECT_EQ(token.use_count(), 1) << row.name; // released once run
    }
}

// Work may destroy the context it runs for; what was still waiting for that
// context is dropped, and the loop goes on with other work.
TEST(QtMainLoopConcurrency, WorkThatDestroysItsContext)
{
    quillcast::testing::application();
    auto *context = new QObject;
    QObject other;
    QtMainLoop loop(context);
    QtMainLoop otherLoop(&other);
    QStringList order;

    loop.post([&] {
        order.append(u"destroying"_s);
        delete context;
    });
    loop.post([&] { order.append(u"after"_s); });
    otherLoop.post([&] { order.append(u"other"_s); });
    EXPECT_TRUE(processEventsUntil([&] { return order.contains(u"other"_s); }));
    drainEvents();
    EXPECT_EQ(order, (QStringList{u"destroying"_s, u"other"_s}));
}

// The tests' loop takes work from the SMTP client's workers while the test
// turns it: every piece runs once, on the turning thread, in each thread's
// order.
TEST(ManualMainLoopConcurrency, WorkPostedWhileItTurnsRunsOnceInOrder)
{
    ManualMainLoop loop;
    const std::thread::id turningThread = std::this_thread::get_id();
    std::vector<std::vector<int>> seen(kThreads);
    int ran = 0;
    int offThread = 0;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < kPostsPerThread; ++i) {
                loop.post([&, t, i] {
                    if (std::this_thread::get_id() != turningThread)
                        ++offThread;
                    seen[t].push_back(i);
                    ++ran;
                });
            }
        });
    }
    QElapsedTimer timer;
    timer.start();
    int counted = 0;
    while (ran < kThreads * kPostsPerThread && timer.elapsed() < 60000)
        counted += loop.runPending();
    for (std::thread &poster : posters)
        poster.join();
    counted += loop.runPending();

    EXPECT_EQ(ran, kThreads * kPostsPerThread);
    EXPECT_EQ(counted, ran);
    EXPECT_FALSE(loop.hasPending());
    EXPECT_EQ(offThread, 0);
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(seen[t].size(), size_t(kPostsPerThread)) << "thread " << t;
        for (int i = 0; i < kPostsPerThread; ++i)
            ASSERT_EQ(seen[t][i], i) << "thread " << t;
    }
}

} // namespace
} // namespace quillcast
