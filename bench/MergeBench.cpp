// Merge of a realistic HTML newsletter: a 10 KB template holding 30 field
// tags, merged with a record of 30 user keys the way a send run merges each
// record (tag table from the document's cache, record and clock read, one
// scan), and through the two separate passes.
#include "merge/MergeTagCache.h"
#include "merge/RecordMerge.h"
#include "merge/TagSubstitution.h"
#include "platform/FixedClock.h"

#include <benchmark/benchmark.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

struct Fixture
{
    List keys;
    Dict record;
    QString html;

    explicit Fixture(bool accented)
    {
        keys.append(Dict{{u"innerKey"_s, u"1"_s}, {u"publicKey"_s, u"#"_s}});
        keys.append(Dict{{u"innerKey"_s, u"2"_s}, {u"publicKey"_s, u"sel"_s}});
        keys.append(Dict{{u"innerKey"_s, u"3"_s}, {u"publicKey"_s, u"email"_s}});
        record.set(u"1"_s, 42);
        record.set(u"2"_s, true);
        record.set(u"3"_s, u"jane.doe@example.com"_s);
        for (int i = 0; i < 30; ++i) {
            const QString inner = QString::number(i + 4);
            keys.append(Dict{{u"innerKey"_s, inner}, {u"publicKey"_s, u"Field%1"_s.arg(i)}});
            record.set(inner, u"value number %1 for this recipient"_s.arg(i));
        }
        html = u"<html><head><title>Newsletter _dd_/_mm_/_yyyy_</title></head><body>\n"_s;
        const QString filler = accented ? u"<p>Chère lectrice, cher lecteur, voici les nouvelles de la saison. </p>\n"_s
                                        : u"<p>Dear reader, here is the news of the season, with links and more. </p>\n"_s;
        int tag = 0;
        while (html.size() < 10 * 1024) {
            html += filler;
            if (tag < 30 && html.size() > tag * 320)
                html += u"<p>Your _Field%1_ is shown here.</p>\n"_s.arg(tag++);
        }
        while (tag < 30)
            html += u"<p>_Field%1_</p>\n"_s.arg(tag++);
        html += u"<p>Sent to _email_ (#_#_)</p></body></html>\n"_s;
    }
};

void mergeTemplate(benchmark::State &state, bool accented)
{
    const Fixture f(accented);
    const FixedClock clock(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 3), QTimeZone::utc()));
    const MergeTagCache cache;
    for (auto _ : state) {
        QString merged = RecordMerge(cache.tagsFor(f.keys), f.record, clock).merge(f.html);
        benchmark::DoNotOptimize(merged);
    }
    state.counters["merges/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["template KB"] = double(f.html.size()) / 1024.0;
}

void BM_MergeHtmlTemplate30Tags(benchmark::State &state)
{
    mergeTemplate(state, false);
}
BENCHMARK(BM_MergeHtmlTemplate30Tags);

void BM_MergeAccentedHtmlTemplate30Tags(benchmark::State &state)
{
    mergeTemplate(state, true);
}
BENCHMARK(BM_MergeAccentedHtmlTemplate30Tags);

// The time pass and then the record pass, each compiling its own tag table.
void BM_TwoPassesHtmlTemplate30Tags(benchmark::State &state)
{
    const Fixture f(false);
    const FixedClock clock(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 3), QTimeZone::utc()));
    for (auto _ : state) {
        QString merged = TagSubstitution::performTextSubstitution(
            TagSubstitution::performTextSubstitutionNoDB(f.html, clock), f.keys, f.record);
        benchmark::DoNotOptimize(merged);
    }
    state.counters["merges/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_TwoPassesHtmlTemplate30Tags);

} // namespace
