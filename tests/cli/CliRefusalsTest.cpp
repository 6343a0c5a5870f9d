#include "CliRunner.h"
#include "TestApplication.h"
#include "TestFiles.h"
#include "document/archive/KeyedArchiver.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>


using namespace quillcast;
using namespace Qt::StringLiterals;
using ::testing::HasSubstr;
using quillcast::clitest::CliRun;
using quillcast::clitest::runCli;
using quillcast::testing::fileContents;

namespace {

// What is at MAILING when the command runs.
enum class Mailing
{
    Good, // one checked record to a@example.org, the column City, one attachment
    Damaged, // not a mailing at all
    Newer, // saved by a later release
    Missing,
};

struct Refusal
{
    const char *name;
    std::vector<const char *> arguments; // MAILING and DIR stand for the mailing and its folder
    int status;
    const char *message;
    Mailing mailing = Mailing::Good;
};

const char damaged[] = "The file is not a Quillcast document or is damaged";
const char newer[] = "created with a more recent version of this application";

// Every refusal of every command: it says why on standard error with its
// status, prints nothing on standard output, writes no export and leaves the
// mailing byte for byte as it was (a missing one is not created).
const Refusal refusals[] = {
    {"unknown command", {"frobnicate"}, 2, "unknown command 'frobnicate'"},
    // merge and sample
    {"merge without template", {"merge"}, 2, "either one template file or --text"},
    {"merge with file and text", {"merge", "a.txt", "--text", "x"}, 2, "either one template file or --text"},
    {"merge of a missing file", {"merge", "DIR/none.txt"}, 1, "cannot read DIR/none.txt"},
    {"merge field without '='", {"merge", "--text", "x", "--field", "Name"}, 2, "NAME=VALUE"},
    {"merge number not an integer", {"merge", "--text", "x", "--number", "seven"}, 2, "needs an integer"},
    {"merge bad now", {"merge", "--text", "x", "--now", "tomorrow"}, 2, "ISO 8601"},
    {"merge unknown option", {"merge", "--text", "x", "--bogus"}, 2, "bogus"},
    {"sample from a file that is not JSON", {"sample", "--file", "DIR/broken.json"}, 1, "not a mailing description"},
    // new, show, set
    {"new over an existing file", {"new", "MAILING"}, 1, "already exists"},
    {"show a damaged file", {"show", "MAILING"}, 1, damaged, Mailing::Damaged},
    {"set in a newer release's file", {"set", "MAILING", "mailFormSubject=x"}, 1, newer, Mailing::Newer},
    {"set unknown name", {"set", "MAILING", "mailFormSubject=changed", "mailFormReplyTo=x"},
     2, "unknown setting 'mailFormReplyTo'"},
    {"set without '='", {"set", "MAILING", "mailFormSubject=changed", "mailFormBody"}, 2, "unknown setting"},
    {"set pause zero", {"set", "MAILING", "sendPrepTimeInterval=0"}, 2, "1 or more"},
    {"set pause as text", {"set", "MAILING", "sendPrepTimeInterval=five"}, 2, "1 or more"},
    {"set kind two", {"set", "MAILING", "emailKind=2"}, 2, "0 or 1"},
    {"set negative connection", {"set", "MAILING", "selectedIndexConnection=-1"}, 2, "0 or more"},
    {"set text of a missing file", {"set", "MAILING", "mailFormBody=@DIR/none.txt"}, 1, "cannot read DIR/none.txt"},
    {"set text that is not UTF-8", {"set", "MAILING", "mailFormBody=@DIR/latin1.txt"}, 1, "not UTF-8"},
    // the database
    {"add-record unknown column", {"add-record", "MAILING", "Cty=Oslo"}, 2, "no column 'Cty'"},
    {"add-record number column", {"add-record", "MAILING", "#=9"}, 2, "kept by the mailing"},
    {"add-record checked column", {"add-record", "MAILING", "sel=1"}, 2, "kept by the mailing"},
    {"add-record without '='", {"add-record", "MAILING", "email"}, 2, "'email' is not NAME=VALUE"},
    {"add-record column twice", {"add-record", "MAILING", "City=a", "City=b"}, 2, "given twice"},
    {"add-record to a damaged file", {"add-record", "MAILING", "email=a@example.org"}, 1, damaged, Mailing::Damaged},
    {"add-exception blank", {"add-exception", "MAILING", "  "}, 2, "the address is empty"},
    {"add-exception without address", {"add-exception", "MAILING"}, 2, "give the mailing, the address"},
    {"add-exception to a newer release's file", {"add-exception", "MAILING", "a@x.org"}, 1, newer, Mailing::Newer},
    {"column without action", {"column", "MAILING"}, 2, "give add, rename or delete"},
    {"column add existing", {"column", "add", "MAILING", "email"}, 2, "column 'email' already"},
    {"column add blank", {"column", "add", "MAILING", " "}, 2, "cannot be blank"},
    {"column add to a missing file", {"column", "add", "MAILING"}, 1, "MAILING", Mailing::Missing},
    {"column rename unknown", {"column", "rename", "MAILING", "Town", "Place"}, 2, "no column 'Town'"},
    {"column rename fixed", {"column", "rename", "MAILING", "email", "Mail"}, 2, "is fixed"},
    {"column rename to existing", {"column", "rename", "MAILING", "City", "email"}, 2, "column 'email' already"},
    {"column rename blank", {"column", "rename", "MAILING", "City", "\t"}, 2, "cannot be blank"},
    {"column delete without --yes", {"column", "delete", "MAILING", "City"}, 2, "needs --yes"},
    {"column delete fixed", {"column", "delete", "MAILING", "sel", "--yes"}, 2, "is fixed"},
    {"column delete unknown", {"column", "delete", "MAILING", "Town", "--yes"}, 2, "no column 'Town'"},
    {"column delete in a damaged file", {"column", "delete", "MAILING", "City", "--yes"}, 1, damaged, Mailing::Damaged},
    {"check unknown mode", {"check", "MAILING", "some"}, 2, "unknown check 'some'"},
    {"check misspelled option", {"check", "MAILING", "all", "--exception"}, 2, "unknown option '--exception'"},
    {"check without mode", {"check", "MAILING"}, 2, "give the mailing and one of"},
    {"check a missing file", {"check", "MAILING", "all"}, 1, "MAILING", Mailing::Missing},
    {"delete-checked without --yes", {"delete-checked", "MAILING"}, 2, "needs --yes"},
    {"delete-checked exceptions without --yes", {"delete-checked", "MAILING", "--exceptions"},
     2, "checked exceptions cannot be undone and needs --yes"},
    {"delete-checked in a newer release's file", {"delete-checked", "MAILING", "--yes"}, 1, newer, Mailing::Newer},
    {"renumber exceptions", {"renumber", "MAILING", "--exceptions"}, 2, "unknown option"},
    {"renumber in a missing folder", {"renumber", "DIR/none/m.quill"}, 1, "there is no folder"},
    {"renumber a damaged file", {"renumber", "MAILING"}, 1, damaged, Mailing::Damaged},
    {"attach a missing file", {"attach", "MAILING", "DIR/missing.pdf"}, 1, "cannot be read"},
    {"attach a folder", {"attach", "MAILING", "DIR/folder"}, 1, "is a folder"},
    {"detach zero", {"detach", "MAILING", "0"}, 2, "they count from 1"},
    {"detach text", {"detach", "MAILING", "first"}, 2, "they count from 1"},
    {"detach past the end", {"detach", "MAILING", "2"}, 2, "there is no attachment 2"},
    {"detach from a missing file", {"detach", "MAILING", "1"}, 1, "MAILING", Mailing::Missing},
    // import and export
    {"import unknown option", {"import", "MAILING", "DIR/people.csv", "--quiet"}, 2, "unknown option --quiet"},
    {"import unknown format", {"import", "MAILING", "DIR/people.csv", "--format", "pipe"}, 2, "--format takes"},
    {"import unknown encoding code", {"import", "MAILING", "DIR/people.csv", "--encoding", "7"}, 2, "--encoding takes"},
    {"import option without value", {"import", "MAILING", "DIR/people.csv", "--map"}, 2, "--map needs a value"},
    {"import to an unknown key", {"import", "MAILING", "DIR/people.csv", "--map", "email,town"},
     2, "'town' is not a column"},
    {"import to a fixed key", {"import", "MAILING", "DIR/people.csv", "--map", "#"}, 2, "'#' is not a column"},
    {"import more destinations than columns", {"import", "MAILING", "DIR/people.csv", "--map", "email,new,new"},
     2, "has 2 columns"},
    {"import one key twice", {"import", "MAILING", "DIR/people.csv", "--map", "email,email"}, 2, "to two columns"},
    {"import nothing", {"import", "MAILING", "DIR/people.csv", "--map", "-,-"}, 2, "no column"},
    {"import a new column of exceptions", {"import", "MAILING", "DIR/people.csv", "--exceptions", "--map", "email,new"},
     2, "no new columns"},
    {"import option twice", {"import", "MAILING", "DIR/people.csv", "--skip-first", "--skip-first"}, 2, "given twice"},
    {"import a missing data file", {"import", "MAILING", "DIR/nowhere.csv"}, 1, "could not be read"},
    {"import without data file", {"import", "MAILING"}, 2, ""},
    {"import into a damaged file", {"import", "MAILING", "DIR/people.csv"}, 1, damaged, Mailing::Damaged},
    // A spreadsheet saved on a Windows machine, read as UTF-8.
    {"import with the wrong encoding",
     {"import", "MAILING", "DIR/legacy.csv", "--encoding", "utf-8", "--map", "email,new"},
     1, "could not be read with the chosen text encoding"},
    {"export unknown format", {"export", "MAILING", "DIR/out.txt", "--format", "xml"}, 2, "--format takes"},
    {"export unknown key", {"export", "MAILING", "DIR/out.txt", "--keys", "email,phone"},
     2, "no key 'phone'; the keys are email"},
    {"export key twice", {"export", "MAILING", "DIR/out.txt", "--keys", "email,email"}, 2, "names 'email' twice"},
    {"export custom text with a fixed layout",
     {"export", "MAILING", "DIR/out.txt", "--format", "csv", "--custom-end-of-record", "x"},
     2, "only written by --format custom"},
    {"export bad flag value", {"export", "MAILING", "DIR/out.txt", "--custom-end-of-record-after-last", "maybe"},
     2, "takes yes or no"},
    {"export onto the mailing itself", {"export", "MAILING", "MAILING"}, 2, ""},
    {"export into a missing folder", {"export", "MAILING", "DIR/no/such/out.txt"}, 1, "The export could not be saved"},
    // send
    {"send without confirmation", {"send", "MAILING", "--all"}, 2, "add --yes"},
    {"send both record sets", {"send", "MAILING", "--all", "--checked", "--yes"}, 2, "one of --checked and --all"},
    {"send no record set", {"send", "MAILING", "--yes"}, 2, "one of --checked and --all"},
    {"send resume and all", {"send", "MAILING", "--resume", "--all", "--yes"}, 2,
     "one of --checked, --all, --resume and --retry-failed"},
    {"send resend unknown alone", {"send", "MAILING", "--all", "--resend-unknown", "--yes"}, 2,
     "--resend-unknown needs --resume"},
    {"send include permanent alone", {"send", "MAILING", "--resume", "--include-permanent", "--yes"}, 2,
     "--include-permanent needs --retry-failed"},
    {"send resume prepared", {"send", "MAILING", "--resume", "--prepare", "--yes"}, 2, "no --prepare or --sendmail"},
    {"send resume without a run", {"send", "MAILING", "--resume", "--yes", "--smtp-host", "127.0.0.1"}, 1,
     "no run to go on from"},
    {"send report without a run", {"send", "MAILING", "--report", "DIR/r.csv"}, 1, "no run to report"},
    {"send port without host", {"send", "MAILING", "--all", "--yes", "--smtp-port", "25"}, 2, "needs --smtp-host"},
    {"send user without password", {"send", "MAILING", "--all", "--yes", "--smtp-host", "h", "--user", "u"},
     2, "--password-env"},
    {"send password variable unset",
     {"send", "MAILING", "--all", "--yes", "--smtp-host", "h", "--user", "u", "--password-env",
      "QUILLCAST_TEST_UNSET_VARIABLE"},
     2, "is not set"},
    {"send bad security", {"send", "MAILING", "--all", "--yes", "--smtp-host", "h", "--security", "ssl"},
     2, "--security"},
    {"send bad port", {"send", "MAILING", "--all", "--yes", "--smtp-host", "h", "--smtp-port", "70000"},
     2, "--smtp-port"},
    {"send zero interval", {"send", "MAILING", "--all", "--yes", "--interval", "0"}, 2, "--interval"},
    {"send by two transports", {"send", "MAILING", "--all", "--yes", "--smtp-host", "h", "--sendmail", "/bin/true"},
     2, "not both"},
    {"send unknown option", {"send", "MAILING", "--all", "--yes", "--fast"}, 2, "unknown option"},
    {"send without a server", {"send", "MAILING", "--checked", "--yes"}, 1, "Wrong server settings: Empty server name"},
};

void PrintTo(const Refusal &row, std::ostream *os)
{
    *os << row.name;
}

class CliRefusals : public ::testing::TestWithParam<Refusal>
{
protected:
    void SetUp() override
    {
        // Commands that run the document's posted steps need the event loop.
        quillcast::testing::application();
        ASSERT_TRUE(dir.isValid());
        mailing = dir.filePath(u"mailing.quill"_s);
        ASSERT_TRUE(write(u"a.txt"_s, "a"));
        ASSERT_TRUE(write(u"people.csv"_s, "a@x.org,Anna\nb@x.org,Ben\n"));
        ASSERT_TRUE(write(u"latin1.txt"_s, "Gr\xfc\xdf" "e"));
        ASSERT_TRUE(write(u"legacy.csv"_s, u"email,name\np@x.org,Zoë Müller\nq@x.org,Jürgen Groß\n"_s.toLatin1()));
        ASSERT_TRUE(write(u"broken.json"_s, "{ not json"));
        ASSERT_TRUE(QDir(dir.path()).mkdir(u"folder"_s));
        switch (GetParam().mailing) {
        case Mailing::Good:
            for (const QStringList &step : {QStringList{u"new"_s, mailing},
                                            {u"column"_s, u"add"_s, mailing, u"City"_s},
                                            {u"add-record"_s, mailing, u"email=a@example.org"_s},
                                            {u"check"_s, mailing, u"all"_s},
                                            {u"attach"_s, mailing, dir.filePath(u"a.txt"_s)}}) {
                const CliRun run = runCli(step);
                ASSERT_EQ(run.status, 0) << run.err.toStdString();
            }
            break;
        case Mailing::Damaged:
            ASSERT_TRUE(write(u"mailing.quill"_s, "not a mailing"));
            break;
        case Mailing::Newer:
            ASSERT_TRUE(
                write(u"mailing.quill"_s, KeyedArchiver::archive(Dict{{u"appversion"_s, quint64(20801)}}).value()));
            break;
        case Mailing::Missing:
            break;
        }
    }

