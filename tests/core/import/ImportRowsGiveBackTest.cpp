#include "TestPrinters.h"
#include "import/ImportLines.h"
#include "import/ImportRecordBuilder.h"
#include "import/RowSplitter.h"

#include <gtest/gtest.h>

#include <thread>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

// Rows of one to four fields, some quoted across a line break, enough of
// them to span many pages of text and of the row tables.
QString mixedRows(int count)
{
    QString text;
    for (int i = 0; i < count; ++i) {
        if (i % 499 == 3)
            text += u"\"two\nlines %1\",x\n"_s.arg(i);
        else
            text += u"m%1@x.org,Zoë %2,%3\n"_s.arg(i).arg(i % 7).arg(QString(i % 5, u'w'));
    }
    return text;
}

QList<QStringList> rowsIn(const ImportRows &rows, qsizetype first, qsizetype last)
{
    QList<QStringList> out;
    for (qsizetype r = first; r < last; ++r)
        out.append(rows.fields(r));
    return out;
}

} // namespace

// Two threads give back their parts side by side: the rows around the parts,
// those whose tables share a page with them included, read as before.
TEST(ImportRowsGiveBack, RowsOutsideThePartsReadAsBefore)
{
    Result<ImportRows> split = RowSplitter::splitRows(ImportLines(mixedRows(40000)), RowSplitter::FormatComma);
    ASSERT_TRUE(split.ok());
    ImportRows rows = std::move(split).value();
    const qsizetype count = rows.rowCount();
    ASSERT_EQ(count, 40000);
    const QList<QStringList> head = rowsIn(rows, 0, 101);
    const QList<QStringList> tail = rowsIn(rows, 38999, count);

    std::thread other([&] { rows.giveBackRows(20000, 39000); });
    rows.giveBackRows(101, 20000);
    other.join();
    EXPECT_EQ(rowsIn(rows, 0, 101), head);
    EXPECT_EQ(rowsIn(rows, 38999, count), tail);
    // The last rows, whose text has no row after it to end it, may go too.
    rows.giveBackRows(39000, count);
    EXPECT_EQ(rowsIn(rows, 38999, 39000), tail.mid(0, 1));
}

// Rows split from text another string still holds leave that text alone.
TEST(ImportRowsGiveBack, KeepsTextSharedWithAnotherString)
{
    const QString text = mixedRows(20000);
    const QString copy(text.constData(), text.size());
    const ImportLines lines(text);
    Result<ImportRows> split = RowSplitter::splitRows(lines, RowSplitter::FormatComma);
    ASSERT_TRUE(split.ok());
    ImportRows rows = std::move(split).value();
    rows.giveBackRows(1, rows.rowCount() - 1);
    EXPECT_TRUE(text == copy);
}

// The records made by a pass that uses its rows up are those of a pass that
// keeps them, over parts of several give-backs each.
TEST(ImportRowsGiveBack, UsingTheRowsUpMakesTheSameRecords)
{
    Result<ImportRows> split = RowSplitter::splitRows(ImportLines(mixedRows(300000)), RowSplitter::FormatComma);
    ASSERT_TRUE(split.ok());
    ImportRows rows = std::move(split).value();
    using Keys = ImportRecordBuilder::ColumnKeys;
    const ImportRecordBuilder builder({{{u"1"_s, Value(qint64(0))}, {u"2"_s, Value(false)}}, u"1"_s, 1},
                                      Keys{u"3"_s, u"4"_s, u"5"_s}, Keys{u"3"_s, u"4"_s, u"5"_s});
    const std::optional<ImportRecordBuilder::Built> kept = builder.buildAll(rows, true, 2);
    const std::optional<ImportRecordBuilder::Built> usedUp = builder.buildAllUsingUp(rows, true, 2);
    ASSERT_TRUE(kept && usedUp);
    ASSERT_EQ(usedUp->records.size(), kept->records.size());
    for (size_t i = 0; i < kept->records.size(); ++i) {
        ASSERT_EQ(usedUp->records[i].toDict().snapshot().entries(), kept->records[i].toDict().snapshot().entries())
            << "record " << i;
    }
    EXPECT_EQ(usedUp->firstRow->snapshot().entries(), kept->firstRow->snapshot().entries());
}
