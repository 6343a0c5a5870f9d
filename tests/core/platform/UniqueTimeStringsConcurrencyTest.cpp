#include "platform/FixedClock.h"
#include "platform/UniqueTimeStrings.h"

#include <gtest/gtest.h>

#include <QSet>
#include <QStringList>

#include <thread>
#include <vector>

using namespace quillcast;

namespace {

// Serial strings stay unique while several threads draw them and the clock
// moves on under them.
TEST(UniqueTimeStringsConcurrency, SerialStringsStayUniqueAcrossThreads)
{
    FixedClock clock(QDateTime(QDate(2026, 12, 5), QTime(6, 59, 3), QTimeZone::utc()));
    constexpr int threadCount = 4;
    constexpr int callsPerThread = 500;
    std::vector<QStringList> results(threadCount);
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < callsPerThread; ++i) {
                results[t].append(UniqueTimeStrings::uniqueTimeSerialString(clock));
                if (t == 0 && i % 50 == 0)
                    clock.advance(1000);
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();

    QSet<QString> seen;
    for (const QStringList &list : results) {
        for (const QString &s : list)
            seen.insert(s);
    }
    EXPECT_EQ(seen.size(), threadCount * callsPerThread);
}

} // namespace
