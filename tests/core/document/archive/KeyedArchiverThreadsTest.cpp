// The archive written on two threads against the same archive written on
// one, and what an edit made on another thread during a save does.
#include "TestPrinters.h"
#include "document/archive/ArchiveOutput.h"
#include "document/archive/KeyedArchiver.h"
#include "document/archive/KeyedUnarchiver.h"
#include "util/Value.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>

#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

QDateTime utc(qint64 msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
}

// Records with every kind of value, some repeated, some absent.
Dict record(int i)
{
    Dict::Entries e;
    e.emplace_back(u"1"_s, qint64(i + 1));
    e.emplace_back(u"2"_s, i % 3 == 0);
    e.emplace_back(u"3"_s, u"person%1@example.org"_s.arg(i));
    e.emplace_back(u"4"_s, i % 5 == 0 ? u"Élodie"_s : u"Ann"_s);
    if (i % 7 != 0)
        e.emplace_back(u"5"_s, i % 11 == 0 ? QString() : u"$null"_s);
    e.emplace_back(u"6"_s, qint64(i % 13)); // numbers met again and again
    e.emplace_back(u"7"_s, i % 17 == 0 ? Value(0.5 * i) : Value(utc(1700000000000 + i)));
    if (i % 19 == 0)
        e.emplace_back(u"8"_s, List({Value(u"nested"_s), Value(i), Value(QByteArray("\0\1", 2))}));
    if (i % 23 == 0)
        e.emplace_back(u"9"_s, QString(u"a\0b"_s));
    return Dict(std::move(e));
}

List::Items records(int count)
{
    List::Items items;
    for (int i = 0; i < count; ++i)
        items.emplace_back(record(i));
    return items;
}

// Records with their own number and texts, and nothing else.
List::Items importedRecords(int first, int count)
{
    List::Items items;
    for (int i = first; i < first + count; ++i) {
        items.emplace_back(Dict{{u"1"_s, qint64(i + 1)},
                                {u"3"_s, u"person%1@example.org"_s.arg(i)},
                                {u"4"_s, i % 5 == 0 ? u"Élodie"_s : u"Ann"_s},
                                {u"7"_s, u"%1"_s.arg(qint64(i) * 7919 % 1000000, 6, 10, QChar(u'0'))}});
    }
    return items;
}

Dict mailing(List addresses, List others = List())
{
    return Dict{{u"addressArray"_s, addresses}, {u"sendArray"_s, others}, {u"appversion"_s, quint64(20800)}};
}

struct GraphRow { const char *name; std::function<Dict()> make; };

