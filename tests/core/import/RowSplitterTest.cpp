#include "TestPrinters.h"
#include "import/RowSplitter.h"

#include <gtest/gtest.h>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

// Q stands for a double quote in the row names.
struct SplitRow
{
    const char *name;
    QString line;
    std::optional<QStringList> fields;
};

void PrintTo(const SplitRow &row, std::ostream *os)
{
    *os << row.name;
}

class CommaSplit : public ::testing::TestWithParam<SplitRow>
{
};

TEST_P(CommaSplit, GivesFields)
{
    EXPECT_EQ(RowSplitter::componentsOfCsvRow(GetParam().line), GetParam().fields);
}

INSTANTIATE_TEST_SUITE_P(
    Splitter, CommaSplit,
    ::testing::Values(
        SplitRow{"plain", u"a,b,c"_s, QStringList{u"a"_s, u"b"_s, u"c"_s}},
        SplitRow{"emptyMiddle", u"a,,c"_s, QStringList{u"a"_s, QString(), u"c"_s}},
        SplitRow{"trailingSeparator", u"a,b,"_s, QStringList{u"a"_s, u"b"_s, QString()}},
        SplitRow{"onlySeparator", u","_s, QStringList{QString(), QString()}},
        SplitRow{"quotedSeparator", u"\"x,y\",z"_s, QStringList{u"x,y"_s, u"z"_s}},
        SplitRow{"doubledQuotesAreOneQuote", u"\"he said \"\"hi\"\"\""_s, QStringList{u"he said \"hi\""_s}},
        SplitRow{"textAfterClosingQuoteStays", u"\"ab\"cd,e"_s, QStringList{u"abcd"_s, u"e"_s}},
        SplitRow{"unclosedQuotedFieldIsTheRestOfTheLine", u"a,\"b,c"_s, QStringList{u"a"_s, u"\"b,c"_s}},
        SplitRow{"quoteAfterSpaceKept", u"a, \"b\""_s, QStringList{u"a"_s, u" \"b\""_s}},
        SplitRow{"unclosedQuoteSwallowsRest", u"ab\"c,d"_s, QStringList{u"ab\"c,d"_s}},
        SplitRow{"loneQuoteFieldIsEmpty", u"a,\""_s, QStringList{u"a"_s, QString()}},
        SplitRow{"emptyQuotedField", u"\"\",b"_s, QStringList{QString(), u"b"_s}},
        SplitRow{"spacesKept", u" a , b "_s, QStringList{u" a "_s, u" b "_s}},
        SplitRow{"semicolonIsText", u"a;b"_s, QStringList{u"a;b"_s}},
        SplitRow{"threeSpacesGiveNothing", u"   "_s, std::nullopt},
        SplitRow{"emptyGivesNothing", QString(), std::nullopt},
        SplitRow{"tabIsNotBlank", u"\t"_s, QStringList{u"\t"_s}}),
    [](const auto &p) { return std::string(p.param.name); });

TEST(Splitter, SemicolonVariantSplitsOnSemicolonOnly)
{
    EXPECT_EQ(RowSplitter::componentsOfCsvUsingSemicolonRow(u"a;\"b;c\";d,e"), (QStringList{u"a"_s, u"b;c"_s, u"d,e"_s}));
}

TEST(Splitter, TabSplitKeepsQuotesAndEmptyFields)
{
    EXPECT_EQ(RowSplitter::componentsOfTabRow(u"\"a\"\t\tb\t"), (QStringList{u"\"a\""_s, QString(), u"b"_s, QString()}));
}

struct StatisticRow
{
    const char *name;
    QString text;
    RowSplitter::FieldStatistic sums;
    qint32 format;
};

void PrintTo(const StatisticRow &row, std::ostream *os)
{
    *os << row.name;
}

class Detection : public ::testing::TestWithParam<StatisticRow>
{
};

TEST_P(Detection, CountsFields)
{
    const RowSplitter::FieldStatistic s = RowSplitter::fieldStatistic(ImportLines(GetParam().text));
    EXPECT_EQ(s.comma, GetParam().sums.comma);
    EXPECT_EQ(s.semicolon, GetParam().sums.semicolon);
    EXPECT_EQ(s.tab, GetParam().sums.tab);
}

TEST_P(Detection, ChoosesFormat)
{
    EXPECT_EQ(RowSplitter::resolveFormat(ImportLines(GetParam().text), RowSplitter::FormatAutomatic), GetParam().format);
}

