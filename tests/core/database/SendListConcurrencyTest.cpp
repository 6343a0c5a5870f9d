#include "DatabaseTestData.h"
#include "TestPrinters.h"
#include "database/RecordChecks.h"
#include "database/SendListCommands.h"
#include "document/SendListRebuilder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace quillcast;
using namespace quillcast::dbtest;
using namespace Qt::StringLiterals;

namespace {

constexpr int kRounds = 25;
constexpr int kBatch = 200;

} // namespace

// The main thread edits the database and the exception list and asks for a
// rebuild after every round, while a reader (a view, the send run) looks at
// the send list and its views. Each round adds kBatch records that must be
// sent and kBatch that are excepted, so any list the reader sees must hold a
// whole number of batches and only sendable records: a half-built list fails.
TEST(SendListConcurrency, ViewsNeverSeeAHalfBuiltList)
{
    application();
    MyDocument doc{SystemClock::instance()};
    setUp(doc);
    std::atomic<bool> finished{false};
    std::atomic<int> broken{0};
    std::atomic<int> looks{0};

    std::thread reader([&] {
        while (!finished.load()) {
            const auto shown = doc.sendArrayShown().records();
            const List send = doc.sendArray();
            if (shown->size() % kBatch != 0 || send.size() % kBatch != 0)
                ++broken;
            for (const Dict &r : *shown) {
                if (r.snapshot().stringValue(u"3"_s).startsWith(u"no"_s))
                    ++broken;
            }
            ++looks;
        }
    });

    int applied = 0;
    for (int round = 0; round < kRounds; ++round) {
        List::Items fresh;
        for (int i = 0; i < kBatch; ++i) {
            fresh.emplace_back(record(round * kBatch + i, false, u"yes%1.%2@x.org"_s.arg(round).arg(i)));
            const QString excepted = u"no%1.%2@x.org"_s.arg(round).arg(i);
            fresh.emplace_back(record(round * kBatch + i, false, excepted));
            doc.exceptArray().append(Value(exceptRecord(i, excepted)));
        }
        doc.addressArray().append(std::move(fresh));
        doc.addressArrayDidChange();
        // Records change under the worker's feet too: every flag at once, as
        // the check commands do (one by one, each untick would look for
        // another ticked record, and the test would only measure that).
        RecordChecks::Records all;
        for (const Value &v : doc.addressArray().items())
            all.push_back(v.toDict());
        RecordChecks::setAll(all, u"2"_s, round % 2 == 0);
        doc.addresses().valuesChangedInBulk();
        SendListCommands(doc).updateTheSendArray([&] { ++applied; });
        QCoreApplication::processEvents();
    }
    const bool settled = processEventsUntil([&] { return !doc.sendListRebuilder().isPending(); });
    finished.store(true);
    reader.join();

    ASSERT_TRUE(settled);

    EXPECT_EQ(broken.load(), 0);
    EXPECT_GT(looks.load(), 0);
    EXPECT_EQ(applied, kRounds);
    EXPECT_EQ(doc.sendArray().size(), kRounds * kBatch);
}

// Closing a document while its rebuild runs: the worker is stopped and nothing
// reaches the document afterwards.
TEST(SendListConcurrency, ClosingTheDocumentDuringARebuild)
{
    application();
    for (int i = 0; i < 20; ++i) {
        bool called = false;
        {
            MyDocument doc{SystemClock::instance()};
            QList<Dict> records;
            for (int r = 0; r < 2000; ++r)
                records.append(record(r, false, u"r%1@x.org"_s.arg(r)));
            setUp(doc, records);
            SendListCommands(doc).updateTheSendArray([&] { called = true; });
        }
        QCoreApplication::processEvents();
        EXPECT_FALSE(called);
    }
}