const GraphRow graphs[] = {
    {"records", [] { return mailing(List(records(10000))); }},
    {"recordsSharedWithASecondList",
     [] {
         const List::Items items = records(10000);
         List::Items some(items.begin() + 2500, items.begin() + 7500);
         return mailing(List(items), List(some));
     }},
    {"recordsRepeatedAcrossTheHalves",
     [] {
         List::Items items = records(5000);
         const List::Items again(items.begin(), items.end());
         items.insert(items.end(), again.rbegin(), again.rend());
         return mailing(List(items));
     }},
    {"scalarsInTheList",
     [] {
         List::Items items;
         for (int i = 0; i < 20000; ++i) {
             switch (i % 6) {
             case 0: items.emplace_back(i % 500); break;
             case 1: items.emplace_back(u"text %1"_s.arg(i % 300)); break;
             case 2: items.emplace_back(u"$null"_s); break;
             case 3: items.emplace_back(); break;
             case 4: items.emplace_back(1.0 / (i % 40 + 1)); break;
             default: items.emplace_back(utc(qint64(i) * 1000)); break;
             }
         }
         return mailing(List(items));
     }},
    {"longListInsideARecord",
     [] { return Dict{{u"outer"_s, Dict{{u"inner"_s, List(records(9000))}}}, {u"after"_s, List(records(9000))}}; }},
    // As an import makes them: every record's own objects are new, so the
    // halves can be counted apart and joined.
    {"importedRecords", [] { return mailing(List(importedRecords(0, 10000))); }},
    {"importedRecordsSharedWithALaterList",
     [] {
         const List::Items items = importedRecords(0, 10000);
         List::Items some(items.begin() + 2500, items.begin() + 7500);
         some.emplace_back(Dict{{u"1"_s, qint64(5)}, {u"3"_s, u"new after the list"_s}});
         return mailing(List(items), List(some));
     }},
    // Objects numbered once that only the second half meets (keys, classes,
    // shared values), or that both halves meet after the first record.
    {"sharedObjectsMetFirstInTheSecondHalf",
     [] {
         List::Items items = importedRecords(0, 10000);
         for (size_t i = 7000; i < items.size(); i += 101) {
             Dict d = items[i].toDict();
             d.set(u"late"_s, Value(utc(1700000000000)));
             d.set(u"flag"_s, Value(true));
             d.set(u"empty"_s, Value(QString(u""_s)));
             d.set(u"none"_s, Value(u"$null"_s));
             d.set(u"ratio"_s, Value(0.25));
             d.set(u"0"_s, Value(qint64(-5)));
         }
         return mailing(List(items));
     }},
    {"keyAndNumberMetByBothHalvesAfterTheFirstRecord",
     [] {
         List::Items items = importedRecords(0, 10000);
         for (const size_t i : {10, 9000}) {
             items[i].toDict().set(u"note"_s, Value(i == 10 ? u"a"_s : u"b"_s));
             items[i].toDict().set(u"extra"_s, Value(qint64(777777777)));
         }
         return mailing(List(items));
     }},
    {"secondHalfNumberedBelowTheFirst",
     [] {
         List::Items items = importedRecords(20000, 5000);
         const List::Items lower = importedRecords(0, 5000);
         items.insert(items.end(), lower.begin(), lower.end());
         return mailing(List(items));
     }},
    {"recordsMetBeforeTheList",
     [] {
         const List::Items items = importedRecords(0, 10000);
         List::Items few(items.begin() + 9000, items.begin() + 9010);
         return Dict{{u"a"_s, List(few)}, {u"b"_s, List(items)}};
     }},
    // Items referred to by the list itself, numbered apart with narrower
    // numbers than they end up with.
    {"textsAsTheListsOwnItems",
     [] {
         List::Items items;
         for (int i = 0; i < 70000; ++i)
             items.emplace_back(u"entry %1"_s.arg(i));
         return mailing(List(items));
     }},
    {"justTooShortToSplit", [] { return mailing(List(records(8191))); }},
    {"justLongEnoughToSplit", [] { return mailing(List(records(8192))); }},
};

TEST(TwoThreads, WriteTheBytesOfOne)
{
    for (const GraphRow &graph : graphs) {
        SCOPED_TRACE(graph.name);
        const Value root(graph.make());
        const Result<QByteArray> one = KeyedArchiver::archive(root, 1);
        const Result<QByteArray> two = KeyedArchiver::archive(root, 2);
        ASSERT_TRUE(one.ok()) << one.error().toStdString();
        ASSERT_TRUE(two.ok()) << two.error().toStdString();
        EXPECT_TRUE(one.value() == two.value());

        const Result<Value> back = KeyedUnarchiver::unarchive(two.value());
        ASSERT_TRUE(back.ok()) << back.error().toStdString();
        EXPECT_EQ(KeyedArchiver::archive(back.value(), 2).value(), two.value()) << "a re-save is the same bytes";
    }
}

// The bytes the archiver wrote before it was split in two walks, for the
// graph of 20,000 records: the stored form must not move.
TEST(TwoThreads, WriteWhatTheSingleWalkWrote)
{
    const Value root(mailing(List(records(20000))));
    const QByteArray bytes = KeyedArchiver::archive(root, 2).value();
    EXPECT_EQ(bytes.size(), 5528814);
    EXPECT_EQ(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex(),
              "105e455bb9ad669aac5c611b26afc58edad67024d011d8cf26c6c3aebac2477c");
}

// An output that takes a number of bytes and then refuses, from whichever
// thread comes to it, and keeps where each piece it took went.
class FullOutput final : public ArchiveOutput
{
public:
    explicit FullOutput(quint64 room = quint64(1) << 40, bool opens = true) : m_room(room), m_opens(opens) {}
    bool begin(quint64 size) override
    {
        bytes = QByteArray(qsizetype(size), '\0');
        return m_opens;
    }
    bool writeAt(quint64 offset, const char *data, size_t size) override
    {
        if (m_taken.fetch_add(size) + size > m_room)
            return false;
        std::memcpy(bytes.data() + offset, data, size);
        const std::lock_guard locked(m_lock);
        pieces.emplace_back(offset, size);
        return true;
    }
    QByteArray bytes;
    std::vector<std::pair<quint64, size_t>> pieces;

private:
    const quint64 m_room;
    const bool m_opens;
    std::atomic<quint64> m_taken{0};
    std::mutex m_lock;
};

