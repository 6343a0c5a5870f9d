// A 1,000,000-row CSV imported into an open mailing through the window's
// import dialogs (chooser answer, loading sheet, mapping sheet with the
// first-row tool, importing sheet) beside the command line's `import` of the
// same file into the same mailing, in one run.
//
// Counters:
// - BM_ImportThroughDialogs: longest_stall_ms, the longest time the event
//   loop went without turning (a 5 ms timer's largest gap, painting of the
//   sheets included); peak_MiB, this process's peak resident memory from the
//   start of the import to its end; records; save_ms, the save that follows (the
//   window saves a moment after the import; the command line's time
//   includes its save).
// - BM_ImportWithCommandLine: the child's wall time (its own start and the
//   save included) and peak_MiB, its peak resident memory.
#include "DialogFixture.h"
#include "LargeImportFile.h"
#include "OffscreenBenchmarks.h"
#include "import/ImportFlow.h"
#include "import/ImportMappingSheet.h"

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

using namespace quillcast;
using namespace quillcast::gui;
using namespace quillcast::gui::testing;
using namespace Qt::StringLiterals;

namespace {

const QStringList kColumns{u"first"_s, u"last"_s, u"town"_s, u"customer"_s};

// The largest gap between the turns of a 5 ms timer while it runs.
class StallMeter
{
public:
    StallMeter()
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer,
                         [this] { m_longest = std::max(m_longest, m_sinceTick.restart()); });
        m_sinceTick.start();
        m_timer.start();
    }
    qint64 longestMs() const { return m_longest; }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    qint64 m_longest = 0;
};

void BM_ImportThroughDialogs(benchmark::State &state)
{
    const QString &path = quillcast::bench::csvPath();
    for (auto _ : state) {
        state.PauseTiming();
        auto fixture = std::make_unique<DialogFixture>(DialogFixture::Panel::Scripted);
        MyDocument &doc = fixture->doc();
        for (const QString &name : kColumns)
            doc.keyArray().append(Value(DocumentKeys::makeDbKey(doc.getUniqueNewInnerColName(), name)));
        ImportFlow flow(*fixture->context);
        fixture->scriptedPanel.queueOpenAnswer(path);
        QEventLoop loop;
        bool imported = false;
        QObject::connect(&flow, &ImportFlow::stageChanged, &loop, [&](ImportFlow::Stage stage) {
            if (stage != ImportFlow::Stage::Mapping)
                return;
            // The user's part: match the columns by the first row, then Import.
            QTimer::singleShot(0, &loop, [&flow] {
                ImportMappingSheet *sheet = flow.mappingSheet();
                sheet->toolButton(ImportMappingSheet::Tool::FromFirstRow)->click();
                sheet->findChild<QPushButton *>(u"importButton"_s)->click();
            });
        });
        QObject::connect(&flow, &ImportFlow::finished, &loop, [&](bool done) {
            imported = done;
            loop.quit();
        });
        quillcast::bench::resetPeakMemory();
        state.ResumeTiming();

        StallMeter stalls;
        flow.startAddressImport();
        loop.exec();

        state.PauseTiming();
        state.counters["longest_stall_ms"] = double(stalls.longestMs());
        state.counters["peak_MiB"] = quillcast::bench::peakMemoryMiB();
        state.counters["records"] = double(doc.addressArray().size());
        if (!imported || doc.addressArray().size() != quillcast::bench::kLines - 1)
            state.SkipWithError("the import did not add what it should");
        QTemporaryDir dir;
        QElapsedTimer saving;
        saving.start();
        if (!fixture->session.saveAs(dir.filePath(u"m.quill"_s)))
            state.SkipWithError("the save failed");
        state.counters["save_ms"] = double(saving.elapsed());
        fixture.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ImportThroughDialogs)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// The command line: a new mailing with the same columns, then `import`
// timed on its own (wall time of the child, through /usr/bin/time for its
// peak memory).
void BM_ImportWithCommandLine(benchmark::State &state)
{
    const QString &path = quillcast::bench::csvPath();
    const QString cli = QStringLiteral(QUILLCAST_CLI);
    const auto run = [&](const QStringList &arguments) {
        QProcess process;
        process.start(u"/usr/bin/time"_s, QStringList{u"-f"_s, u"%M"_s, cli} + arguments);
        process.waitForFinished(-1);
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            state.SkipWithError(qPrintable(u"quillcast-cli %1 failed"_s.arg(arguments.join(u' '))));
        const QList<QByteArray> lines = process.readAllStandardError().trimmed().split('\n');
        return lines.last().toDouble() / 1024.0;
    };
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        const QString mailing = dir.filePath(u"m.quill"_s);
        run({u"new"_s, mailing});
        for (const QString &name : kColumns)
            run({u"column"_s, u"add"_s, mailing, name});
        state.ResumeTiming();
        const double peak = run({u"import"_s, mailing, path});
        state.counters["peak_MiB"] = peak;
    }
}
BENCHMARK(BM_ImportWithCommandLine)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    return quillcast::bench::runOffscreenBenchmarks(argc, argv);
}
