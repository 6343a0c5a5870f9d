#include "TestPrinters.h"
#include "util/Value.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <optional>
#include <thread>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

List numbers(int count)
{
    List::Items items;
    for (int i = 0; i < count; ++i)
        items.emplace_back(qint64(i));
    return List(std::move(items));
}

const Value *firstItem(const List &list)
{
    const Value *first = nullptr;
    list.read([&](const List::Items &items) { first = items.data(); });
    return first;
}

struct Edit
{
    const char *name;
    std::function<void(List &)> apply;
    List::Items after; // of [0, 1, 2]
};

} // namespace

// Every kind of change leaves a snapshot taken before it as it was, and the
// list as the change made it.
TEST(ListSnapshot, KeepsTheItemsOfItsMomentThroughEveryKindOfChange)
{
    const auto n = [](qint64 i) { return Value(i); };
    const Edit edits[] = {
        {"append", [](List &l) { l.append(Value(qint64(9))); }, {n(0), n(1), n(2), n(9)}},
        {"appendMany", [](List &l) { l.append(List::Items{Value(qint64(8))}); }, {n(0), n(1), n(2), n(8)}},
        {"insert", [](List &l) { l.insert(1, Value(qint64(9))); }, {n(0), n(9), n(1), n(2)}},
        {"set", [](List &l) { l.set(2, Value(qint64(9))); }, {n(0), n(1), n(9)}},
        {"removeAt", [](List &l) { l.removeAt(0); }, {n(1), n(2)}},
        {"removeAll", [](List &l) { EXPECT_EQ(l.removeAll(Value(qint64(1))), 1); }, {n(0), n(2)}},
        {"clear", [](List &l) { l.clear(); }, {}},
        {"setItems", [](List &l) { l.setItems({Value(qint64(7))}); }, {n(7)}},
        {"write", [](List &l) { l.write([](List::Items &items) { items.pop_back(); }); }, {n(0), n(1)}},
    };
    for (const Edit &edit : edits) {
        SCOPED_TRACE(edit.name);
        List list = numbers(3);
        const List::Snapshot before = list.snapshot();
        edit.apply(list);
        EXPECT_EQ(before.items(), numbers(3).items());
        EXPECT_EQ(list.items(), edit.after);
        // A second snapshot sees the change, and the first still does not.
        const List::Snapshot later = list.snapshot();
        EXPECT_EQ(later.items(), edit.after);
        EXPECT_EQ(before.items(), numbers(3).items());
    }
}

// A list is copied only while a snapshot holds its items: a million records
// must not be copied on every edit after every save.
TEST(ListSnapshot, CopiesOnlyWhileHeld)
{
    List list = numbers(1000);
    const Value *start = firstItem(list);
    list.set(0, Value(qint64(5)));
    EXPECT_EQ(firstItem(list), start) << "no snapshot: changed in place";

    std::optional<List::Snapshot> held = list.snapshot();
    list.set(0, Value(qint64(6)));
    const Value *copied = firstItem(list);
    EXPECT_NE(copied, start) << "the held items were changed";
    EXPECT_EQ(held->items().front(), Value(qint64(5)));
    list.set(1, Value(qint64(7)));
    EXPECT_EQ(firstItem(list), copied) << "the copy is the list's own: not copied again";

    // Moved and let go: the snapshot no longer holds anything.
    List::Snapshot moved = std::move(*held);
    held.reset();
    moved = List::Snapshot();
    list.set(2, Value(qint64(8)));
    EXPECT_EQ(firstItem(list), copied);
    EXPECT_TRUE(List().snapshot().items().empty());
}

// A save walks a snapshot on its thread and lets it go there while the main
// thread edits the list; every snapshot must be one whole state of the list.
TEST(ListSnapshot, ReadAndLetGoOnAnotherThreadWhileTheListChanges)
{
    List list(List::Items(64, Value(qint64(-1))));
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread saver([&] {
        while (!stop.load()) {
            const List::Snapshot s = list.snapshot();
            // Every edit below sets all items to one value.
            const List::Items &items = s.items();
            for (const Value &v : items) {
                if (v != items.front())
                    torn.fetch_add(1);
            }
        }
    });
    for (qint64 round = 0; round < 2000; ++round) {
        list.write([round](List::Items &items) {
            for (Value &v : items)
                v = Value(round);
        });
    }
    stop = true;
    saver.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(list.at(63), Value(qint64(1999)));
}