TEST(TwoThreads, AnOutputThatFailsFailsTheArchive)
{
    const Value root(graphs[0].make());
    struct Row
    {
        const char *name;
        quint64 room;
        bool opens;
    } rows[] = {{"refusedAtTheStart", 1 << 30, false}, {"fullAtOnce", 0, true}, {"fullHalfWay", 1 << 20, true}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        FullOutput output(row.room, row.opens);
        const Status status = KeyedArchiver::archive(root, output, 2);
        ASSERT_FALSE(status.ok());
        EXPECT_EQ(status.error(), KeyedArchiver::outputFailure());
    }
    FullOutput roomy(1 << 30);
    ASSERT_TRUE(KeyedArchiver::archive(root, roomy, 2).ok());
    EXPECT_TRUE(roomy.bytes == KeyedArchiver::archive(root, 1).value());
}

// Long pieces go out as whole stretches of the file at multiples of their
// size (2 MiB, a huge page's, in a large archive), so that the system can
// cache it in pages of that size: each starts or ends at such a multiple but
// the last that each walk writes of each part of the archive (the texts, the
// containers, $objects, the offsets).
TEST(TwoThreads, WriteWholeAlignedStretches)
{
    const struct Row
    {
        const char *name;
        int records;
        int threads;
        quint64 piece;
    } rows[] = {{"small, one walk", 30000, 1, 256 * 1024},
                {"small, two walks", 30000, 2, 256 * 1024},
                {"large, two walks", 180000, 2, 2 * 1024 * 1024}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const Value root(mailing(List(importedRecords(0, row.records))));
        FullOutput output;
        ASSERT_TRUE(KeyedArchiver::archive(root, output, row.threads).ok());
        int whole = 0;
        int adrift = 0;
        for (const auto &[offset, size] : output.pieces) {
            if (size < row.piece / 4)
                continue; // a gap filled in, the header, the trailer
            whole += offset % row.piece == 0 && size == row.piece;
            adrift += offset % row.piece != 0 && (offset + size) % row.piece != 0;
        }
        EXPECT_LE(adrift, 4 * row.threads);
        const qsizetype stretches = output.bytes.size() / qsizetype(row.piece);
        EXPECT_GE(whole, stretches / 3) << "of " << stretches;
        // Every byte where the one walk in memory puts it (the large one's
        // bytes are compared so elsewhere).
        if (row.piece < 1024 * 1024) {
            EXPECT_TRUE(output.bytes == KeyedArchiver::archive(root, 1).value());
        }
    }
}

// The archive is made in two walks; records edited on another thread between
// them (values changing size, keys coming and going) must not make the walks
// disagree: every save comes out whole, each record as it was at some moment.
// (Records of every kind, whose halves are counted one after the other, and
// imported ones, whose halves are counted on two threads.)
TEST(EditsDuringTheSave, NeverDamageTheArchive)
{
    const std::pair<const char *, List::Items> kinds[] = {{"of every kind", records(10000)},
                                                           {"imported", importedRecords(0, 10000)}};
    for (const auto &[name, kind] : kinds) {
        SCOPED_TRACE(name);
        List::Items items = kind;
        const Dict root = mailing(List(items));
        std::atomic<bool> stop{false};
        std::thread editor([&] {
            for (int round = 0; !stop; ++round) {
                for (size_t i = 0; i < items.size() && !stop; i += 97) {
                    Dict d = items[i].toDict();
                    if (round % 2 == 0) {
                        d.set(u"3"_s, Value(u"a much longer address than before, ünïcode@example.org"_s));
                        d.set(u"10"_s, Value(qint64(round) * 1000003));
                    } else {
                        d.set(u"3"_s, Value(u"x@y.z"_s));
                        d.remove(u"10"_s);
                    }
                }
            }
        });
        for (int save = 0; save < 2; ++save) {
            const Result<QByteArray> bytes = KeyedArchiver::archive(Value(root), 2);
            ASSERT_TRUE(bytes.ok()) << bytes.error().toStdString();
            const Result<Value> back = KeyedUnarchiver::unarchive(bytes.value());
            ASSERT_TRUE(back.ok()) << back.error().toStdString();
            const List::Items saved = back.value().toDict().value(u"addressArray"_s).toList().items();
            ASSERT_EQ(saved.size(), items.size());
            for (size_t i = 0; i < saved.size(); i += 97) {
                const QString address = saved[i].toDict().stringValue(u"3"_s);
                EXPECT_TRUE(address == u"x@y.z"_s || address.startsWith(u"a much longer"_s)
                            || address == u"person%1@example.org"_s.arg(i))
                    << address.toStdString();
            }
        }
        stop = true;
        editor.join();
    }
}

} // namespace
