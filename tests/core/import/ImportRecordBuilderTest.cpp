#include "TestPrinters.h"
#include "import/ImportLines.h"
#include "import/ImportRecordBuilder.h"
#include "import/RowSplitter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <limits>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

using Keys = ImportRecordBuilder::ColumnKeys;

ImportRows tabRows(const QString &text)
{
    Result<ImportRows> rows = RowSplitter::splitRows(ImportLines(text), RowSplitter::FormatTab);
    EXPECT_TRUE(rows.ok());
    return std::move(rows).value();
}

// Enough rows for the run to be split between threads: every row has its
// number, a value repeated down the column, a mostly distinct one; every
// 997th row is short, every 1009th empty.
QString manyRows(int count)
{
    static const char16_t *const towns[] = {u"Rome", u"Zürich", u"São Paulo", u"Cork"};
    QString text;
    for (int i = 0; i < count; ++i) {
        if (i % 1009 == 5)
            text += u'\n';
        else if (i % 997 == 3)
            text += u"only%1\n"_s.arg(i);
        else
            text += u"m%1@x.org\t%2\t%3\t%4\n"_s.arg(i).arg(QStringView(towns[i % 4])).arg(i * 7919 % 100003).arg(i % 2);
    }
    return text;
}

// The record template of the address importer: "1" numbered, "2" unchecked, "3" empty.
ImportRecordBuilder::Template addressTemplate(qint64 firstSerial)
{
    return {{{u"1"_s, Value(qint64(0))}, {u"2"_s, Value(false)}, {u"3"_s, Value(QString(u""_s))}},
            u"1"_s,
            firstSerial};
}

QStringList texts(const List::Items &records)
{
    QStringList out;
    for (const Value &r : records) {
        QStringList entries;
        for (const auto &[key, value] : r.toDict().snapshot().entries())
            entries.append(key + u'=' + Value::typeName(value.type()) + u':' + value.toString());
        out.append(entries.join(u';'));
    }
    return out;
}

} // namespace

TEST(ImportRecordBuilder, FillsTheTemplateAsTheRunWithinTheCallDoes)
{
    // Columns: email to "3", a second column to "5" (not in the template),
    // a third to "5" as well (the later one wins), a fourth not imported.
    // A row wider than those goes by the listed keys.
    const ImportRows rows = tabRows(u"a@x\tAnn\tAnna\tz\nb@x\nc@x\tCid\nd@x\tDan\tDani\tq\tw\ne@x"_s);
    const ImportRecordBuilder builder(addressTemplate(7), Keys{u"3"_s, u"5"_s, u"5"_s, std::nullopt},
                                      Keys{u"3"_s, u"6"_s, std::nullopt, std::nullopt, u"9"_s});
    const std::optional<ImportRecordBuilder::Built> built = builder.build(rows, 0, rows.rowCount(), false);
    ASSERT_TRUE(built);
    EXPECT_EQ(texts(built->records),
              (QStringList{u"1=integer:7;2=boolean:0;3=string:a@x;5=string:Anna"_s,
                           u"1=integer:8;2=boolean:0;3=string:b@x"_s, // short: no "5" at all
                           u"1=integer:9;2=boolean:0;3=string:c@x;5=string:Cid"_s,
                           u"1=integer:10;2=boolean:0;3=string:d@x;6=string:Dan;9=string:w"_s,
                           u"1=integer:11;2=boolean:0;3=string:e@x"_s}));
}

TEST(ImportRecordBuilder, SerialNumbersStopAtTheLargest)
{
    const ImportRows rows = tabRows(u"a\nb\nc\n"_s);
    constexpr qint64 kLargest = std::numeric_limits<qint64>::max();
    const ImportRecordBuilder builder(addressTemplate(kLargest - 1), Keys{u"3"_s}, Keys{});
    const std::optional<ImportRecordBuilder::Built> built = builder.buildAll(rows, true, 2);
    ASSERT_TRUE(built && built->firstRow);
    EXPECT_EQ(built->firstRow->intValue(u"1"_s), kLargest - 1);
    ASSERT_EQ(built->records.size(), 2u);
    EXPECT_EQ(built->records[0].toDict().intValue(u"1"_s), kLargest);
    EXPECT_EQ(built->records[1].toDict().intValue(u"1"_s), kLargest);
}

TEST(ImportRecordBuilder, RunSplitBetweenThreadsGivesTheRecordsOfOnePass)
{
    const struct { const char *name; int rows; bool holdFirst; int threads; } cases[] = {
        {"two threads", 20000, false, 2},
        {"two threads, first row held back", 20000, true, 2},
        {"three uneven parts", 20001, true, 3},
        {"too few rows to split", 100, false, 2},
    };
    const ImportRecordBuilder builder(addressTemplate(1), Keys{u"3"_s, u"4"_s, u"5"_s, u"6"_s},
                                      Keys{u"3"_s, u"4"_s, u"5"_s, u"6"_s});
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ImportRows rows = tabRows(manyRows(c.rows));
        const std::optional<ImportRecordBuilder::Built> one = builder.build(rows, 0, rows.rowCount(), c.holdFirst);
        std::atomic<qsizetype> lastDone{-1};
        const std::optional<ImportRecordBuilder::Built> split =
            builder.buildAll(rows, c.holdFirst, c.threads, [&](qsizetype done) {
                EXPECT_GE(done, lastDone.load()) << "progress only goes forward";
                lastDone = done;
                return true;
            });
        ASSERT_TRUE(one && split);
        EXPECT_EQ(texts(split->records), texts(one->records));
        ASSERT_EQ(split->firstRow.has_value(), c.holdFirst);
        if (c.holdFirst) {
            EXPECT_EQ(split->firstRow->snapshot().entries(), one->firstRow->snapshot().entries());
        }
        // The records are separate objects, each made once.
        for (size_t i = 1; i < split->records.size(); ++i)
            ASSERT_FALSE(Dict::sameObject(split->records[i - 1].toDict(), split->records[i].toDict()));
    }
}

TEST(ImportRecordBuilder, AStopAskedOnTheCallingThreadStopsEveryPart)
{
    const ImportRows rows = tabRows(manyRows(20000));
    const ImportRecordBuilder builder(addressTemplate(1), Keys{u"3"_s, u"4"_s}, Keys{});
    int asked = 0;
    EXPECT_FALSE(builder.buildAll(rows, false, 2, [&](qsizetype) { return ++asked < 2; }));
}