    bool write(const QString &name, const QByteArray &bytes)
    {
        return quillcast::testing::writeFile(dir.filePath(name), bytes);
    }

    QTemporaryDir dir;
    QString mailing;
};

TEST_P(CliRefusals, SayWhyAndLeaveEveryFileAsItWas)
{
    const QByteArray before = fileContents(mailing);
    QStringList arguments;
    for (const char *argument : GetParam().arguments)
        arguments.append(QString::fromUtf8(argument));
    arguments.replaceInStrings(u"MAILING"_s, mailing);
    arguments.replaceInStrings(u"DIR"_s, dir.path());
    const CliRun run = runCli(arguments);
    EXPECT_EQ(run.status, GetParam().status);
    const QString message =
        QString::fromUtf8(GetParam().message).replace(u"MAILING"_s, mailing).replace(u"DIR"_s, dir.path());
    EXPECT_THAT(run.err.toStdString(), HasSubstr(message.toStdString()));
    EXPECT_EQ(run.out, QString());
    EXPECT_EQ(fileContents(mailing), before);
    EXPECT_EQ(QFile::exists(mailing), GetParam().mailing != Mailing::Missing);
    EXPECT_FALSE(QFile::exists(dir.filePath(u"out.txt"_s)));
}

INSTANTIATE_TEST_SUITE_P(Commands, CliRefusals, ::testing::ValuesIn(refusals), [](const auto &row) {
    QString name = QString::fromLatin1(row.param.name);
    name.replace(QRegularExpression(u"[^A-Za-z0-9]+"_s), u"_"_s);
    return name.toStdString();
});

} // namespace
