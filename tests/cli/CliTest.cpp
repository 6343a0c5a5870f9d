#include "CliRunner.h"
#include "TestPrinters.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

using namespace quillcast;
using namespace Qt::StringLiterals;
using ::testing::HasSubstr;
using quillcast::clitest::CliRun;
using quillcast::clitest::runCli;

// The refusals of every command are in one table, in CliRefusalsTest.cpp; what
// a merge makes of its tags, in the core's merge tests: here, how the
// command hands over its fields, its template and its clock.

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

// COMMAND --help wherever it stands: the command's own usage on standard
// output, exit 0, and nothing done (no file named in the line is made).
struct CommandHelp
{
    const char *name;
    QStringList arguments;
    const char *usageLine; // what the command's usage starts with
};

TEST(Cli, EveryCommandPrintsItsOwnUsageForHelp)
{
    const QTemporaryDir dir;
    const QString mailing = dir.filePath(u"made.quill"_s);
    const QList<CommandHelp> commands{
        {"merge", {u"merge"_s, u"--help"_s}, "  merge (FILE | --text TEXT)"},
        {"sample", {u"sample"_s, u"--out"_s, dir.filePath(u"s"_s), u"--help"_s}, "  sample [--out DIR]"},
        {"new", {u"new"_s, mailing, u"--help"_s}, "  new FILE.quill"},
        {"show", {u"show"_s, u"--help"_s}, "  show FILE.quill"},
        {"set", {u"set"_s, mailing, u"--help"_s}, "  set FILE.quill NAME=VALUE"},
        {"add-record", {u"add-record"_s, u"--help"_s}, "  add-record FILE.quill"},
        {"add-exception", {u"add-exception"_s, u"--help"_s}, "  add-exception FILE.quill"},
        {"column", {u"column"_s, u"add"_s, u"--help"_s}, "  column add FILE.quill"},
        {"check", {u"check"_s, u"--help"_s}, "  check FILE.quill"},
        {"delete-checked", {u"delete-checked"_s, u"--help"_s}, "  delete-checked FILE.quill"},
        {"renumber", {u"renumber"_s, u"--help"_s}, "  renumber FILE.quill"},
        {"attach", {u"attach"_s, u"--help"_s}, "  attach FILE.quill PATH"},
        {"detach", {u"detach"_s, u"--help"_s}, "  detach FILE.quill INDEX"},
        {"import", {u"import"_s, u"--help"_s}, "  import FILE.quill DATA"},
        {"export", {u"export"_s, mailing, dir.filePath(u"out.tsv"_s), u"--help"_s}, "  export FILE.quill OUT"},
        {"preview", {u"preview"_s, u"--help"_s}, "  preview FILE.quill"},
        {"send", {u"send"_s, mailing, u"--all"_s, u"--yes"_s, u"--help"_s}, "  send FILE.quill"},
        {"connections", {u"connections"_s, u"--help"_s}, "  connections list"},
        {"connections add", {u"connections"_s, u"add"_s, u"--help"_s}, "  connections list"},
        {"update-check", {u"update-check"_s, u"--help"_s}, "  update-check [--list URL]"},
    };
    for (const CommandHelp &command : commands) {
        SCOPED_TRACE(command.name);
        const CliRun run = runCli(command.arguments);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
        const QString first = command.arguments.first();
        EXPECT_THAT(run.out.toStdString(), ::testing::StartsWith("Usage of quillcast-cli " + first.toStdString()));
        EXPECT_THAT(run.out.toStdString(), HasSubstr(command.usageLine));
        // Only that command: the full usage is several times longer.
        EXPECT_LT(run.out.size(), runCli({u"--help"_s}).out.size() / 2);
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty());

    // After "--" it is the text to merge.
    const CliRun merged = runCli({u"merge"_s, u"--text"_s, u"_x_"_s, u"--field"_s, u"x=y"_s, u"--"_s, u"--help"_s});
    EXPECT_NE(merged.out.left(5), u"Usage"_s);

    const CliRun unknown = runCli({u"frobnicate"_s, u"--help"_s});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_THAT(unknown.err.toStdString(), HasSubstr("unknown command 'frobnicate'"));
}

TEST(CliMerge, MergesFieldsFixedTagsAndTheInjectedClock)
{
    const CliRun run = runCli({u"merge"_s, u"--text"_s, u"_yyyy_-_mm_-_dd_ _Name_ <_email_> #_#_ _sel_"_s,
                               u"--field"_s, u"Name=Zoë"_s, u"--email"_s, u"z@example.org"_s, u"--number"_s,
                               u"12"_s, u"--checked"_s});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, u"2026-12-06 Zoë <z@example.org> #12 YES"_s);
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
