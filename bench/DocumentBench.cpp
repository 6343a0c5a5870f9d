// Work over every record of a large mailing: re-evaluation of the database's
// shown view (behind every keystroke in its search field), of its checked
// view (at every open), and an export.
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "export/ExportWriter.h"
#include "platform/SystemClock.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QStringList>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kRecords = 1'000'000;

const QStringList &firstNames()
{
    static const QStringList names{u"Anna"_s,   u"Ben"_s,   u"Clara"_s,  u"David"_s, u"Elif"_s,  u"Felix"_s,
                                   u"Greta"_s,  u"Hannes"_s, u"Ida"_s,   u"Jonas"_s, u"Katrin"_s, u"Lukas"_s,
                                   u"Marie"_s,  u"Noah"_s,  u"Olga"_s,   u"Paul"_s,  u"Rosa"_s,  u"Simon"_s,
                                   u"Tilda"_s,  u"Umut"_s,  u"Vera"_s,   u"Wim"_s,   u"Yara"_s,  u"Zoë"_s};
    return names;
}

const QStringList &lastNames()
{
    static const QStringList names{u"Müller"_s,  u"Schmidt"_s, u"Schneider"_s, u"Fischer"_s, u"Weber"_s,
                                   u"Meyer"_s,   u"Wagner"_s,  u"Becker"_s,    u"Schulz"_s,  u"Hoffmann"_s,
                                   u"Koch"_s,    u"Richter"_s, u"Klein"_s,     u"Wolf"_s,    u"Schröder"_s,
                                   u"Neumann"_s, u"Yilmaz"_s,  u"Braun"_s,     u"Zimmermann"_s, u"Krüger"_s};
    return names;
}

// 100 towns: searching one of them shows 1% of the records.
QStringList towns()
{
    const QStringList stems{u"Aachen"_s, u"Bamberg"_s, u"Celle"_s,   u"Dresden"_s, u"Erfurt"_s,
                            u"Fulda"_s,  u"Görlitz"_s, u"Hameln"_s,  u"Ingolstadt"_s, u"Jena"_s};
    const QStringList districts{u"Nord"_s, u"Süd"_s,   u"Ost"_s,    u"West"_s,  u"Mitte"_s,
                                u"Altstadt"_s, u"Hafen"_s, u"Heide"_s, u"Berg"_s, u"Tal"_s};
    QStringList out;
    for (const QString &s : stems)
        for (const QString &d : districts)
            out.append(s + u'-' + d);
    return out;
}

// Fixed keys plus Name ("4") and Town ("5"); one million records.
MyDocument &mailing()
{
    static MyDocument *doc = [] {
        auto *d = new MyDocument(SystemClock::instance());
        d->InitialSetupKeyArrayController();
        d->keyArray().append(Value(DocumentKeys::makeDbKey(u"4"_s, u"Name"_s)));
        d->keyArray().append(Value(DocumentKeys::makeDbKey(u"5"_s, u"Town"_s)));
        const QStringList places = towns();
        List::Items records;
        records.reserve(size_t(kRecords));
        for (qsizetype i = 0; i < kRecords; ++i) {
            const QString first = firstNames().at(i % firstNames().size());
            const QString last = lastNames().at((i / 7) % lastNames().size());
            const QString email = first.toLower() + u'.' + last.toLower() + QString::number(i) + u"@example.org"_s;
            records.emplace_back(Dict{{u"1"_s, qint64(i + 1)},
                                      {u"2"_s, i % 3 == 0},
                                      {u"3"_s, email},
                                      {u"4"_s, QString(first + u' ' + last)},
                                      {u"5"_s, places.at(i % places.size())}});
        }
        d->setAddressArray(List(std::move(records)));
        d->setUpOpenedDocument();
        return d;
    }();
    return *doc;
}

void filterWith(benchmark::State &state, const QString &search)
{
    MyDocument &doc = mailing();
    doc.setSearchFieldStr(search);
    for (auto _ : state) {
        doc.filterAddresses();
        benchmark::DoNotOptimize(doc.addressArrayShown().size());
    }
    state.counters["shown"] = double(doc.addressArrayShown().size());
    state.SetItemsProcessed(state.iterations() * kRecords);
}

void BM_FilterAddresses_OnePercent(benchmark::State &state)
{
    filterWith(state, u"Fulda-Hafen"_s);
}

void BM_FilterAddresses_NoMatch(benchmark::State &state)
{
    filterWith(state, u"nobody@nowhere"_s);
}

void BM_FilterAddresses_NoSearchText(benchmark::State &state)
{
    filterWith(state, u""_s);
}

// The checked view and the any-checked flag as an open sets them up: one
// read of the checked flag per record.
void BM_RearrangeChecked(benchmark::State &state)
{
    MyDocument &doc = mailing();
    for (auto _ : state) {
        doc.updateIsCheckedRecords();
        benchmark::DoNotOptimize(doc.addresses().checked().size());
    }
    state.counters["checked"] = double(doc.addresses().checked().size());
    state.SetItemsProcessed(state.iterations() * kRecords);
}

// Writing every record of the mailing in a layout (the argument: its format
// code) as UTF-8 to a device that keeps nothing.
void BM_ExportWrite(benchmark::State &state)
{
    MyDocument &doc = mailing();
    ExportWriter::Job job;
    job.records = doc.addressArray();
    job.keys = doc.keyArray();
    job.format = qint32(state.range(0));
    job.delimiters = ExportDelimiters::forFormat(job.format);
    QFile sink(u"/dev/null"_s);
    if (!sink.open(QIODevice::WriteOnly)) {
        state.SkipWithError("cannot open /dev/null");
        return;
    }
    for (auto _ : state) {
        if (!ExportWriter::write(sink, job).ok())
            state.SkipWithError("the export failed");
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}

} // namespace

BENCHMARK(BM_RearrangeChecked)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportWrite)->Arg(ExportDelimiters::FormatCsv)->Arg(ExportDelimiters::FormatHtmlTable)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterAddresses_OnePercent)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterAddresses_NoMatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterAddresses_NoSearchText)->Unit(benchmark::kMillisecond);
