#include "TestPrinters.h"
#include "util/Value.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace quillcast;
using namespace Qt::StringLiterals;

// A worker reads records while the main thread edits them: every read must see
// one whole version of a record (both fields written by the same edit).
TEST(ValueConcurrency, ReaderSeesWholeVersionsWhileWriterEdits)
{
    Dict record{{u"3"_s, u"0"_s}, {u"4"_s, u"0"_s}};
    List list({Value(record)});
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};

    std::thread reader([&] {
        while (!stop.load()) {
            list.read([&](const List::Items &items) {
                const Dict::Snapshot s = items.front().toDict().snapshot();
                if (s.stringValue(u"3"_s) != s.stringValue(u"4"_s))
                    torn.fetch_add(1);
            });
        }
    });

    for (int i = 1; i <= 20000; ++i) {
        const QString n = QString::number(i);
        record.replaceEntries({{u"3"_s, n}, {u"4"_s, n}});
        if (i % 1000 == 0)
            list.append(Value(Dict{{u"3"_s, n}}));
    }
    stop.store(true);
    reader.join();

    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(list.size(), 21);
}

TEST(ValueConcurrency, ConcurrentSettersDoNotLoseKeys)
{
    Dict d;
    std::thread a([&] {
        for (int i = 0; i < 500; ++i)
            d.set(QStringLiteral("a%1").arg(i), i);
    });
    std::thread b([&] {
        for (int i = 0; i < 500; ++i)
            d.set(QStringLiteral("b%1").arg(i), i);
    });
    a.join();
    b.join();
    EXPECT_EQ(d.size(), 1000);
}
