#include "TestPrinters.h"
#include "document/DocumentKeys.h"
#include "export/ExportWriter.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace quillcast;
using namespace Qt::StringLiterals;

namespace {

Dict dbKey(const QString &inner, const QString &name)
{
    return Dict{{DocumentKeys::innerKey(), Value(inner)}, {DocumentKeys::publicKey(), Value(name)}};
}

List twoKeys()
{
    return List(List::Items{Value(dbKey(u"3"_s, u"email"_s)), Value(dbKey(u"4"_s, u"name"_s))});
}

List records(std::initializer_list<std::pair<QString, QString>> rows)
{
    List::Items items;
    for (const auto &[email, name] : rows)
        items.emplace_back(Dict{{u"3"_s, Value(email)}, {u"4"_s, Value(name)}});
    return List(std::move(items));
}

struct LayoutRow
{
    const char *name;
    qint32 format;
    bool namesRow;
    List records;
    List keys;
    QString expected;
};

void PrintTo(const LayoutRow &row, std::ostream *os)
{
    *os << row.name;
}

class Layouts : public ::testing::TestWithParam<LayoutRow>
{
};

TEST_P(Layouts, WriteTheExpectedText)
{
    ExportWriter::Job job;
    job.records = GetParam().records;
    job.keys = GetParam().keys;
    job.format = GetParam().format;
    job.delimiters = ExportDelimiters::forFormat(GetParam().format);
    job.namesRow = GetParam().namesRow;
    EXPECT_EQ(ExportWriter::render(job), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Export, Layouts,
    ::testing::Values(
        LayoutRow{"tsvNamesAndTwoRecords", 1, true, records({{u"a@x"_s, u"Ann"_s}, {u"b@x"_s, u"Bob"_s}}), twoKeys(),
                  u"email\tname\na@x\tAnn\nb@x\tBob"_s},
        LayoutRow{"tsvNamesWithoutRecords", 1, true, List(), twoKeys(), u"email\tname"_s},
        LayoutRow{"htmlTableNamesWithoutRecords", 3, true, List(), twoKeys(),
                  u"<table><tr><td>email</td><td>name</td></tr></table>"_s},
        LayoutRow{"htmlPageEndsEveryRow", 4, false, records({{u"a@x"_s, u"A & <B>"_s}}), twoKeys(),
                  u"<!DOCTYPE html><html><body><table><tr><td>a@x</td><td>A & <B></td></tr></table></body></html>"_s},
        LayoutRow{"quotedCsvKeepsInnerQuotes", 2, false, records({{u"a@x"_s, u"say \"hi\"\r\nthere"_s}, {u"b@x"_s, u""_s}}),
                  twoKeys(), u"\"a@x\",\"say \"hi\" there\"\n\"b@x\",\"\""_s},
        LayoutRow{"plainCsvFoldsCommas", 5, false, records({{u"a@x"_s, u"Lee, Ann"_s}}), twoKeys(), u"a@x,Lee Ann"_s},
        LayoutRow{"noKeysGiveEmptyRows", 3, false, records({{u"a"_s, u"b"_s}, {u"c"_s, u"d"_s}}), List(),
                  u"<table><tr></tr><tr></tr></table>"_s},
        LayoutRow{"unknownFormatWritesValuesOnly", 9, false, records({{u"a"_s, u"b"_s}, {u"c"_s, u"d"_s}}), twoKeys(),
                  u"abcd"_s},
        LayoutRow{"namesRowIsNotFolded", 5, true, List(), List(List::Items{Value(dbKey(u"4"_s, u"Last, First"_s))}),
                  u"Last, First"_s}),
    [](const auto &p) { return std::string(p.param.name); });

struct FoldRow
{
    const char *name;
    qint32 format;
    QString value;
    QString expected;
};

void PrintTo(const FoldRow &row, std::ostream *os)
{
    *os << row.name;
}

class Folding : public ::testing::TestWithParam<FoldRow>
{
};

TEST_P(Folding, KeepsTheLayoutIntact)
{
    EXPECT_EQ(ExportWriter::fold(GetParam().value, GetParam().format), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Export, Folding,
    ::testing::Values(FoldRow{"tsvSpaceTabSpace", 1, u"a \t b"_s, u"a  b"_s},
                      FoldRow{"tsvTabAlone", 1, u"a\tb"_s, u"a b"_s},
                      FoldRow{"tsvCrLf", 1, u"a\r\nb"_s, u"a b"_s},
                      FoldRow{"tsvSpaceBeforeBreak", 1, u"a \nb"_s, u"a b"_s},
                      FoldRow{"tsvKeepsCommas", 1, u"a,b"_s, u"a,b"_s},
                      FoldRow{"quotedCsvLoneCr", 2, u"a\rb"_s, u"a b"_s},
                      FoldRow{"quotedCsvKeepsTab", 2, u"a\tb"_s, u"a\tb"_s},
                      FoldRow{"quotedCsvKeepsCommas", 2, u"a,b"_s, u"a,b"_s},
                      FoldRow{"csvCommaSpace", 5, u"a, b"_s, u"a b"_s},
                      FoldRow{"csvSpaceComma", 5, u"a ,b"_s, u"a b"_s},
                      FoldRow{"csvBareComma", 5, u"a,b"_s, u"a b"_s},
                      FoldRow{"csvBreakThenComma", 5, u"a\n,b"_s, u"a b"_s},
                      FoldRow{"customUnchanged", 0, u"a\t,\nb"_s, u"a\t,\nb"_s},
                      FoldRow{"htmlUnchanged", 3, u"a\n<b>"_s, u"a\n<b>"_s},
                      FoldRow{"htmlPageUnchanged", 4, u"a\r\n"_s, u"a\r\n"_s}),
    [](const auto &p) { return std::string(p.param.name); });

TEST(ExportValues, NumbersDatesAndMissingValues)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(ExportWriter::valueText(Value(qint64(42)), us), u"42"_s);
    EXPECT_EQ(ExportWriter::valueText(Value(), us), QString());
    const QDateTime noon(QDate(2024, 3, 9), QTime(12, 0));
    EXPECT_EQ(ExportWriter::valueText(Value(noon), us), u"3/9/24"_s);
}

TEST(ExportValues, MissingKeyExportsEmpty)
{
    ExportWriter::Job job;
    job.records = List(List::Items{Value(Dict{{u"3"_s, Value(u"a@x"_s)}})});
    job.keys = twoKeys();
    EXPECT_EQ(ExportWriter::render(job), u"a@x\t"_s);
}

TEST(ExportFile, IsUtf8AndReplacesTheOldFileWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"out.csv"_s);
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(10000, 'x'));
    old.close();
    ExportWriter::Job job;
    job.records = records({{u"zoë@x"_s, u"Zoë"_s}});
    job.keys = twoKeys();
    ASSERT_TRUE(ExportWriter::writeFile(path, job).ok());
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), QByteArray("zo\xc3\xab@x\tZo\xc3\xab"));
}

TEST(ExportFile, LargeExportStreamsWhole)
{
    // More than one slice of the writer, with a character cut between two.
    List::Items items;
    for (int i = 0; i < 40000; ++i)
        items.emplace_back(Dict{{u"3"_s, Value(u"😀%1"_s.arg(i))}});
    ExportWriter::Job job;
    job.records = List(items);
    job.keys = List(List::Items{Value(dbKey(u"3"_s, u"email"_s))});
    QTemporaryDir dir;
    const QString path = dir.filePath(u"big.tsv"_s);
    ASSERT_TRUE(ExportWriter::writeFile(path, job).ok());
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(written.readAll()), ExportWriter::render(job));
}

TEST(ExportFile, FailureGivesTheReason)
{
    ExportWriter::Job job;
    const Status written = ExportWriter::writeFile(u"/nonexistent-dir/out.tsv"_s, job);
    ASSERT_FALSE(written.ok());
    EXPECT_FALSE(written.error().isEmpty());
}

TEST(ExportDelimitersTest, TypedEscapes)
{
    EXPECT_EQ(ExportDelimiters::unescape(u"\\n|\\t|\\\\n|\\r"_s), u"\n|\t|\\\n|\\r"_s);
}

} // namespace
