// One record added to, and one cell edited in, a mailing of a million
// records: what the window does on every "Add Record" and every edit of a
// table cell, which must not cost a walk of the list.
#include "database/RecordCommands.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/SystemClock.h"

#include <benchmark/benchmark.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kRecords = 1'000'000;

// Fixed keys plus Name ("4"); one million records, every third checked, the
// window set up and the views current.
MyDocument &mailing()
{
    static MyDocument *doc = [] {
        auto *d = new MyDocument(SystemClock::instance());
        d->InitialSetupKeyArrayController();
        d->keyArray().append(Value(DocumentKeys::makeDbKey(u"4"_s, u"Name"_s)));
        List::Items records;
        records.reserve(size_t(kRecords));
        for (qsizetype i = 0; i < kRecords; ++i) {
            records.emplace_back(Dict{{u"1"_s, qint64(i + 1)},
                                      {u"2"_s, i % 3 == 0},
                                      {u"3"_s, u"user%1@example.org"_s.arg(i)},
                                      {u"4"_s, u"Name %1"_s.arg(i)}});
        }
        d->setAddressArray(List(std::move(records)));
        d->setUpOpenedDocument();
        d->filterAddresses();
        return d;
    }();
    return *doc;
}

// The "Add Record" command with its undo step, for a record made ahead.
void BM_AddOneRecord(benchmark::State &state)
{
    MyDocument &doc = mailing();
    qint64 number = kRecords;
    for (auto _ : state) {
        state.PauseTiming();
        const Dict record{{u"1"_s, ++number}, {u"2"_s, false}, {u"3"_s, u""_s}, {u"4"_s, u""_s}};
        state.ResumeTiming();
        RecordCommands(doc).addTheAddress(record);
    }
    state.counters["records"] = double(doc.addressArray().size());
}

// One cell of a record in the middle of the list, and the row the table
// repaints for it.
void BM_EditOneCell(benchmark::State &state)
{
    MyDocument &doc = mailing();
    const Dict record = doc.addressArray().at(kRecords / 2).toDict();
    qint64 n = 0;
    // The first edit after opening may index the rows once; measured is every edit after it.
    doc.setRecordValue(record, u"4"_s, Value(u"Edited"_s));
    benchmark::DoNotOptimize(doc.addressArrayShown().indexOf(record));
    for (auto _ : state) {
        doc.setRecordValue(record, u"4"_s, Value(u"Edited %1"_s.arg(++n)));
        benchmark::DoNotOptimize(doc.addressArrayShown().indexOf(record));
    }
}

} // namespace

BENCHMARK(BM_AddOneRecord)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EditOneCell)->Unit(benchmark::kMicrosecond);
