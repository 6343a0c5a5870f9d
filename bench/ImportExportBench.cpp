// Import of a large CSV (reading, detection, decoding, line ends, format
// detection and row splitting, then the run into records, and the whole
// import into a mailing beside Python's csv module on the same file) and
// export of a large record list as CSV.
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/SystemClock.h"
#include "export/ExportDelimiters.h"
#include "export/ExportWriter.h"
#include "export/LXDataExportManager.h"
#include "import/DocumentImport.h"
#include "import/ImportLines.h"
#include "import/ImportRecordBuilder.h"
#include "import/LXDataImportManager.h"
#include "import/LXSmartStringFileReader.h"
#include "import/MyDataImportManager.h"
#include "import/RowSplitter.h"
#include "platform/ManualMainLoop.h"
#include "ScriptedAlertPresenter.h"
#include "ScriptedFilePanel.h"

#include "LargeImportFile.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>

using namespace quillcast;
using namespace Qt::StringLiterals;

using quillcast::bench::csvPath;
using quillcast::bench::kFirst;
using quillcast::bench::kLast;
using quillcast::bench::kLines;
using quillcast::bench::kTown;
using quillcast::bench::heapBytesInUse;
using quillcast::bench::peakMemoryMiB;
using quillcast::bench::resetPeakMemory;

