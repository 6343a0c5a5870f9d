#include "TestPrinters.h"
#include "import/ImportLines.h"
#include "import/RowSplitter.h"

#include <gtest/gtest.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

// Lines enough to be split in stretches on several threads: rows of
// varying width with the separator, blank and empty lines now and then.
QString manyLines(QChar separator, int count, bool oneQuote = false)
{
    QString text;
    for (int i = 0; i < count; ++i) {
        if (i % 1013 == 7)
            text += u'\n';
        else if (i % 1019 == 11)
            text += u"   \n"_s;
        else if (i % 3 == 0)
            text += u"m%1@x.org%2Zoë%2%3\n"_s.arg(i).arg(separator).arg(i % 97);
        else
            text += u"only%1\n"_s.arg(i);
    }
    if (oneQuote) {
        text += u"\"a\n"_s;
        text += separator;
        text += u"b\"\n"_s;
    }
    return text;
}

QList<QStringList> allRows(const ImportRows &rows)
{
    QList<QStringList> out;
    for (qsizetype r = 0; r < rows.rowCount(); ++r)
        out.append(rows.fields(r));
    return out;
}

} // namespace

TEST(RowSplitterStretches, GiveTheRowsOfOnePass)
{
    const struct { const char *name; QChar separator; qint32 format; int threads; bool oneQuote; } cases[] = {
        {"tab", u'\t', RowSplitter::FormatTab, 2, false},
        {"comma detected", u',', RowSplitter::FormatAutomatic, 2, false},
        {"semicolon in three stretches", u';', RowSplitter::FormatSemicolon, 3, false},
        // A record over two lines: one pass, whatever the threads.
        {"comma with a quoted line break", u',', RowSplitter::FormatComma, 2, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const ImportLines lines(manyLines(c.separator, 140000, c.oneQuote));
        EXPECT_EQ(RowSplitter::fieldStatistic(lines, c.threads), RowSplitter::fieldStatistic(lines, 1));
        const Result<ImportRows> one = RowSplitter::splitRows(lines, c.format, 1);
        const Result<ImportRows> split = RowSplitter::splitRows(ImportLines(lines), c.format, c.threads);
        ASSERT_TRUE(one.ok() && split.ok());
        EXPECT_EQ(split->rowCount(), one->rowCount());
        EXPECT_EQ(split->maxFieldCount(), one->maxFieldCount());
        EXPECT_EQ(allRows(split.value()), allRows(one.value()));
    }
}
