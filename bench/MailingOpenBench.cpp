// Opening a large mailing from a file on disk, step by step: the structural
// check of the property list, the keyed-archive reader, the whole read into a
// document (with the memory each adds at its peak, and what the open document
// holds). Give the mailing in QUILLCAST_BENCH_MAILING (a mailing of 1,000,000
// records made by bench/million.sh's import is about 290 MB); without it the
// benchmarks skip.
//
//   QUILLCAST_BENCH_MAILING=/tmp/m1000000.quill build/release/bench/mailing_open_bench
#include "document/DocumentFile.h"
#include "document/MyDocument.h"
#include "document/archive/BinaryPlistValidator.h"
#include "document/archive/KeyedUnarchiver.h"
#include "platform/NullUrlOpener.h"
#include "platform/RegularFileReader.h"
#include "platform/SystemClock.h"
#include "ProcessMemory.h"
#include "ScriptedAlertPresenter.h"

#include <benchmark/benchmark.h>

#include <QFile>

#include <malloc.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

QString mailingPath()
{
    return qEnvironmentVariable("QUILLCAST_BENCH_MAILING");
}

// The bytes of the mailing, read once for all the benchmarks.
const QByteArray &mailingBytes()
{
    static const QByteArray bytes = [] {
        const QString path = mailingPath();
        if (path.isEmpty())
            return QByteArray();
        Result<QByteArray> read = RegularFileReader::read(path, KeyedUnarchiver::maxFileSize);
        return read ? std::move(read).value() : QByteArray();
    }();
    return bytes;
}

using bench::resetPeakMemory;

qint64 statusKiB(const char *field)
{
    return bench::processStatusKiB(field);
}

bool haveMailing(benchmark::State &state)
{
    if (!mailingBytes().isEmpty())
        return true;
    state.SkipWithError("set QUILLCAST_BENCH_MAILING to a mailing file");
    return false;
}

// Counters: the file's size, and the peak resident memory the step added
// (beyond the file's bytes, which are held throughout).
void report(benchmark::State &state, qint64 peakAddedKiB)
{
    state.counters["file MB"] = double(mailingBytes().size()) / 1e6;
    state.counters["peak+ MiB"] = double(peakAddedKiB) / 1024.0;
}

void BM_ValidatePlist(benchmark::State &state)
{
    if (!haveMailing(state))
        return;
    qint64 added = 0;
    for (auto _ : state) {
        resetPeakMemory();
        const qint64 before = statusKiB("VmRSS:");
        const Status checked = BinaryPlistValidator::validate(mailingBytes());
        if (!checked)
            state.SkipWithError(qPrintable(checked.error()));
        added = std::max(added, statusKiB("VmHWM:") - before);
    }
    report(state, added);
}
BENCHMARK(BM_ValidatePlist)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Unarchive(benchmark::State &state)
{
    if (!haveMailing(state))
        return;
    qint64 added = 0;
    for (auto _ : state) {
        resetPeakMemory();
        const qint64 before = statusKiB("VmRSS:");
        const auto cores = state.range(0) == 1 ? KeyedUnarchiver::Cores::One : KeyedUnarchiver::Cores::Two;
        Result<Value> root = KeyedUnarchiver::unarchive(mailingBytes(), {}, cores);
        if (!root)
            state.SkipWithError(qPrintable(root.error()));
        added = std::max(added, statusKiB("VmHWM:") - before);
        state.PauseTiming();
        root = Result<Value>(Value());
        state.ResumeTiming();
    }
    report(state, added);
}
// On one core (the structure checked first), and on two (checked alongside).
BENCHMARK(BM_Unarchive)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The whole read of a document from bytes in memory, and what the records
// hold once it is open.
void BM_ReadDocument(benchmark::State &state)
{
    if (!haveMailing(state))
        return;
    ScriptedAlertPresenter alerts;
    qint64 added = 0;
    qint64 held = 0;
    for (auto _ : state) {
        resetPeakMemory();
        const qint64 before = statusKiB("VmRSS:");
        auto doc = std::make_unique<MyDocument>(SystemClock::instance());
        if (!DocumentFile::readFromData(*doc, mailingBytes(), alerts, NullUrlOpener::instance()))
            state.SkipWithError("the mailing did not open");
        added = std::max(added, statusKiB("VmHWM:") - before);
        state.PauseTiming();
        malloc_trim(0);
        held = statusKiB("VmRSS:") - before;
        doc.reset();
        state.ResumeTiming();
    }
    report(state, added);
    state.counters["open MiB"] = double(held) / 1024.0;
}
BENCHMARK(BM_ReadDocument)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace
