// The database commands on a mailing of a million records and an exception
// list of a hundred thousand addresses: the send-list rebuild, the duplicate
// and unique checks, delete-checked and the check-all family.
#include "database/RecordCommands.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "ScriptedAlertPresenter.h"
#include "document/SendListRebuilder.h"
#include "platform/SystemClock.h"

#include <benchmark/benchmark.h>

#include <QStringList>

#include <memory>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kRecords = 1'000'000;
constexpr qsizetype kExceptions = 100'000;
// One record in twenty repeats an earlier address in another case, so the
// duplicate check has work to do.
constexpr qsizetype kRepeatEvery = 20;

QString addressOf(qsizetype i)
{
    return QString(u"person"_s + QString::number(i) + u"@example.org"_s);
}

List::Items makeRecords(qsizetype count)
{
    List::Items records;
    records.reserve(size_t(count));
    for (qsizetype i = 0; i < count; ++i) {
        const QString email = i % kRepeatEvery == kRepeatEvery - 1 ? addressOf(i / 2).toUpper() : addressOf(i);
        records.emplace_back(Dict{{u"1"_s, qint64(i + 1)},
                                  {u"2"_s, i % 2 == 0},
                                  {u"3"_s, email},
                                  {u"4"_s, QString(u"Name "_s + QString::number(i % 1000))},
                                  {u"5"_s, QString(u"Town "_s + QString::number(i % 100))}});
    }
    return records;
}

// Half of the exception addresses are in the database, half are not.
List::Items makeExceptions()
{
    List::Items exceptions;
    exceptions.reserve(size_t(kExceptions));
    for (qsizetype i = 0; i < kExceptions; ++i) {
        const QString email = i % 2 == 0 ? addressOf(i * 7) : QString(u"stranger"_s + QString::number(i) + u"@example.net"_s);
        exceptions.emplace_back(Dict{{u"num"_s, qint64(i + 1)}, {u"sel"_s, false}, {u"email"_s, email}, {u"note"_s, u""_s}});
    }
    return exceptions;
}

std::unique_ptr<MyDocument> makeMailing()
{
    auto doc = std::make_unique<MyDocument>(SystemClock::instance());
    doc->InitialSetupKeyArrayController();
    doc->keyArray().append(Value(DocumentKeys::makeDbKey(u"4"_s, u"Name"_s)));
    doc->keyArray().append(Value(DocumentKeys::makeDbKey(u"5"_s, u"Town"_s)));
    doc->setAddressArray(List(makeRecords(kRecords)));
    doc->setExceptArray(List(makeExceptions()));
    doc->setUpOpenedDocument();
    doc->filterAddresses();
    doc->filterExcepts();
    return doc;
}

MyDocument &mailing()
{
    static std::unique_ptr<MyDocument> doc = makeMailing();
    return *doc;
}

void BM_SendListRebuild(benchmark::State &state)
{
    MyDocument &doc = mailing();
    for (auto _ : state)
        doc.sendListRebuilder().rebuildNow();
    state.counters["send"] = double(doc.sendArray().size());
}
BENCHMARK(BM_SendListRebuild)->Unit(benchmark::kMillisecond)->Iterations(5);

// The build alone, as the worker does it off the main thread.
void BM_SendListBuildOnWorker(benchmark::State &state)
{
    MyDocument &doc = mailing();
    for (auto _ : state)
        benchmark::DoNotOptimize(SendListRebuilder::buildSendItems(doc.addressArray(), doc.exceptArray()));
}
BENCHMARK(BM_SendListBuildOnWorker)->Unit(benchmark::kMillisecond)->Iterations(5);

// Every check command starts from all records checked, so each run writes.
template<void (RecordCommands::*Check)()>
void checkFromAllChecked(benchmark::State &state)
{
    MyDocument &doc = mailing();
    RecordCommands commands(doc);
    for (auto _ : state) {
        state.PauseTiming();
        commands.checkAllRecords();
        state.ResumeTiming();
        (commands.*Check)();
    }
    state.counters["checked"] = double(commands.checkedRecordsDataBaseN());
}

void BM_CheckDuplicateEmails(benchmark::State &state)
{
    checkFromAllChecked<&RecordCommands::checkDuplicateEmails>(state);
}
BENCHMARK(BM_CheckDuplicateEmails)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_CheckUniqueEmails(benchmark::State &state)
{
    checkFromAllChecked<&RecordCommands::checkUniqueEmails>(state);
}
BENCHMARK(BM_CheckUniqueEmails)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_UncheckAllRecords(benchmark::State &state)
{
    checkFromAllChecked<&RecordCommands::uncheckAllRecords>(state);
}
BENCHMARK(BM_UncheckAllRecords)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_CheckAllRecords(benchmark::State &state)
{
    MyDocument &doc = mailing();
    RecordCommands commands(doc);
    for (auto _ : state) {
        state.PauseTiming();
        commands.uncheckAllRecords();
        state.ResumeTiming();
        commands.checkAllRecords();
    }
}
BENCHMARK(BM_CheckAllRecords)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_InvertCheckRecords(benchmark::State &state)
{
    RecordCommands commands(mailing());
    for (auto _ : state)
        commands.invertCheckRecords();
}
BENCHMARK(BM_InvertCheckRecords)->Unit(benchmark::kMillisecond)->Iterations(5);

// Half of the million records checked, deleted after the "OK" of the alert.
void BM_DeleteCheckRecords(benchmark::State &state)
{
    ScriptedAlertPresenter presenter(0);
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<MyDocument> doc = makeMailing();
        doc->setAlertPresenter(&presenter);
        state.ResumeTiming();
        qsizetype deleted = 0;
        RecordCommands(*doc).deleteCheckRecords([&](qsizetype n) { deleted = n; });
        state.PauseTiming();
        state.counters["deleted"] = double(deleted);
        doc.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_DeleteCheckRecords)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
