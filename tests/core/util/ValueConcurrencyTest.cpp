#include "TestPrinters.h"
#include "util/Value.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

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

// A flag flipped while nobody else holds the record is written in place; a
// reader's snapshot must still never see it change under its feet.
TEST(ValueConcurrency, HeldSnapshotNeverSeesAFlagFlip)
{
    Dict record{{u"2"_s, false}, {u"3"_s, u"a@x.org"_s}};
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};

    std::thread reader([&] {
        while (!stop.load()) {
            const Dict::Snapshot s = record.snapshot();
            const bool first = s.boolValue(u"2"_s);
            std::this_thread::yield();
            if (s.boolValue(u"2"_s) != first)
                torn.fetch_add(1);
        }
    });
    for (int i = 0; i < 20000; ++i)
        record.set(u"2"_s, i % 2 == 0);
    stop.store(true);
    reader.join();

    EXPECT_EQ(torn.load(), 0);
}

// Writers in place (a number), two writers that add keys, and a reader that
// keeps forcing copies, all on one record: every write lands.
TEST(ValueConcurrency, InPlaceAndCopyingWritersLoseNothing)
{
    Dict d{{u"n"_s, qint64(0)}};
    std::atomic<bool> stop{false};
    std::thread counter([&] {
        for (qint64 i = 1; i <= 5000; ++i)
            d.set(u"n"_s, i);
    });
    const auto adder = [&](const QString &prefix) {
        for (int i = 0; i < 300; ++i)
            d.set(prefix + QString::number(i), i);
    };
    std::thread adderA(adder, u"a"_s);
    std::thread adderB(adder, u"b"_s);
    std::thread reader([&] {
        while (!stop.load())
            (void)d.snapshot().intValue(u"n"_s);
    });
    counter.join();
    adderA.join();
    adderB.join();
    stop.store(true);
    reader.join();

    EXPECT_EQ(d.intValue(u"n"_s), 5000);
    EXPECT_EQ(d.size(), 601);
}

// A walk reads one flag or number of each record without a snapshot (the
// checked view of a million records) while the main thread ticks records in
// place, writes text over the flag and replaces whole versions: every read
// is one of the values written, never a freed or half-written one.
TEST(ValueConcurrency, OneValueReadAloneWhileWritersReplaceIt)
{
    // Made as records are read, each in one block with its first version.
    const Dict::KeySet keys(QStringList{u"1"_s, u"2"_s});
    std::vector<Dict> records;
    for (int i = 0; i < 64; ++i) {
        std::vector<Value> values{Value(i), Value(false)};
        records.push_back(Dict(keys, values));
    }
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};

    std::thread reader([&] {
        while (!stop.load()) {
            for (const Dict &record : records) {
                const qint64 n = record.intValue(u"2"_s);
                const bool flag = record.boolValue(u"2"_s);
                if (n < 0 || n > 1 || record.intValue(u"1"_s) < 0)
                    wrong.fetch_add(1);
                (void)flag;
            }
        }
    });

    for (int round = 0; round < 300; ++round) {
        for (Dict &record : records) {
            switch (round % 3) {
            case 0: record.set(u"2"_s, Value(round % 2 == 0)); break; // in place
            case 1: record.set(u"2"_s, Value(QString::number(round % 2))); break; // a new version
            default: record.replaceEntries({{u"1"_s, round}, {u"2"_s, Value(1)}}); break;
            }
        }
    }
    stop.store(true);
    reader.join();
    EXPECT_EQ(wrong.load(), 0);
}
