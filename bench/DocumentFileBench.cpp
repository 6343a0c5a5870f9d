// Saving and opening a large mailing: 100,000 records with 10 user columns,
// all of them on the send list too, and 10,000 exceptions.
#include "document/DocumentFile.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/SystemClock.h"
#include "platform/NullUrlOpener.h"
#include "ScriptedAlertPresenter.h"

#include <benchmark/benchmark.h>

#include <QFile>

#include <malloc.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

void fill(MyDocument &doc)
{
    doc.setUpOpenedDocument();
    static const QStringList names{u"FirstName"_s, u"LastName"_s, u"Street"_s, u"City"_s,    u"Zip"_s,
                                   u"Country"_s,   u"Phone"_s,    u"Company"_s, u"Member"_s, u"Note"_s};
    for (const QString &name : names)
        doc.keyArray().append(DocumentKeys::makeDbKey(doc.getUniqueNewInnerColName(), name));
    List::Items records;
    records.reserve(100000);
    for (int i = 0; i < 100000; ++i) {
        Dict::Entries e;
        e.emplace_back(u"1"_s, i + 1);
        e.emplace_back(u"2"_s, i % 3 == 0);
        e.emplace_back(u"3"_s, u"person%1@example.org"_s.arg(i));
        for (int k = 0; k < 10; ++k)
            e.emplace_back(QString::number(k + 4), u"%1 value %2"_s.arg(names[k]).arg(i % 977));
        records.emplace_back(Dict(std::move(e)));
    }
    doc.addressArray().setItems(records);
    doc.sendArray().setItems(records);
    List::Items exceptions;
    const QDateTime when(QDate(2026, 1, 1), QTime(8, 0), QTimeZone::utc());
    for (int i = 0; i < 10000; ++i)
        exceptions.emplace_back(Dict{{u"num"_s, i + 1},
                                     {u"sel"_s, false},
                                     {u"email"_s, u"blocked%1@example.net"_s.arg(i)},
                                     {u"date"_s, when.addSecs(i)},
                                     {u"note"_s, u"unsubscribed"_s}});
    doc.exceptArray().setItems(exceptions);
}

// Peak resident memory since the last reset, in bytes (Linux).
qint64 peakRss()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return 0;
}

qint64 currentRss()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    }
    return 0;
}

void resetPeakRss()
{
    // Give memory freed by earlier work back to the system first, so that the
    // peak measured is what the open itself needs.
    malloc_trim(0);
    QFile clearRefs(u"/proc/self/clear_refs"_s);
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

void BM_SaveMailing100k(benchmark::State &state)
{
    MyDocument doc{SystemClock::instance()};
    fill(doc);
    qsizetype size = 0;
    for (auto _ : state) {
        const QByteArray bytes = DocumentFile::dataOfType(doc).value();
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["file MB"] = double(size) / 1e6;
}
BENCHMARK(BM_SaveMailing100k)->Unit(benchmark::kMillisecond);

void BM_OpenMailing100k(benchmark::State &state)
{
    QByteArray bytes;
    {
        MyDocument doc{SystemClock::instance()};
        fill(doc);
        bytes = DocumentFile::dataOfType(doc).value();
    }
    ScriptedAlertPresenter alerts;
    double peakRatio = 0;
    for (auto _ : state) {
        resetPeakRss();
        const qint64 before = currentRss();
        {
            MyDocument doc{SystemClock::instance()};
            if (!DocumentFile::readFromData(doc, bytes, alerts, NullUrlOpener::instance()))
                state.SkipWithError("the mailing did not open");
            benchmark::DoNotOptimize(doc.addressArray().size());
        }
        peakRatio = std::max(peakRatio, double(peakRss() - before) / double(bytes.size()));
    }
    state.counters["file MB"] = double(bytes.size()) / 1e6;
    state.counters["peak/file"] = peakRatio;
}
BENCHMARK(BM_OpenMailing100k)->Unit(benchmark::kMillisecond);

} // namespace
