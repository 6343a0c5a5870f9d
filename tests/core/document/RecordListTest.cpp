// The record lists as a table over them sees them: one row signal per record
// added, removed or edited, the views following those rows, and a record's
// row found by identity.
#include "DocumentTestData.h"
#include "TestPrinters.h"
#include "document/ArrangedView.h"
#include "document/RecordList.h"
#include "document/RowIndex.h"

#include <gtest/gtest.h>

#include <QMetaEnum>

#include <functional>
#include <vector>

using namespace quillcast;
using namespace quillcast::testdata;
using namespace Qt::StringLiterals;

namespace {

// Every signal of one list, in order, as text: "inserted Shown 2-2".
class SignalLog
{
public:
    explicit SignalLog(const RecordList &list)
    {
        QObject::connect(&list, &RecordList::rowsInserted, [this](RecordList::Part p, qsizetype f, qsizetype l) {
            lines.append(u"inserted %1 %2-%3"_s.arg(name(p)).arg(f).arg(l));
        });
        QObject::connect(&list, &RecordList::rowsRemoved, [this](RecordList::Part p, qsizetype f, qsizetype l) {
            lines.append(u"removed %1 %2-%3"_s.arg(name(p)).arg(f).arg(l));
        });
        QObject::connect(&list, &RecordList::rowChanged, [this](RecordList::Part p, qsizetype row, const QString &key) {
            lines.append(u"changed %1 %2 %3"_s.arg(name(p)).arg(row).arg(key));
        });
        QObject::connect(&list, &RecordList::rearranged,
                         [this](RecordList::Part p) { lines.append(u"rearranged %1"_s.arg(name(p))); });
    }
    QStringList take() { return std::exchange(lines, {}); }

private:
    static QString name(RecordList::Part p)
    {
        return QString::fromLatin1(QMetaEnum::fromType<RecordList::Part>().valueToKey(int(p)));
    }
    QStringList lines;
};

// Three records, two of them shown by the search "bonn".
void setUpThreeRecords(MyDocument &doc)
{
    setUpWithUserKeys(doc);
    doc.setAddressArray(List({Value(record(1, false, u"ann@bonn.de"_s, u"Ann"_s, u"Bonn"_s)),
                              Value(record(2, true, u"bob@ulm.de"_s, u"Bob"_s, u"Ulm"_s)),
                              Value(record(3, false, u"cy@bonn.de"_s, u"Cy"_s, u"Bonn"_s))}));
    doc.setSearchFieldStr(u"bonn"_s);
    doc.addresses().filterShownAndChecked();
}

class RecordRows : public ::testing::Test
{
protected:
    void SetUp() override { setUpThreeRecords(doc); }
    Dict at(qsizetype i) const { return doc.addressArray().at(i).toDict(); }

