#include "TestApplication.h"
#include "platform/ManualMainLoop.h"
#include "platform/QtMainLoop.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <numeric>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace quillcast {
namespace {

using quillcast::testing::drainEvents;
using quillcast::testing::processEventsUntil;

constexpr int kThreads = 8;
constexpr int kPostsPerThread = 400;

using TurnUntil = std::function<void(const std::function<bool()> &done)>;

// Posts kPostsPerThread pieces from each of kThreads threads, each piece
// carrying text built on its thread, while `turnUntil` turns the loop on this
// thread: every piece runs once, here, in its thread's order, and sees its
// text whole. Run under ThreadSanitizer, a hand-off it cannot see is reported.
void expectWorkFromManyThreadsRunsOnceInOrder(MainLoop &loop, const TurnUntil &turnUntil)
{
    const std::thread::id loopThread = std::this_thread::get_id();
    std::vector<std::vector<int>> seen(kThreads);
    int ran = 0;
    int offThread = 0;
    int garbled = 0;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < kPostsPerThread; ++i) {
                auto text = std::make_shared<QString>(u"thread %1 piece %2"_s.arg(t).arg(i));
                loop.post([&, t, i, text] {
                    offThread += std::this_thread::get_id() != loopThread;
                    garbled += *text != u"thread %1 piece %2"_s.arg(t).arg(i);
                    seen[t].push_back(i);
                    ++ran;
                });
            }
        });
    }
    // The loop turns while the threads post, as it does in the application.
    turnUntil([&] { return ran == kThreads * kPostsPerThread; });
    for (std::thread &poster : posters)
        poster.join();
    turnUntil([] { return true; });

    EXPECT_EQ(ran, kThreads * kPostsPerThread);
    EXPECT_EQ(offThread, 0);
    EXPECT_EQ(garbled, 0);
    std::vector<int> inOrder(kPostsPerThread);
    std::iota(inOrder.begin(), inOrder.end(), 0);
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(seen[t], inOrder) << "thread " << t;
}

TEST(QtMainLoopConcurrency, WorkFromManyThreadsRunsOnceInOrderOnTheLoopThread)
{
    quillcast::testing::application();
    const auto turnUntil = [](const std::function<bool()> &done) {
        EXPECT_TRUE(processEventsUntil(done, 60000));
        drainEvents();
    };
    QObject context;
    QtMainLoop contextLoop(&context);
    {
        SCOPED_TRACE("context object");
        expectWorkFromManyThreadsRunsOnceInOrder(contextLoop, turnUntil);
    }
    SCOPED_TRACE("application");
    expectWorkFromManyThreadsRunsOnceInOrder(QtMainLoop::instance(), turnUntil);
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
    const struct { const char *name; bool destroyContext; bool runs; } rows[] = {
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
// turns it, and counts every piece it ran.
TEST(ManualMainLoopConcurrency, WorkPostedWhileItTurnsRunsOnceInOrder)
{
    ManualMainLoop loop;
    int counted = 0;
    expectWorkFromManyThreadsRunsOnceInOrder(loop, [&](const std::function<bool()> &done) {
        QElapsedTimer timer;
        timer.start();
        do
            counted += loop.runPending();
        while (!done() && timer.elapsed() < 60000);
    });
    EXPECT_EQ(counted, kThreads * kPostsPerThread);
    EXPECT_FALSE(loop.hasPending());
}

} // namespace
} // namespace quillcast
