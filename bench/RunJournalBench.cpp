// The journal of a send run alone: what it adds to each message (two lines
// and one fdatasync, on this machine's disk; beside it a bare write and
// fdatasync of the same bytes, as the disk is shared and its flushes vary
// with the load), and the size and the
// reading back of the journal of a 100,000-recipient run.

#include "send/RunJournal.h"
#include "send/RunJournalContents.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

const QDateTime start = QDateTime::fromMSecsSinceEpoch(1765180800000, Qt::UTC);

// Next to the build, on the disk the program runs from (the temporary
// folder may be in memory).
QString diskFolder()
{
    return QDir::currentPath() + u"/run-journal-bench-XXXXXX"_s;
}

QString address(qint64 i)
{
    return u"firstname.lastname%1@example-company.org"_s.arg(i);
}

QString acceptedReply(qint64 i)
{
    return u"250 2.0.0 Ok: queued as 4F3kLm%1"_s.arg(i, 6, 16, QChar(u'0'));
}

// A message: handed to the server, then accepted.
void BM_JournalPerMessage(benchmark::State &state)
{
    QTemporaryDir dir(diskFolder());
    Result<std::unique_ptr<RunJournal>> journal =
        RunJournal::create(dir.filePath(u"run.run"_s), u"/home/user/Mailing.quillcast"_s, start);
    if (!journal) {
        state.SkipWithError(journal.error().toStdString().c_str());
        return;
    }
    constexpr qint64 recipients = 100000;
    std::vector<RunJournal::Queued> queued;
    for (qint64 i = 0; i < recipients; ++i)
        queued.push_back({i, QString::number(i + 1)});
    (void)journal.value()->queued(queued);
    qint64 i = 0;
    for (auto _ : state) {
        const QDateTime now = start.addSecs(i);
        if (!journal.value()->handed(i, address(i), now) || !journal.value()->accepted(i, acceptedReply(i), now)) {
            state.SkipWithError("the journal could not be written");
            return;
        }
        i = (i + 1) % recipients;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_JournalPerMessage)->Unit(benchmark::kMillisecond)->Iterations(2000);

// The disk's own cost: the same bytes per message, written and flushed once.
void BM_BareWriteAndFdatasync(benchmark::State &state)
{
    QTemporaryDir dir(diskFolder());
    QFile file(dir.filePath(u"bare"_s));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        state.SkipWithError("no file");
        return;
    }
    qint64 i = 0;
    for (auto _ : state) {
        const QByteArray bytes =
            RunJournal::line({u"H"_s, QString::number(i), u"1765180800000"_s, address(i)}) +
            RunJournal::line({u"A"_s, QString::number(i), u"1765180800000"_s, acceptedReply(i)});
        if (file.write(bytes) != bytes.size() || ::fdatasync(file.handle()) != 0) {
            state.SkipWithError("the file could not be written");
            return;
        }
        ++i;
    }
}
BENCHMARK(BM_BareWriteAndFdatasync)->Unit(benchmark::kMillisecond)->Iterations(2000);

// The lines of a whole run of 100,000 recipients, each handed and answered
// (one in fifty refused), written as the run writes them but without a
// flush per line, then read back.
void BM_ReadBackJournalOf100000(benchmark::State &state)
{
    constexpr qint64 recipients = 100000;
    QTemporaryDir dir(diskFolder());
    const QString path = dir.filePath(u"run.run"_s);
    {
        QByteArray bytes = RunJournal::line({u"quillcast-run"_s, u"1"_s, u"/home/user/Mailing.quillcast"_s,
                                             QString::number(start.toMSecsSinceEpoch())});
        for (qint64 i = 0; i < recipients; ++i)
            bytes += RunJournal::line({u"Q"_s, QString::number(i), QString::number(i + 1)});
        for (qint64 i = 0; i < recipients; ++i) {
            const QString millis = QString::number(start.toMSecsSinceEpoch() + i * 1000);
            bytes += RunJournal::line({u"H"_s, QString::number(i), millis, address(i)});
            if (i % 50 == 0)
                bytes += RunJournal::line({u"R"_s, QString::number(i), millis, u"550"_s,
                                           u"5.1.1 <%1>: Recipient address rejected: User unknown"_s.arg(address(i))});
            else
                bytes += RunJournal::line({u"A"_s, QString::number(i), millis, acceptedReply(i)});
        }
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            state.SkipWithError("the journal could not be written");
            return;
        }
        state.counters["journal_MB"] = double(bytes.size()) / 1e6;
    }
    for (auto _ : state) {
        const Result<RunJournalContents> run = RunJournalContents::read(path);
        if (!run || run->recipients().size() != size_t(recipients) ||
            run->count(RunJournalContents::Outcome::Accepted) != recipients - recipients / 50) {
            state.SkipWithError("the journal did not read back");
            return;
        }
        benchmark::DoNotOptimize(run->recipients().data());
    }
}
BENCHMARK(BM_ReadBackJournalOf100000)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
