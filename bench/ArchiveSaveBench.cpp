// Saving a mailing of 100,000 and of 1,000,000 records (five text columns,
// names with accents, as an import makes them): the archive in memory on one
// thread and on two, and the whole save to a file, flushed to the disk. The
// time per record should be the same at both sizes.
#include "document/DocumentFile.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "document/archive/KeyedArchiver.h"
#include "platform/SystemClock.h"
#include "ProcessMemory.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <malloc.h>

#include <algorithm>
#include <memory>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

MyDocument &mailing(qsizetype records)
{
    // Only one size in memory at a time.
    static qsizetype madeRecords = -1;
    static std::unique_ptr<MyDocument> doc;
    if (doc && madeRecords == records)
        return *doc;
    doc.reset();
    madeRecords = records;
    doc = std::make_unique<MyDocument>(SystemClock::instance());
    doc->InitialSetupKeyArrayController();
    static const QStringList columns{u"first"_s, u"last"_s, u"city"_s, u"code"_s};
    for (qsizetype k = 0; k < columns.size(); ++k)
        doc->keyArray().append(Value(DocumentKeys::makeDbKey(QString::number(k + 4), columns[k])));
    static const QStringList first{u"Ann"_s, u"Bob"_s, u"Élodie"_s, u"José"_s, u"Hiro"_s};
    static const QStringList last{u"Rossi"_s, u"Müller"_s, u"García"_s, u"O'Neil"_s, u"Sato"_s};
    static const QStringList city{u"Rome"_s, u"São Paulo"_s, u"Zürich"_s, u"Kraków"_s, u"Cork"_s};
    List::Items items;
    items.reserve(size_t(records));
    for (qsizetype i = 0; i < records; ++i) {
        const QString &f = first[i % 5];
        const QString &l = last[(i / 5) % 5];
        items.emplace_back(Dict{{u"1"_s, qint64(i + 1)},
                                {u"2"_s, false},
                                {u"3"_s, u"%1.%2%3@example%4.com"_s.arg(f.toLower(), l.toLower()).arg(i).arg(i % 97)},
                                {u"4"_s, f},
                                {u"5"_s, l},
                                {u"6"_s, city[(i / 25) % 5]},
                                {u"7"_s, u"%1"_s.arg(i * 7919 % 1000000, 6, 10, QChar(u'0'))}});
    }
    doc->setAddressArray(List(std::move(items)));
    return *doc;
}

// Resident memory in bytes: VmRSS now, or VmHWM, the peak since resetPeak().
qint64 residentBytes(const char *field)
{
    return bench::processStatusKiB(field) * 1024;
}

void resetPeak()
{
    bench::resetPeakMemory();
}

void BM_ArchiveInMemory(benchmark::State &state)
{
    MyDocument &doc = mailing(state.range(0));
    const Dict root = DocumentFile::rootDictionary(doc);
    const int threads = int(state.range(1));
    qsizetype size = 0;
    for (auto _ : state) {
        const QByteArray bytes = KeyedArchiver::archive(Value(root), threads).value();
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["file MB"] = double(size) / 1e6;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ArchiveInMemory)
    ->ArgNames({"records", "threads"})
    ->Args({100'000, 1})
    ->Args({100'000, 2})
    ->Args({1'000'000, 1})
    ->Args({1'000'000, 2})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_SaveToFile(benchmark::State &state)
{
    MyDocument &doc = mailing(state.range(0));
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(u"m.quill"_s);
    double added = 0;
    for (auto _ : state) {
        resetPeak();
        const qint64 before = residentBytes("VmRSS:");
        if (!DocumentFile::writeToFile(doc, path))
            state.SkipWithError("the save failed");
        added = std::max(added, double(residentBytes("VmHWM:") - before));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    // What the save needs beyond the mailing itself, at its peak.
    state.counters["peak added MB"] = added / 1e6;
}
BENCHMARK(BM_SaveToFile)->ArgName("records")->Arg(100'000)->Arg(1'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