    MyDocument doc{SystemClock::instance()};
};

TEST_F(RecordRows, AnAppendedRecordIsOneRowOfTheListAndOfEachViewItBelongsTo)
{
    SignalLog log(doc.addresses());
    doc.appendRecord(record(4, true, u"dee@bonn.de"_s, u"Dee"_s, u"Bonn"_s));
    doc.appendRecord(record(5, false, u"eve@ulm.de"_s, u"Eve"_s, u"Ulm"_s));

    EXPECT_EQ(log.take(), QStringList({u"inserted Items 3-3"_s, u"inserted Shown 2-2"_s, u"inserted Checked 1-1"_s,
                                       u"inserted Items 4-4"_s}));
    EXPECT_EQ(numbersOf(doc.addressArrayShown()), QList<qint64>({1, 3, 4}));
    EXPECT_EQ(numbersOf(doc.addresses().checked()), QList<qint64>({2, 4}));
    EXPECT_EQ(doc.addresses().rowOf(at(4)), 4);
}

TEST_F(RecordRows, AnInsertedRecordTakesItsPlaceInTheViews)
{
    SignalLog log(doc.addresses());
    doc.insertRecord(1, record(9, true, u"zed@bonn.de"_s, u"Zed"_s, u"Bonn"_s));

    EXPECT_EQ(log.take(),
              QStringList({u"inserted Items 1-1"_s, u"inserted Shown 1-1"_s, u"inserted Checked 0-0"_s}));
    EXPECT_EQ(numbersOf(doc.addressArrayShown()), QList<qint64>({1, 9, 3}));
    EXPECT_EQ(numbersOf(doc.addresses().checked()), QList<qint64>({9, 2}));
    // The rows after the insertion moved down by one.
    EXPECT_EQ(doc.addresses().rowOf(at(3)), 3);
    EXPECT_EQ(doc.addressArrayShown().indexOf(at(3)), 2);
}

TEST_F(RecordRows, ARemovedRecordLeavesTheListAndTheViewsHoldingIt)
{
    const Dict first = at(0);
    const Dict bob = at(1);
    SignalLog log(doc.addresses());
    EXPECT_TRUE(doc.removeRecord(first));
    EXPECT_TRUE(doc.removeRecord(bob));
    EXPECT_FALSE(doc.removeRecord(bob));

    EXPECT_EQ(log.take(), QStringList({u"removed Items 0-0"_s, u"removed Shown 0-0"_s, u"removed Items 0-0"_s,
                                       u"removed Checked 0-0"_s}));
    EXPECT_EQ(numbersOf(doc.addressArrayShown()), QList<qint64>({3}));
    EXPECT_TRUE(doc.addresses().checked().isEmpty());
    EXPECT_EQ(doc.addresses().rowOf(at(0)), 0);
    EXPECT_EQ(doc.addresses().rowOf(first), -1);
    EXPECT_EQ(doc.addressArrayShown().indexOf(first), -1);
}

TEST_F(RecordRows, AnEditedCellIsOneRowOfOneColumnInEveryListHoldingTheRecord)
{
    const Dict cy = at(2);
    doc.setSendArray(List({Value(at(1)), Value(cy)}));
    doc.filterSend();
    SignalLog addressLog(doc.addresses());
    SignalLog sendLog(doc.sendList());

    doc.setRecordValue(cy, u"4"_s, Value(u"Cyrus"_s));
    doc.setRecordValue(cy, u"4"_s, Value(u"Cyrus"_s)); // no change, no signal

    EXPECT_EQ(addressLog.take(), QStringList({u"changed Items 2 4"_s, u"changed Shown 1 4"_s}));
    EXPECT_EQ(sendLog.take(), QStringList({u"changed Items 1 4"_s, u"changed Shown 1 4"_s}));
}

TEST_F(RecordRows, OnlyANewSearchAndBulkChangesRearrange)
{
    SignalLog log(doc.addresses());
    doc.setSearchFieldStr(u"Ulm"_s);
    doc.filterAddresses();
    EXPECT_EQ(log.take(), QStringList({u"rearranged Shown"_s}));

    // An import appends to the list in place and says so once.
    doc.addressArray().append(Value(record(4, false, u"dee@ulm.de"_s)));
    doc.addressArrayDidChange();
    EXPECT_EQ(log.take(), QStringList({u"rearranged Items"_s}));
    EXPECT_EQ(doc.addresses().rowOf(at(3)), 3);
}

TEST_F(RecordRows, AListReplacedUnderTheViewsIsNotFollowedUntilReEvaluated)
{
    doc.setAddressArray(List({Value(record(7, true, u"gil@bonn.de"_s))}));
    doc.appendRecord(record(8, true, u"hal@bonn.de"_s));
    // The views still show the old list; they do not mix in rows of the new one.
    EXPECT_EQ(numbersOf(doc.addressArrayShown()), QList<qint64>({1, 3}));
    doc.addresses().filterShownAndChecked();
    EXPECT_EQ(numbersOf(doc.addressArrayShown()), QList<qint64>({7, 8}));
    EXPECT_EQ(doc.addresses().rowOf(at(1)), 1);
}

// --- The views and their row index ---------------------------------------------------

// The database's "any record checked" after ticks and unticks one at a time,
// against the checked view as it stands: Bob alone ticked when it was taken.
TEST(RecordListFlag, AnyCheckedAfterOneTickIsWhatTheListHolds)
{
    using Doc = MyDocument;
    const auto at = [](Doc &doc, qsizetype i) { return doc.addressArray().at(i).toDict(); };
    const auto tick = [&](Doc &doc, qsizetype i, bool on) {
        doc.setRecordValue(at(doc, i), DocumentKeys::checkedInnerKey(), Value(on));
    };
    const struct { const char *name; std::function<void(Doc &)> steps; bool expected; } rows[] = {
        {"the only tick taken away", [&](Doc &d) { tick(d, 1, false); }, false},
        {"a tick since the view, the view's taken away", [&](Doc &d) { tick(d, 0, true); tick(d, 1, false); }, true},
        {"another of the view's ticks taken away", [&](Doc &d) {
             tick(d, 2, true);
             d.addresses().filterShownAndChecked();
             tick(d, 2, false);
         }, true},
        {"the view's tick taken away and given back", [&](Doc &d) { tick(d, 1, false); tick(d, 1, true); }, true},
        {"the view's record removed, the later tick taken away", [&](Doc &d) {
             tick(d, 0, true);
             d.removeRecord(at(d, 1));
             tick(d, 0, false);
         }, false},
        {"a list put in place under a view of the old one", [&](Doc &d) {
             d.setAddressArray(List({Value(record(7, true, u"x@bonn.de"_s))}));
             tick(d, 0, false);
         }, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        MyDocument doc{SystemClock::instance()};
        setUpThreeRecords(doc);
        row.steps(doc);
        EXPECT_EQ(doc.isCheckedRecords(), row.expected);
    }
}

// The checked view and the any-checked flag as an open sets them up, with
// flags of every kind a file may hold, and after ticks once re-evaluated.
TEST(RecordListFlag, TheCheckedViewAsOpenedAndAfterTicks)
{
    const struct { const char *name; std::vector<Value> flags; QList<qint64> checked; QList<qint64> afterTicks; } rows[] = {
        {"none checked", {Value(false), Value(0), Value(u""_s), Value()}, {}, {1, 4}},
        {"some checked", {Value(true), Value(false), Value(u"1"_s), Value(2.5)}, {1, 3, 4}, {3, 4}},
        {"all checked", {Value(1), Value(u"YES"_s), Value(true), Value(u" 7"_s)}, {1, 2, 3, 4}, {2, 3, 4}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        MyDocument doc{SystemClock::instance()};
        List records;
        for (size_t i = 0; i < row.flags.size(); ++i) {
            Dict r = record(qint64(i) + 1, false, u"r%1@bonn.de"_s.arg(i));
            r.set(DocumentKeys::checkedInnerKey(), row.flags[i]);
            records.append(Value(r));
        }
        doc.setAddressArray(records);
        doc.setUpOpenedDocument();
        EXPECT_EQ(numbersOf(doc.addresses().checked()), row.checked);
        EXPECT_EQ(doc.isCheckedRecords(), !row.checked.isEmpty());

        // The first record's flag flipped, the last one ticked.
        const Dict first = records.at(0).toDict();
        doc.setRecordValue(first, DocumentKeys::checkedInnerKey(), Value(!first.boolValue(u"2"_s)));
        doc.setRecordValue(records.at(3).toDict(), DocumentKeys::checkedInnerKey(), Value(true));
        EXPECT_TRUE(doc.isCheckedRecords());
        doc.updateIsCheckedRecords();
        EXPECT_EQ(numbersOf(doc.addresses().checked()), row.afterTicks);
    }
}

// Rows found by identity in a list of identities (null: no record), after
// the changes the index hears of (once it has found `primed` in the list); a
// record held twice is found at its first row.
TEST(RowIndexLookups, PresentMissingRepeatedAndAfterChanges)
{
    int a, b, c, d;
    using Rows = std::vector<const void *>;
    using Change = std::function<void(RowIndex &, Rows &)>;
    const struct { const char *name; Rows rows; const void *primed; Change change; const void *sought; qsizetype expected; } rows[] = {
        {"present", {&a, &b, &c}, nullptr, {}, &b, 1},
        {"missing", {&a, &b}, nullptr, {}, &c, -1},
        {"no record sought", {&a, nullptr}, nullptr, {}, nullptr, -1},
        {"held twice", {&a, &b, &c, &b}, nullptr, {}, &b, 1},
        {"held twice, both after a cut", {&a, &b, &c, &b}, nullptr, [&](RowIndex &index, Rows &) {
             (void)index.find(&a, 4, [](qsizetype) { return nullptr; }); // an index over other rows, then cut
             index.invalidateFrom(0);
         }, &b, 1},
        {"held twice, found after an insertion before both", {&a, &b, &c, &b}, &b,
         [&](RowIndex &index, Rows &r) { r.insert(r.begin(), &d); index.invalidateFrom(0); }, &b, 2},
        {"appended twice", {&a}, &a, [&](RowIndex &index, Rows &r) {
             r.push_back(&b);
             index.appended(&b, 1);
             r.push_back(&b);
             index.appended(&b, 2);
         }, &b, 1},
        {"first of two removed", {&a, &b, &c, &b}, &b,
         [&](RowIndex &index, Rows &r) { r.erase(r.begin() + 1); index.removed(&b, 1); }, &b, 2},
        {"removed", {&a, &b, &c}, &c, [&](RowIndex &index, Rows &r) { r.erase(r.begin() + 1); index.removed(&b, 1); },
         &b, -1},
        {"moved up by a removal", {&a, &b, &c}, &c,
         [&](RowIndex &index, Rows &r) { r.erase(r.begin()); index.removed(&a, 0); }, &c, 1},
        {"changed without telling", {&a, &b, &c}, &c, [](RowIndex &, Rows &r) { std::swap(r[0], r[2]); }, &c, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        RowIndex index;
        Rows list = row.rows;
        const auto at = [&](qsizetype i) { return list[size_t(i)]; };
        if (row.primed)
            (void)index.find(row.primed, qsizetype(list.size()), at);
        if (row.change)
            row.change(index, list);
        EXPECT_EQ(index.find(row.sought, qsizetype(list.size()), at), row.expected);
    }
}

TEST(ArrangedViewRows, ChangesInPlaceKeepTheIndexAndLeaveReadersSnapshotsAlone)
{
    const Dict a{{u"1"_s, 1}};
    const Dict b{{u"1"_s, 2}};
    const Dict c{{u"1"_s, 3}};
    ArrangedView view;
    view.append(a);
    view.append(c);
    const ArrangedView::Records before = view.records();
    view.insert(1, b);

    EXPECT_EQ(numbersOf(view), QList<qint64>({1, 2, 3}));
    EXPECT_EQ(before->size(), 2u);
    EXPECT_EQ(view.indexOf(c), 2);

    EXPECT_TRUE(view.removeAt(0));
    EXPECT_FALSE(view.removeAt(2));
    EXPECT_EQ(view.indexOf(a), -1);
    EXPECT_EQ(view.indexOf(b), 0);
    EXPECT_EQ(view.indexOf(c), 1);
    EXPECT_EQ(before->size(), 2u);
}

// A list changed behind the index's back (the list handle is shared) costs a
// re-indexing, never a wrong row.
TEST(RecordListRows, ARowFoundIsCheckedAgainstTheList)
{
    RecordList list({u"2"_s, u"3"_s, u"1"_s}, [](const QString &) { return SearchPredicate::all(); });
    const Dict a{{u"1"_s, 1}};
    const Dict b{{u"1"_s, 2}};
    list.replaceItems(List({Value(a), Value(b)}));
    EXPECT_EQ(list.rowOf(b), 1);

    list.items().removeAt(0);
    EXPECT_EQ(list.rowOf(b), 0);
    EXPECT_EQ(list.rowOf(a), -1);
    list.items().append(Value(a));
    list.rowsChangedInBulk();
    EXPECT_EQ(list.rowOf(a), 1);
}

} // namespace

// A search pass walked aside (as the window does on a worker for a long list)
// is put in place only while it still describes the list and the search text:
// anything that changed either meanwhile leaves the view as it is.
TEST(RecordListSearchPass, IsInstalledOnlyWhileCurrent)
{
    const struct
    {
        const char *name;
        std::function<void(MyDocument &)> meanwhile;
        bool installed;
        QList<qint64> shownAfter;
    } rows[] = {
        {"nothing changed", [](MyDocument &) {}, true, {2}},
        {"a cell edited", [](MyDocument &d) { d.setRecordValue(d.addressArray().at(0).toDict(), u"4"_s, Value(u"Ulmer"_s)); },
         true, {2}},
        {"another search typed", [](MyDocument &d) { d.setSearchFieldStr(u"Bonn"_s); }, false, {1, 3}},
        {"the search cleared and back", [](MyDocument &d) { d.setSearchFieldStr(QString()); d.setSearchFieldStr(u"ulm"_s); },
         true, {2}},
        {"a record appended", [](MyDocument &d) { d.appendRecord(record(4, false, u"dee@ulm.de"_s)); }, false, {1, 3}},
        {"a record removed", [](MyDocument &d) { d.removeRecord(d.addressArray().at(2).toDict()); }, false, {1}},
        {"the view filtered", [](MyDocument &d) { d.filterAddresses(); }, false, {2}},
        {"the list replaced", [](MyDocument &d) { d.setAddressArray(List({Value(record(7, false, u"ulm"_s))})); },
         false, {1, 3}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        MyDocument doc{SystemClock::instance()};
        setUpThreeRecords(doc);
        doc.setSearchFieldStr(u"ulm"_s);
        RecordList::ShownPass pass = doc.addresses().shownPass();
        row.meanwhile(doc);
        ASSERT_TRUE(pass.run());
        SignalLog log(doc.addresses());

        EXPECT_EQ(doc.addresses().installShownPass(std::move(pass)), row.installed);
        EXPECT_EQ(log.take(), row.installed ? QStringList{u"rearranged Shown"_s} : QStringList{});
        EXPECT_EQ(numbersOf(doc.addressArrayShown()), row.shownAfter);
        if (row.installed) {
            // Records appended later follow the search the pass was made with.
            doc.appendRecord(record(8, false, u"hal@ulm.de"_s));
            EXPECT_EQ(numbersOf(doc.addressArrayShown()), QList<qint64>({2, 8}));
        }
    }
}

TEST_F(RecordRows, ASearchPassIsCancelledOnTheWayAndOutlivesItsList)
{
    std::atomic<bool> cancelled{true};
    RecordList::ShownPass cancelledPass = doc.addresses().shownPass();
    EXPECT_FALSE(cancelledPass.run(&cancelled));
    EXPECT_FALSE(doc.addresses().installShownPass(std::move(cancelledPass)));
    EXPECT_EQ(numbersOf(doc.addressArrayShown()), QList<qint64>({1, 3}));

    std::optional<RecordList::ShownPass> orphan;
    {
        MyDocument gone{SystemClock::instance()};
        setUpWithUserKeys(gone);
        gone.setAddressArray(List({Value(record(1, false, u"ann@bonn.de"_s))}));
        gone.setSearchFieldStr(u"bonn"_s);
        orphan = gone.addresses().shownPass();
    }
    EXPECT_TRUE(orphan->run());
}
