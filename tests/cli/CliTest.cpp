#include "CliRunner.h"
#include "TestPrinters.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <utility>

using namespace quillcast;
using namespace Qt::StringLiterals;
using ::testing::HasSubstr;
using quillcast::clitest::CliRun;
using quillcast::clitest::runCli;

// The refusals of every command are in one table, in CliRefusalsTest.cpp.

namespace {

TEST(Cli, VersionPrintsTheRelease)
{
    const CliRun run = runCli({u"--version"_s});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, u"Quillcast " QUILLCAST_RELEASE "\n"_s);
}

TEST(Cli, HelpListsEveryCommand)
{
    const CliRun help = runCli({u"--help"_s});
    ASSERT_EQ(help.status, 0);
    for (const char *command : {"add-record FILE.quill", "add-exception FILE.quill", "column add FILE.quill",
                                "column rename FILE.quill", "column delete FILE.quill", "check FILE.quill",
                                "delete-checked FILE.quill", "renumber FILE.quill", "attach FILE.quill",
                                "detach FILE.quill", "import FILE.quill DATA", "export FILE.quill OUT"})
        EXPECT_THAT(help.out.toStdString(), HasSubstr(std::string("  ") + command)) << command;
}

TEST(CliMerge, MergesFieldsFixedTagsAndTheInjectedClock)
{
    const CliRun run = runCli({u"merge"_s, u"--text"_s, u"_yyyy_-_mm_-_dd_ _Name_ <_email_> #_#_ _sel_"_s,
                               u"--field"_s, u"Name=Zoë"_s, u"--email"_s, u"z@example.org"_s, u"--number"_s,
                               u"12"_s, u"--checked"_s});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, u"2026-12-06 Zoë <z@example.org> #12 YES"_s);
}

TEST(CliMerge, LongestTagWinsAndInsertedTextIsNotReadAgain)
{
    for (const auto &[first, second] :
         {std::pair(u"name=N"_s, u"first_name=F"_s), std::pair(u"first_name=F"_s, u"name=N"_s)}) {
        const CliRun run = runCli({u"merge"_s, u"--text"_s, u"_first_name_/_name_"_s, u"--field"_s, first,
                                   u"--field"_s, second});
        EXPECT_EQ(run.out, u"F/N"_s) << first.toStdString();
    }
    const CliRun run = runCli({u"merge"_s, u"--text"_s, u"_Login_ _Room_yy__"_s, u"--field"_s, u"Login=jo_email_"_s,
                               u"--field"_s, u"Room07=R"_s, u"--email"_s, u"jo@example.org"_s, u"--now"_s,
                               u"2007-01-02T08:00:00Z"_s});
    EXPECT_EQ(run.out, u"jo_email_ _Room07_"_s);
}

TEST(CliMerge, ReadsTheTemplateFromAFileAndHonoursNow)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"t.txt"_s);
    ASSERT_TRUE(clitest::writeFile(path, "Le _dd_/_mm_ \xc3\xa0 _hh_h\n"));
    const CliRun run = runCli({u"merge"_s, path, u"--now"_s, u"2027-01-02T08:00:00Z"_s});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, u"Le 02/01 à 08h\n"_s);
}

} // namespace