namespace {

// Reading through splitting: what loading a file into the import sheet costs.
void BM_ImportSplitDetectDecode(benchmark::State &state)
{
    const QString &path = csvPath();
    for (auto _ : state) {
        Result<QString> text = LXSmartStringFileReader::autoReadFromFile(path, 0);
        if (!text)
            state.SkipWithError("read failed");
        LXSmartStringFileReader::replaceStringWithNewline(text.value());
        ImportLines lines(std::move(text).value());
        Result<ImportRows> rows = RowSplitter::splitRows(lines, RowSplitter::FormatAutomatic);
        benchmark::DoNotOptimize(rows->rowCount());
        state.counters["rows"] = double(rows->rowCount());
    }
}
BENCHMARK(BM_ImportSplitDetectDecode)->Unit(benchmark::kMillisecond)->Iterations(3);

// Detection and splitting alone, on one thread and in stretches on two.
void BM_SplitRows(benchmark::State &state)
{
    static const ImportLines lines = [] {
        Result<QString> text = LXSmartStringFileReader::autoReadFromFile(csvPath(), 0);
        LXSmartStringFileReader::replaceStringWithNewline(text.value());
        return ImportLines(std::move(text).value());
    }();
    for (auto _ : state) {
        Result<ImportRows> rows = RowSplitter::splitRows(lines, RowSplitter::FormatAutomatic, int(state.range(0)));
        state.counters["rows"] = double(rows->rowCount());
    }
}
BENCHMARK(BM_SplitRows)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// A generic importer: the template holds the number and the checked flag, as
// an address record does.
class BenchImporter : public LXDataImportManager
{
public:
    using LXDataImportManager::LXDataImportManager;

protected:
    std::optional<Dict> createNewObjectToImport() override
    {
        return Dict{{DocumentKeys::numberInnerKey(), Value(++m_serial)}, {DocumentKeys::checkedInnerKey(), Value(false)}};
    }

private:
    qint64 m_serial = 0;
};

// Loading and the run into records (a plain list, not yet a mailing).
void BM_ImportIntoRecords(benchmark::State &state)
{
    const QString &path = csvPath();
    for (auto _ : state) {
        List records;
        ScriptedFilePanel panel;
        ScriptedAlertPresenter alerts;
        ManualMainLoop loop;
        BenchImporter importer(records, List(), nullptr, {panel, alerts, loop});
        importer.setImportFieldKeyArray({u"NO_IMPORT"_s, QString(), u"NEW_FIELD"_s, QString(), u"3"_s, u"4"_s,
                                         u"5"_s, u"6"_s, u"7"_s});
        importer.loadDataFromFile(path, 0, 0);
        loop.runPending();
        importer.AssignCascadeImportFields();
        importer.importRows();
        state.counters["records"] = double(records.size());
        state.PauseTiming(); // freeing a million records is not part of the import
        records.clear();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ImportIntoRecords)->Unit(benchmark::kMillisecond)->Iterations(2);

// Making the records of the loaded rows, on one thread and split between
// two (the background run's share of an import), into records with the
// address template and a key per column.
void BM_BuildRecords(benchmark::State &state)
{
    static const ImportRows rows = [] {
        Result<QString> text = LXSmartStringFileReader::autoReadFromFile(csvPath(), 0);
        LXSmartStringFileReader::replaceStringWithNewline(text.value());
        return std::move(RowSplitter::splitRows(ImportLines(std::move(text).value()), 0)).value();
    }();
    const ImportRecordBuilder builder({{{DocumentKeys::numberInnerKey(), Value(qint64(0))},
                                        {DocumentKeys::checkedInnerKey(), Value(false)},
                                        {DocumentKeys::emailInnerKey(), Value(QString(u""_s))}},
                                       DocumentKeys::numberInnerKey(),
                                       1},
                                      {u"3"_s, u"4"_s, u"5"_s, u"6"_s, u"7"_s}, {});
    for (auto _ : state) {
        std::optional<ImportRecordBuilder::Built> built = builder.buildAll(rows, true, int(state.range(0)));
        state.counters["records"] = double(built->records.size());
        state.PauseTiming();
        built.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BuildRecords)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A main loop that turns when told to, as ManualMainLoop, and keeps the
// longest time one piece of posted work took: in the window each piece is
// one event, so that is how long the event loop was kept from painting.
class TimedLoop final : public MainLoop
{
public:
    void post(std::function<void()> work) override
    {
        m_inner.post([this, work = std::move(work)] { timed(work); });
    }
    void timed(const std::function<void()> &work)
    {
        QElapsedTimer timer;
        timer.start();
        work();
        m_longest = std::max(m_longest, double(timer.nsecsElapsed()) / 1e6);
    }
    int runPending() { return m_inner.runPending(); }
    bool waitForPending(std::chrono::milliseconds timeout) { return m_inner.waitForPending(timeout); }
    double longestMs() const { return m_longest; }

private:
    ManualMainLoop m_inner;
    double m_longest = 0;
};

// The whole import as the window runs it, into a mailing whose columns are
// named as the file's first row: chooser, automatic format and encoding,
// settings with the first-row mapping, the run, the end-of-run steps. The
// peak counts everything the mailing keeps plus the loaded file.
//
// Within the call (argument 0) every step runs in one turn of the main loop;
// in the background (argument 1) reading, splitting and making the records
// run on a worker, and longest_turn_ms is the longest the main thread was
// busy in one go (the window's event loop is blocked for that long at most).
// Run each argument in a process of its own for peak_MiB
// (--benchmark_filter=BM_ImportIntoMailing/1): after the first import the
// allocator keeps the freed memory of the main thread, which the worker does
// not reuse, so the second import's peak would count it too.
void BM_ImportIntoMailing(benchmark::State &state)
{
    const bool background = state.range(0) != 0;
    const QString &path = csvPath();
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = std::make_unique<MyDocument>(SystemClock::instance());
        doc->InitialSetupKeyArrayController();
        for (const QString &name : {u"first"_s, u"last"_s, u"town"_s, u"customer"_s}) {
            const QString inner = doc->getUniqueNewInnerColName();
            doc->keyArray().append(Value(DocumentKeys::makeDbKey(inner, name)));
        }
        doc->setUpOpenedDocument();
        ScriptedFilePanel panel;
        ScriptedAlertPresenter alerts;
        TimedLoop loop;
        doc->setMainLoop(&loop);
        auto imports = std::make_unique<DocumentImport>(*doc, LXDataImportManager::Services{panel, alerts, loop});
        resetPeakMemory();
        const double heapBefore = heapBytesInUse();
        state.ResumeTiming();

        const auto timed = [&](const std::function<void()> &step) { loop.timed(step); };
        const auto untilDone = [&](LXDataImportManager &importer) {
            while (importer.isRunning()) {
                loop.waitForPending(std::chrono::milliseconds(100));
                loop.runPending();
            }
            loop.runPending();
        };

        panel.queueOpenAnswer(path);
        MyDataImportManager *importer = nullptr;
        timed([&] {
            importer = &imports->importFromTextFile();
            importer->setRunsInBackground(background);
        });
        loop.runPending();
        untilDone(*importer);
        state.counters["loaded_peak_MiB"] = peakMemoryMiB();
        timed([&] { importer->tryAssignFromFirstRow(); });
        timed([&] { importer->DoImport(); });
        untilDone(*importer);

        state.PauseTiming();
        if (importer->numberOfImportedFields() != 5 || doc->addressArray().size() != kLines - 1)
            state.SkipWithError("the import did not map or add what it should");
        const double records = double(doc->addressArray().size());
        state.counters["records"] = records;
        state.counters["peak_MiB"] = peakMemoryMiB();
        state.counters["longest_turn_ms"] = loop.longestMs();
        // What the mailing keeps per record once the import is over (the
        // loaded rows are gone by then), then what the database's views and
        // the row index of its list and views add when the window shows them.
        const double heapImported = heapBytesInUse();
        state.counters["heap_B_per_record"] = (heapImported - heapBefore) / records;
        doc->addresses().filterShownAndChecked();
        const Dict last = doc->addressArray().at(doc->addressArray().size() - 1).toDict();
        if (doc->addresses().rowOf(last) < 0 || doc->addresses().shown().indexOf(last) < 0)
            state.SkipWithError("the last record is not found");
        state.counters["views_B_per_record"] = (heapBytesInUse() - heapImported) / records;
        imports.reset();
        doc.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ImportIntoMailing)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

// The yardstick, measured in the same run: Debian's python3 reading the same
// file with the csv module into a list of dicts. Its own time (interpreter
// start-up excluded) and its peak resident memory are the counters; the
// benchmark's time includes the interpreter's start.
void BM_PythonCsvDictReader(benchmark::State &state)
{
    // The peak is read from VmHWM: getrusage's figure would still hold the
    // peak of this process, which the child was forked from.
    const QString script = u"import csv, sys, time\n"
                           "start = time.perf_counter()\n"
                           "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                           "    rows = list(csv.DictReader(f))\n"
                           "elapsed = time.perf_counter() - start\n"
                           "peak = [l.split()[1] for l in open('/proc/self/status') if l.startswith('VmHWM:')][0]\n"
                           "print(elapsed, len(rows), peak)\n"_s;
    const QString &path = csvPath();
    for (auto _ : state) {
        QProcess python;
        python.start(u"python3"_s, {u"-c"_s, script, path});
        if (!python.waitForFinished(600000) || python.exitCode() != 0) {
            state.SkipWithError("python3 did not run");
            break;
        }
        const QList<QByteArray> figures = python.readAllStandardOutput().trimmed().split(' ');
        if (figures.size() != 3) {
            state.SkipWithError("unexpected output from python3");
            break;
        }
        state.counters["python_s"] = figures[0].toDouble();
        state.counters["records"] = figures[1].toDouble();
        state.counters["peak_MiB"] = figures[2].toDouble() / 1024.0;
    }
}
BENCHMARK(BM_PythonCsvDictReader)->Unit(benchmark::kMillisecond)->Iterations(1);

// 1,000,000 address records with five user values, exported as plain CSV.
void BM_ExportCsv(benchmark::State &state)
{
    List::Items items;
    items.reserve(kLines);
    for (int i = 0; i < kLines; ++i) {
        items.emplace_back(Dict{{u"1"_s, Value(qint64(i + 1))},
                                {u"2"_s, Value(false)},
                                {u"3"_s, Value(u"member%1@example.org"_s.arg(i))},
                                {u"4"_s, Value(QString::fromUtf8(kFirst[i % 16]))},
                                {u"5"_s, Value(QString::fromUtf8(kLast[(i / 16) % 16]))},
                                {u"6"_s, Value(QString::fromUtf8(kTown[i % 8]) + u"-Mitte"_s)},
                                {u"7"_s, Value(u"Customer, since %1"_s.arg(1990 + i % 35))}});
    }
    List::Items keys;
    for (int k = 3; k <= 7; ++k)
        keys.emplace_back(Dict{{DocumentKeys::innerKey(), Value(QString::number(k))},
                               {DocumentKeys::publicKey(), Value(u"key%1"_s.arg(k))}});
    ExportWriter::Job job;
    job.records = List(std::move(items));
    job.keys = List(std::move(keys));
    job.format = ExportDelimiters::FormatCsv;
    job.delimiters = ExportDelimiters::forFormat(ExportDelimiters::FormatCsv);
    job.namesRow = true;
    QTemporaryDir dir;
    const QString path = dir.filePath(u"export.csv"_s);
    for (auto _ : state) {
        if (!ExportWriter::writeFile(path, job))
            state.SkipWithError("write failed");
    }
    state.counters["bytes"] = double(QFile(path).size());
}
BENCHMARK(BM_ExportCsv)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same export as the window's save runs it: within the call (argument
// 0) or on a worker (1), with the longest time the main thread was busy in
// one go.
void BM_ExportThroughManager(benchmark::State &state)
{
    const bool background = state.range(0) != 0;
    List::Items items;
    items.reserve(kLines);
    for (int i = 0; i < kLines; ++i) {
        items.emplace_back(Dict{{u"3"_s, Value(u"member%1@example.org"_s.arg(i))},
                                {u"4"_s, Value(QString::fromUtf8(kFirst[i % 16]))},
                                {u"5"_s, Value(QString::fromUtf8(kLast[(i / 16) % 16]))},
                                {u"6"_s, Value(QString::fromUtf8(kTown[i % 8]) + u"-Mitte"_s)},
                                {u"7"_s, Value(u"Customer, since %1"_s.arg(1990 + i % 35))}});
    }
    const List records(std::move(items));
    List::Items keys;
    for (int k = 3; k <= 7; ++k)
        keys.emplace_back(DocumentKeys::makeDbKey(QString::number(k), u"key%1"_s.arg(k)));
    const List keyList(std::move(keys));
    QTemporaryDir dir;
    const QString path = dir.filePath(u"export.csv"_s);
    for (auto _ : state) {
        ScriptedFilePanel panel;
        ScriptedAlertPresenter alerts;
        ManualMainLoop loop;
        LXDataExportManager manager(records, keyList, nullptr, {panel, alerts, &loop}, QLocale::c());
        manager.addAllToRight();
        manager.setFileFormatToSave(ExportDelimiters::FormatCsv);
        manager.setUseFieldNamesAsFirstRow(true);
        manager.setRunsInBackground(background);
        panel.queueSaveAnswer(path);
        double longestTurn = 0;
        QElapsedTimer turn;
        turn.start();
        manager.DoExportSetting();
        longestTurn = double(turn.nsecsElapsed()) / 1e6;
        while (manager.isWriting()) {
            loop.waitForPending(std::chrono::milliseconds(100));
            turn.start();
            loop.runPending();
            longestTurn = std::max(longestTurn, double(turn.nsecsElapsed()) / 1e6);
        }
        state.counters["longest_turn_ms"] = longestTurn;
        if (!alerts.shown().isEmpty())
            state.SkipWithError("write failed");
    }
    state.counters["bytes"] = double(QFile(path).size());
}
BENCHMARK(BM_ExportThroughManager)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
