#include "CliRunner.h"
#include "TestPrinters.h"
#include "platform/FixedClock.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace quillcast;
using namespace Qt::StringLiterals;
using ::testing::HasSubstr;
using quillcast::clitest::CliRun;
using quillcast::clitest::runCli;

namespace {


TEST(Cli, VersionPrintsTheRelease)
{
    const CliRun run = runCli({u"--version"_s});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, u"Quillcast " QUILLCAST_RELEASE "\n"_s);
}

TEST(Cli, UnknownCommandIsRefusedOnStandardError)
{
    const CliRun run = runCli({u"frobnicate"_s});
    EXPECT_EQ(run.status, 2);
    EXPECT_THAT(run.err.toStdString(), HasSubstr("unknown command 'frobnicate'"));
    EXPECT_TRUE(run.out.isEmpty());
}

TEST(CliMerge, MergesFieldsFixedTagsAndTheInjectedClock)
{
    const CliRun run = runCli({u"merge"_s, u"--text"_s, u"_yyyy_-_mm_-_dd_ _Name_ <_email_> #_#_ _sel_"_s,
                               u"--field"_s, u"Name=Zoë"_s, u"--email"_s, u"z@example.org"_s, u"--number"_s,
                               u"12"_s, u"--checked"_s});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, u"2026-12-06 Zoë <z@example.org> #12 YES"_s);
}

TEST(CliMerge, FieldOrderDecidesOverlappingTags)
{
    const CliRun run = runCli({u"merge"_s, u"--text"_s, u"_first_name_"_s, u"--field"_s, u"name=N"_s, u"--field"_s,
                               u"first_name=F"_s});
    EXPECT_EQ(run.out, u"_firstN"_s);
}

TEST(CliMerge, ReadsTheTemplateFromAFileAndHonoursNow)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath(u"t.txt"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Le _dd_/_mm_ \xc3\xa0 _hh_h\n");
    file.close();
    const CliRun run = runCli({u"merge"_s, file.fileName(), u"--now"_s, u"2027-01-02T08:00:00Z"_s});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, u"Le 02/01 à 08h\n"_s);
}

struct BadMergeRow
{
    const char *name;
    QStringList arguments;
    int status;
    const char *message;
};

void PrintTo(const BadMergeRow &row, std::ostream *os)
{
    *os << row.name;
}

class CliMergeRefuses : public ::testing::TestWithParam<BadMergeRow>
{
};

TEST_P(CliMergeRefuses, WithAMessageAndNoOutput)
{
    const CliRun run = runCli(QStringList{u"merge"_s} + GetParam().arguments);
    EXPECT_EQ(run.status, GetParam().status);
    EXPECT_THAT(run.err.toStdString(), HasSubstr(GetParam().message));
    EXPECT_TRUE(run.out.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CliMergeRefuses,
    ::testing::Values(
        BadMergeRow{"noTemplate", {}, 2, "either one template file or --text"},
        BadMergeRow{"fileAndText", {u"a.txt"_s, u"--text"_s, u"x"_s}, 2, "either one template file or --text"},
        BadMergeRow{"missingFile", {u"/nonexistent/t.txt"_s}, 1, "cannot read /nonexistent/t.txt"},
        BadMergeRow{"fieldWithoutEquals", {u"--text"_s, u"x"_s, u"--field"_s, u"Name"_s}, 2, "NAME=VALUE"},
        BadMergeRow{"numberNotInteger", {u"--text"_s, u"x"_s, u"--number"_s, u"seven"_s}, 2, "needs an integer"},
        BadMergeRow{"badNow", {u"--text"_s, u"x"_s, u"--now"_s, u"tomorrow"_s}, 2, "ISO 8601"},
        BadMergeRow{"unknownOption", {u"--text"_s, u"x"_s, u"--bogus"_s}, 2, "bogus"}),
    [](const auto &row) { return std::string(row.param.name); });

} // namespace

namespace {

TEST(CliSample, RefusesAMailingThatIsNotJson)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath(u"m.json"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{ not json");
    file.close();
    const CliRun run = runCli({u"sample"_s, u"--file"_s, file.fileName()});
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err.toStdString(), HasSubstr("not a mailing description"));
    EXPECT_TRUE(run.out.isEmpty());
}

} // namespace
