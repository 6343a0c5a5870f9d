#include "TestPrinters.h"
#include "import/RowSplitter.h"

#include <gtest/gtest.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

QList<QStringList> allRows(const ImportRows &rows)
{
    QList<QStringList> out;
    for (qsizetype r = 0; r < rows.rowCount(); ++r)
        out.append(rows.fields(r));
    return out;
}

TEST(Splitter, CommaRowsGiveFields)
{
    const struct { const char *name; QString line; std::optional<QStringList> fields; } rows[] = {
        {"plain", u"a,b,c"_s, QStringList{u"a"_s, u"b"_s, u"c"_s}},
        {"empty middle", u"a,,c"_s, QStringList{u"a"_s, QString(), u"c"_s}},
        {"trailing separator", u"a,b,"_s, QStringList{u"a"_s, u"b"_s, QString()}},
        {"only separator", u","_s, QStringList{QString(), QString()}},
        {"quoted separator", u"\"x,y\",z"_s, QStringList{u"x,y"_s, u"z"_s}},
        {"doubled quotes are one quote", u"\"he said \"\"hi\"\"\""_s, QStringList{u"he said \"hi\""_s}},
        {"text after closing quote stays", u"\"ab\"cd,e"_s, QStringList{u"abcd"_s, u"e"_s}},
        {"unclosed quoted field is the rest of the line", u"a,\"b,c"_s, QStringList{u"a"_s, u"\"b,c"_s}},
        {"quote after space kept", u"a, \"b\""_s, QStringList{u"a"_s, u" \"b\""_s}},
        {"unclosed quote swallows rest", u"ab\"c,d"_s, QStringList{u"ab\"c,d"_s}},
        {"lone quote field is empty", u"a,\""_s, QStringList{u"a"_s, QString()}},
        {"empty quoted field", u"\"\",b"_s, QStringList{QString(), u"b"_s}},
        {"spaces kept", u" a , b "_s, QStringList{u" a "_s, u" b "_s}},
        {"semicolon is text", u"a;b"_s, QStringList{u"a;b"_s}},
        {"three spaces give nothing", u"   "_s, std::nullopt},
        {"empty gives nothing", QString(), std::nullopt},
        {"tab is not blank", u"\t"_s, QStringList{u"\t"_s}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(RowSplitter::componentsOfCsvRow(row.line), row.fields);
    }
    EXPECT_EQ(RowSplitter::componentsOfCsvUsingSemicolonRow(u"a;\"b;c\";d,e"), (QStringList{u"a"_s, u"b;c"_s, u"d,e"_s}));
    EXPECT_EQ(RowSplitter::componentsOfTabRow(u"\"a\"\t\tb\t"), (QStringList{u"\"a\""_s, QString(), u"b"_s, QString()}));
}

TEST(Splitter, DetectionCountsFieldsAndChoosesTheFormat)
{
    const struct { const char *name; QString text; RowSplitter::FieldStatistic sums; qint32 format; } rows[] = {
        {"comma file", u"a,b,c\na,b,c\na,b,c\n"_s, {9, 3, 3}, RowSplitter::FormatComma},
        {"semicolon file", u"a;b\na;b\n"_s, {2, 4, 2}, RowSplitter::FormatSemicolon},
        {"one comma row ending in a line feed", u"a,b\n"_s, {2, 1, 1}, RowSplitter::FormatComma},
        {"empty lines between comma rows", u"a,b\n\n\nc,d"_s, {4, 2, 2}, RowSplitter::FormatComma},
        {"comma and semicolon tie goes to tab", u"a,b;c\n"_s, {2, 2, 1}, RowSplitter::FormatTab},
        {"one column is tab", u"ann\nbob\n"_s, {2, 2, 2}, RowSplitter::FormatTab},
        {"tab file", u"a\tb\tc\nd\te\tf"_s, {2, 2, 6}, RowSplitter::FormatTab},
        {"empty file", QString(), {0, 0, 0}, RowSplitter::FormatTab},
        {"blank lines count for tab only", u"   \n   \n"_s, {0, 0, 2}, RowSplitter::FormatTab},
        {"quoted commas do not count", u"\"a,b,c\";d\n"_s, {1, 2, 1}, RowSplitter::FormatSemicolon},
        {"quoted semicolons do not count", u"\"a;b;c\",d,e\n\"x;y\",z,w\n"_s, {6, 2, 2}, RowSplitter::FormatComma},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const ImportLines lines(row.text);
        const RowSplitter::FieldStatistic s = RowSplitter::fieldStatistic(lines);
        EXPECT_EQ(s.comma, row.sums.comma);
        EXPECT_EQ(s.semicolon, row.sums.semicolon);
        EXPECT_EQ(s.tab, row.sums.tab);
        EXPECT_EQ(RowSplitter::resolveFormat(lines, RowSplitter::FormatAutomatic), row.format);
    }
}

// The accepted lines, and the widest one sets the column count.
TEST(Splitter, RowsAreTheAcceptedLines)
{
    const struct { const char *name; QString text; qint32 format; QList<QStringList> rows; qint64 maxFields; } rows[] = {
        {"rows keep their width", u"a,b,c,d,e\nf,g,h\n"_s, 2,
         {{u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s}, {u"f"_s, u"g"_s, u"h"_s}}, 5},
        {"blank lines skipped in comma", u"a,b\n   \n\nc,d\n"_s, 2, {{u"a"_s, u"b"_s}, {u"c"_s, u"d"_s}}, 2},
        {"spaces line is a field in tab", u"a\tb\n   \n"_s, 1, {{u"a"_s, u"b"_s}, {u"   "_s}}, 2},
        {"empty file tab", QString(), 1, {}, 1},
        {"empty file automatic", QString(), 0, {}, 1},
        {"empty file comma", QString(), 2, {}, 0},
        {"empty file semicolon", QString(), 3, {}, 0},
        {"unknown format", u"a,b\n"_s, 7, {}, 0},
        {"negative format", u"a,b\n"_s, -1, {}, 0},
        {"automatic semicolon", u"x;\"y;z\"\nv;w\n"_s, 0, {{u"x"_s, u"y;z"_s}, {u"v"_s, u"w"_s}}, 2},
        {"quoted line break belongs to the value", u"\"a\nb\",c\n"_s, 2, {{u"a\nb"_s, u"c"_s}}, 2},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const Result<ImportRows> split = RowSplitter::splitRows(ImportLines(row.text), row.format);
        ASSERT_TRUE(split.ok());
        EXPECT_EQ(allRows(split.value()), row.rows);
        EXPECT_EQ(split->maxFieldCount(), row.maxFields);
    }
}

// What spreadsheets write: quotes doubled inside quoted values, separators
// and line breaks inside them.
TEST(Splitter, SpreadsheetFilesGiveTheirValues)
{
    const struct { const char *name; QString text; qint32 format; QList<QStringList> rows; } cases[] = {
        {"memberListComma",
         u"email,Name,Address\nann@example.com,\"Ann \"\"Nan\"\" Lee\",\"12 High St\nFlat 3\"\n"
         "bob@example.com,\"Smith, Bob\",Main St\n"_s,
         RowSplitter::FormatComma,
         {{u"email"_s, u"Name"_s, u"Address"_s},
          {u"ann@example.com"_s, u"Ann \"Nan\" Lee"_s, u"12 High St\nFlat 3"_s},
          {u"bob@example.com"_s, u"Smith, Bob"_s, u"Main St"_s}}},
        {"memberListSemicolon",
         u"email;Name;Address\nann@example.com;\"Lee; Ann \"\"Nan\"\"\";\"12 High St\nFlat 3\"\n"
         "bob@example.com;Bob;\"\"\n"_s,
         RowSplitter::FormatSemicolon,
         {{u"email"_s, u"Name"_s, u"Address"_s},
          {u"ann@example.com"_s, u"Lee; Ann \"Nan\""_s, u"12 High St\nFlat 3"_s},
          {u"bob@example.com"_s, u"Bob"_s, QString()}}},
        {"detectedAsComma", u"a,\"b\nc\",d\ne,f,g\n"_s, RowSplitter::FormatAutomatic,
         {{u"a"_s, u"b\nc"_s, u"d"_s}, {u"e"_s, u"f"_s, u"g"_s}}},
        {"doubledQuotesAcrossLines", u"\"x\"\"\n\"\"y\",z\n"_s, RowSplitter::FormatComma,
         {{u"x\"\n\"y"_s, u"z"_s}}},
        {"emptyAndBlankLinesInsideQuotes", u"\"a\n\n   \nb\"\nc\n"_s, RowSplitter::FormatComma,
         {{u"a\n\n   \nb"_s}, {u"c"_s}}},
        {"textAfterClosingQuoteAcrossLines", u"\"a\nb\"c,d\n"_s, RowSplitter::FormatComma, {{u"a\nbc"_s, u"d"_s}}},
        // A quote that never closes costs its own line only.
        {"unclosedQuoteAtTheEnd", u"a,\"open\nb,c\n"_s, RowSplitter::FormatComma,
         {{u"a"_s, u"\"open"_s}, {u"b"_s, u"c"_s}}},
        // A quote inside an unquoted value does not carry over the line end.
        {"quoteInsideAValueStaysOnItsLine", u"ab\"c,d\ne,f\n"_s, RowSplitter::FormatComma,
         {{u"ab\"c,d"_s}, {u"e"_s, u"f"_s}}},
        {"tabKnowsNoQuotes", u"\"a\tb\nc\"\td\n"_s, RowSplitter::FormatTab,
         {{u"\"a"_s, u"b"_s}, {u"c\""_s, u"d"_s}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // Over lines that keep their text, and over lines whose text the
        // rows take over and put right in place.
        const ImportLines kept(c.text);
        const Result<ImportRows> shared = RowSplitter::splitRows(kept, c.format);
        ASSERT_TRUE(shared.ok());
        EXPECT_EQ(allRows(shared.value()), c.rows);
        EXPECT_EQ(kept.text(), c.text);
        const Result<ImportRows> owned = RowSplitter::splitRows(ImportLines(c.text), c.format);
        ASSERT_TRUE(owned.ok());
        EXPECT_EQ(allRows(owned.value()), c.rows);
    }
}

TEST(ImportLinesTest, RebuiltListKeepsLinesWithLineFeeds)
{
    const ImportLines lines = ImportLines::fromLines({u"a\nb"_s, QString(), u"c"_s});
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines.at(0), u"a\nb"_s);
    EXPECT_EQ(lines.at(1), QString());
    EXPECT_EQ(lines.at(2), u"c"_s);
    EXPECT_EQ(ImportLines().size(), 0) << "a failed read has no lines";
}

} // namespace
