#include "send/MessageBuilder.h"

#include <gtest/gtest.h>

#include <QTimeZone>

#include <thread>
#include <vector>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

// Messages are built on the send run's worker while the main thread builds
// previews: the first use of GMime may happen on any thread, and builds must
// not share anything unguarded.
TEST(MessageBuilderConcurrency, ThreadsBuildAtOnceFromAColdStart)
{
    constexpr int kThreads = 4;
    constexpr int kMessages = 25;
    std::vector<int> failures(kThreads, 0);
    std::vector<QByteArray> firstMessage(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &failures, &firstMessage] {
            for (int i = 0; i < kMessages; ++i) {
                MessageContent content;
                content.from = {u"Zoë"_s, u"zoe@example.com"_s};
                content.to = {{QString(), u"r%1@example.org, s%1@example.org"_s.arg(i)}};
                content.subject = u"Grüße %1/%2"_s.arg(t).arg(i);
                content.textBody = u"Grüße €\n"_s.repeated(20);
                content.htmlBody = u"<p>Grüße €</p>"_s;
                content.date = QDateTime(QDate(2024, 3, 5), QTime(9, 30), QTimeZone::utc());
                const Result<QByteArray> built = MessageBuilder::build(content);
                if (!built.ok() || !built.value().contains("Subject: "))
                    ++failures[size_t(t)];
                else if (i == 0)
                    firstMessage[size_t(t)] = built.value();
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(failures[size_t(t)], 0) << "thread " << t;
        EXPECT_TRUE(firstMessage[size_t(t)].contains("Content-Type: multipart/alternative")) << "thread " << t;
    }
}

} // namespace