INSTANTIATE_TEST_SUITE_P(
    Splitter, Detection,
    ::testing::Values(StatisticRow{"commaFile", u"a,b,c\na,b,c\na,b,c\n"_s, {9, 3, 3}, RowSplitter::FormatComma},
                      StatisticRow{"semicolonFile", u"a;b\na;b\n"_s, {2, 4, 2}, RowSplitter::FormatSemicolon},
                      StatisticRow{"oneCommaRowEndingInLineFeed", u"a,b\n"_s, {2, 1, 1}, RowSplitter::FormatComma},
                      StatisticRow{"emptyLinesBetweenCommaRows", u"a,b\n\n\nc,d"_s, {4, 2, 2},
                                   RowSplitter::FormatComma},
                      StatisticRow{"commaSemicolonTieGoesToTab", u"a,b;c\n"_s, {2, 2, 1}, RowSplitter::FormatTab},
                      StatisticRow{"oneColumnIsTab", u"ann\nbob\n"_s, {2, 2, 2}, RowSplitter::FormatTab},
                      StatisticRow{"tabFile", u"a\tb\tc\nd\te\tf"_s, {2, 2, 6}, RowSplitter::FormatTab},
                      StatisticRow{"emptyFile", QString(), {0, 0, 0}, RowSplitter::FormatTab},
                      StatisticRow{"blankLinesCountForTabOnly", u"   \n   \n"_s, {0, 0, 2}, RowSplitter::FormatTab},
                      StatisticRow{"quotedCommasDoNotCount", u"\"a,b,c\";d\n"_s, {1, 2, 1},
                                   RowSplitter::FormatSemicolon},
                      StatisticRow{"quotedSemicolonsDoNotCount", u"\"a;b;c\",d,e\n\"x;y\",z,w\n"_s, {6, 2, 2},
                                   RowSplitter::FormatComma}),
    [](const auto &p) { return std::string(p.param.name); });

QList<QStringList> allRows(const ImportRows &rows)
{
    QList<QStringList> out;
    for (qsizetype r = 0; r < rows.rowCount(); ++r)
        out.append(rows.fields(r));
    return out;
}

struct RowsRow
{
    const char *name;
    QString text;
    qint32 format;
    QList<QStringList> rows;
    qint64 maxFields;
};

void PrintTo(const RowsRow &row, std::ostream *os)
{
    *os << row.name;
}

class Rows : public ::testing::TestWithParam<RowsRow>
{
};

TEST_P(Rows, AreTheAcceptedLines)
{
    const Result<ImportRows> rows = RowSplitter::splitRows(ImportLines(GetParam().text), GetParam().format);
    ASSERT_TRUE(rows.ok());
    EXPECT_EQ(allRows(rows.value()), GetParam().rows);
}

TEST_P(Rows, WidestLineSetsTheColumnCount)
{
    const Result<ImportRows> rows = RowSplitter::splitRows(ImportLines(GetParam().text), GetParam().format);
    ASSERT_TRUE(rows.ok());
    EXPECT_EQ(rows->maxFieldCount(), GetParam().maxFields);
}

INSTANTIATE_TEST_SUITE_P(
    Splitter, Rows,
    ::testing::Values(
        RowsRow{"rowsKeepTheirWidth", u"a,b,c,d,e\nf,g,h\n"_s, 2,
                {{u"a"_s, u"b"_s, u"c"_s, u"d"_s, u"e"_s}, {u"f"_s, u"g"_s, u"h"_s}}, 5},
        RowsRow{"blankLinesSkippedInComma", u"a,b\n   \n\nc,d\n"_s, 2, {{u"a"_s, u"b"_s}, {u"c"_s, u"d"_s}}, 2},
        RowsRow{"spacesLineIsAFieldInTab", u"a\tb\n   \n"_s, 1, {{u"a"_s, u"b"_s}, {u"   "_s}}, 2},
        RowsRow{"emptyFileTab", QString(), 1, {}, 1},
        RowsRow{"emptyFileAutomatic", QString(), 0, {}, 1},
        RowsRow{"emptyFileComma", QString(), 2, {}, 0},
        RowsRow{"emptyFileSemicolon", QString(), 3, {}, 0},
        RowsRow{"unknownFormat", u"a,b\n"_s, 7, {}, 0},
        RowsRow{"negativeFormat", u"a,b\n"_s, -1, {}, 0},
        RowsRow{"automaticSemicolon", u"x;\"y;z\"\nv;w\n"_s, 0, {{u"x"_s, u"y;z"_s}, {u"v"_s, u"w"_s}}, 2},
        RowsRow{"quotedLineBreakBelongsToTheValue", u"\"a\nb\",c\n"_s, 2, {{u"a\nb"_s, u"c"_s}}, 2}),
    [](const auto &p) { return std::string(p.param.name); });

// What spreadsheets write: quotes doubled inside quoted values, separators
// and line breaks inside them.
TEST(Splitter, SpreadsheetFilesGiveTheirValues)
{
    const struct
    {
        const char *name;
        QString text;
        qint32 format;
        QList<QStringList> rows;
    } cases[] = {
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
}

TEST(ImportLinesTest, FailedReadHasNoLines)
{
    EXPECT_EQ(ImportLines().size(), 0);
}

} // namespace
