#include "TestFiles.h"
#include "TestPrinters.h"
#include "document/DocumentKeys.h"
#include "export/ExportWriter.h"

#include <gtest/gtest.h>

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

struct LayoutRow { const char *name; qint32 format; bool namesRow; List records; List keys; QString expected; };

TEST(ExportLayouts, WriteTheExpectedText)
{
    const LayoutRow rows[] = {
        {"tsvNamesAndTwoRecords", 1, true, records({{u"a@x"_s, u"Ann"_s}, {u"b@x"_s, u"Bob"_s}}), twoKeys(),
         u"email\tname\na@x\tAnn\nb@x\tBob"_s},
        {"tsvNamesWithoutRecords", 1, true, List(), twoKeys(), u"email\tname"_s},
        {"htmlTableNamesWithoutRecords", 3, true, List(), twoKeys(),
         u"<table><tr><td>email</td><td>name</td></tr></table>"_s},
        {"htmlPageEndsEveryRow", 4, false, records({{u"a@x"_s, u"A & <B>"_s}}), twoKeys(),
         u"<!DOCTYPE html><html><body><table><tr><td>a@x</td><td>A & <B></td></tr></table></body></html>"_s},
        {"quotedCsvDoublesInnerQuotes", 2, false,
         records({{u"a@x"_s, u"say \"hi\"\r\nthere"_s}, {u"b@x"_s, u""_s}}), twoKeys(),
         u"\"a@x\",\"say \"\"hi\"\" there\"\n\"b@x\",\"\""_s},
        {"quotedCsvNamesRowDoublesQuotes", 2, true, List(),
         List(List::Items{Value(dbKey(u"4"_s, u"The \"nick\", name"_s))}), u"\"The \"\"nick\"\", name\""_s},
        {"plainCsvFoldsCommas", 5, false, records({{u"a@x"_s, u"Lee, Ann"_s}}), twoKeys(), u"a@x,Lee Ann"_s},
        {"noKeysGiveEmptyRows", 3, false, records({{u"a"_s, u"b"_s}, {u"c"_s, u"d"_s}}), List(),
         u"<table><tr></tr><tr></tr></table>"_s},
        {"unknownFormatWritesValuesOnly", 9, false, records({{u"a"_s, u"b"_s}, {u"c"_s, u"d"_s}}), twoKeys(),
         u"abcd"_s},
        {"recordsWithDifferentKeys", 1, false,
         List(List::Items{Value(Dict{{u"3"_s, Value(u"a"_s)}, {u"4"_s, Value(u"A"_s)}}),
                          Value(Dict{{u"2"_s, Value(true)}, {u"3"_s, Value(u"b"_s)}, {u"4"_s, Value(u"B"_s)}}),
                          Value(Dict{{u"4"_s, Value(u"C"_s)}}), Value(Dict{{u"1"_s, Value(7)}, {u"3"_s, Value(42)}}),
                          Value(u"not a record"_s), Value(Dict{{u"3"_s, Value(u"d"_s)}, {u"4"_s, Value(u"D"_s)}})}),
         twoKeys(), u"a\tA\nb\tB\n\tC\n42\t\n\t\nd\tD"_s},
        {"namesRowIsNotFolded", 5, true, List(), List(List::Items{Value(dbKey(u"4"_s, u"Last, First"_s))}),
         u"Last, First"_s},
    };
    for (const LayoutRow &row : rows) {
        SCOPED_TRACE(row.name);
        ExportWriter::Job job;
        job.records = row.records;
        job.keys = row.keys;
        job.format = row.format;
        job.delimiters = ExportDelimiters::forFormat(row.format);
        job.namesRow = row.namesRow;
        EXPECT_EQ(ExportWriter::render(job), row.expected);
    }
}

struct FoldRow { const char *name; qint32 format; QString value; QString expected; };

TEST(ExportFolding, KeepsTheLayoutIntact)
{
    const FoldRow rows[] = {
        {"tsvSpaceTabSpace", 1, u"a \t b"_s, u"a  b"_s},
        {"tsvTabAlone", 1, u"a\tb"_s, u"a b"_s},
        {"tsvCrLf", 1, u"a\r\nb"_s, u"a b"_s},
        {"tsvSpaceBeforeBreak", 1, u"a \nb"_s, u"a b"_s},
        {"tsvKeepsCommas", 1, u"a,b"_s, u"a,b"_s},
        {"quotedCsvLoneCr", 2, u"a\rb"_s, u"a b"_s},
        {"quotedCsvKeepsTab", 2, u"a\tb"_s, u"a\tb"_s},
        {"quotedCsvKeepsCommas", 2, u"a,b"_s, u"a,b"_s},
        {"quotedCsvDoublesQuotes", 2, u"\"\"a\""_s, u"\"\"\"\"a\"\""_s},
        {"tsvKeepsQuotes", 1, u"\"a\""_s, u"\"a\""_s},
        {"csvKeepsQuotes", 5, u"\"a\""_s, u"\"a\""_s},
        {"csvCommaSpace", 5, u"a, b"_s, u"a b"_s},
        {"csvSpaceComma", 5, u"a ,b"_s, u"a b"_s},
        {"csvBareComma", 5, u"a,b"_s, u"a b"_s},
        {"csvBreakThenComma", 5, u"a\n,b"_s, u"a b"_s},
        {"customUnchanged", 0, u"a\t,\nb"_s, u"a\t,\nb"_s},
        {"htmlUnchanged", 3, u"a\n<b>"_s, u"a\n<b>"_s},
        {"htmlPageUnchanged", 4, u"a\r\n"_s, u"a\r\n"_s},
    };
    for (const FoldRow &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ExportWriter::fold(row.value, row.format), row.expected);
    }
}

TEST(ExportValues, NumbersDatesAndMissingValues)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    EXPECT_EQ(ExportWriter::valueText(Value(qint64(42)), us), u"42"_s);
    EXPECT_EQ(ExportWriter::valueText(Value(), us), QString());
    const QDateTime noon(QDate(2024, 3, 9), QTime(12, 0));
    EXPECT_EQ(ExportWriter::valueText(Value(noon), us), u"3/9/24"_s);
}

// A large export streams whole, over more than one slice of the writer and
// with a character cut between two; a smaller one then replaces it whole.
TEST(ExportFile, IsUtf8AndReplacesTheOldFileWhole)
{
    List::Items items;
    for (int i = 0; i < 40000; ++i)
        items.emplace_back(Dict{{u"3"_s, Value(u"😀%1"_s.arg(i))}});
    ExportWriter::Job job;
    job.records = List(items);
    job.keys = List(List::Items{Value(dbKey(u"3"_s, u"email"_s))});
    QTemporaryDir dir;
    const QString path = dir.filePath(u"out.csv"_s);
    ASSERT_TRUE(ExportWriter::writeFile(path, job).ok());
    EXPECT_EQ(QString::fromUtf8(quillcast::testing::fileContents(path)), ExportWriter::render(job));

    job.records = records({{u"zoë@x"_s, u"Zoë"_s}});
    job.keys = twoKeys();
    ASSERT_TRUE(ExportWriter::writeFile(path, job).ok());
    EXPECT_EQ(quillcast::testing::fileContents(path), QByteArray("zo\xc3\xab@x\tZo\xc3\xab"));
}

} // namespace
