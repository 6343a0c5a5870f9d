#include "FileSizeLimit.h"
#include "TestFiles.h"
#include "RunJournalTestData.h"
#include "send/RunJournal.h"
#include "send/RunJournalContents.h"
#include "send/RunJournalFolder.h"
#include "send/RunResults.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>

using namespace quillcast;
using namespace Qt::StringLiterals;
using Outcome = RunJournalContents::Outcome;
using journaltest::at;
using journaltest::newJournal;
using journaltest::start;

namespace {

// A journal file in a folder of its own.
class RunJournalTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    const QString path = dir.filePath(u"run.run"_s);
};
using RunResultsTest = RunJournalTest;

TEST_F(RunJournalTest, EveryStateReadsBackPerRecipientInTheRunsOrder)
{
    {
        const std::unique_ptr<RunJournal> journal = newJournal(path, 6);
        ASSERT_TRUE(journal->handed(0, u"a@example.org"_s, at(1)).ok());
        ASSERT_TRUE(journal->accepted(0, u"250 2.0.0 Ok: queued as 4F3k"_s, at(2)).ok());
        ASSERT_TRUE(journal->handed(1, u"b@example.org"_s, at(3)).ok());
        ASSERT_TRUE(journal->refused(1, 550, u"5.1.1 <b@example.org>:\tno such user\nhere \\ there"_s, at(4)).ok());
        ASSERT_TRUE(journal->handed(2, u"c@example.org"_s, at(5)).ok());
        ASSERT_TRUE(journal->failed(2, u"Could not connect to the server"_s, at(6)).ok());
        ASSERT_TRUE(journal->handed(3, u"d@example.org"_s, at(7)).ok());
        ASSERT_TRUE(journal->refused(3, 451, u"4.7.1 try again later"_s, at(8)).ok());
        ASSERT_TRUE(journal->handed(4, u"\u00e9l\u00e8ve@exampl\u00e9.org"_s, at(9)).ok());
    }
    const Result<RunJournalContents> read = RunJournalContents::read(path);
    ASSERT_TRUE(read.ok()) << read.error().toStdString();
    const RunJournalContents &run = read.value();
    EXPECT_EQ(run.mailingPath(), u"/home/u/Mailing.quillcast"_s);
    EXPECT_EQ(run.start(), start);
    EXPECT_FALSE(run.end().has_value()) << "a run that stopped without a word";
    EXPECT_FALSE(run.tornTail());

    struct Expected
    {
        QString recordId;
        QString address;
        Outcome outcome;
        int code;
        QString reply;
    };
    const std::vector<Expected> expected = {
        {u"100"_s, u"a@example.org"_s, Outcome::Accepted, 0, u"250 2.0.0 Ok: queued as 4F3k"_s},
        {u"101"_s, u"b@example.org"_s, Outcome::Refused, 550, u"5.1.1 <b@example.org>:\tno such user\nhere \\ there"_s},
        {u"102"_s, u"c@example.org"_s, Outcome::Failed, 0, u"Could not connect to the server"_s},
        {u"103"_s, u"d@example.org"_s, Outcome::Refused, 451, u"4.7.1 try again later"_s},
        {u"104"_s, u"\u00e9l\u00e8ve@exampl\u00e9.org"_s, Outcome::Unknown, 0, QString()},
        {u"105"_s, QString(), Outcome::NotAttempted, 0, QString()},
    };
    ASSERT_EQ(run.recipients().size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        const RunJournalContents::Recipient &r = run.recipients()[i];
        EXPECT_EQ(r.index, qint64(i));
        EXPECT_EQ(r.recordId, expected[i].recordId);
        EXPECT_EQ(r.address, expected[i].address);
        EXPECT_EQ(r.outcome, expected[i].outcome);
        EXPECT_EQ(r.code, expected[i].code);
        EXPECT_EQ(r.reply, expected[i].reply);
    }
    EXPECT_EQ(run.recipients()[1].time, at(4));
    EXPECT_EQ(run.count(Outcome::Refused), 2);
    EXPECT_EQ(run.count(Outcome::Unknown), 1);
}

TEST_F(RunJournalTest, TheEndOfARunAndAResumptionAreRead)
{
    {
        const std::unique_ptr<RunJournal> journal = newJournal(path, 2);
        ASSERT_TRUE(journal->ended(RunJournal::End::Stopped, u"535 5.7.8 Authentication failed"_s, at(1)).ok());
    }
    Result<RunJournalContents> run = RunJournalContents::read(path);
    ASSERT_TRUE(run.ok());
    EXPECT_EQ(run->end(), RunJournal::End::Stopped);
    EXPECT_EQ(run->endReason(), u"535 5.7.8 Authentication failed"_s);
    EXPECT_FALSE(run->finished());
    {
        Result<std::unique_ptr<RunJournal>> journal = RunJournal::reopen(path, run->validLength());
        ASSERT_TRUE(journal.ok());
        ASSERT_TRUE(journal.value()->resumed(true, at(2)).ok());
    }
    run = RunJournalContents::read(path);
    EXPECT_FALSE(run->end().has_value()) << "a resumed run is going on again";
    EXPECT_EQ(run->resendUnknownChosen(), true);
    {
        Result<std::unique_ptr<RunJournal>> journal = RunJournal::reopen(path, run->validLength());
        ASSERT_TRUE(journal.value()->ended(RunJournal::End::Finished, QString(), at(3)).ok());
    }
    EXPECT_TRUE(RunJournalContents::read(path)->finished());
}

// What a crash can leave of the last line: any prefix of it. Every prefix
// must read as the journal without that line, never as something else.
TEST_F(RunJournalTest, EveryTruncationOfTheLastLineReadsAsTheJournalWithoutIt)
{
    const struct
    {
        const char *name;
        std::function<void(RunJournal &)> write;
        Outcome before;
        Outcome after;
    } rows[] = {
        {"handed", [](RunJournal &j) { (void)j.handed(1, u"b@example.org"_s, at(4)); }, Outcome::NotAttempted,
         Outcome::Unknown},
        {"accepted", [](RunJournal &j) { (void)j.accepted(1, u"250 2.0.0 queued as 1"_s, at(4)); }, Outcome::Unknown,
         Outcome::Accepted},
        {"refused", [](RunJournal &j) { (void)j.refused(1, 550, u"5.1.1 no such user"_s, at(4)); }, Outcome::Unknown,
         Outcome::Refused},
        {"failed", [](RunJournal &j) { (void)j.failed(1, u"connection reset"_s, at(4)); }, Outcome::Unknown,
         Outcome::Failed},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(path);
        std::unique_ptr<RunJournal> journal = newJournal(path, 2);
        ASSERT_TRUE(journal->handed(0, u"a@example.org"_s, at(1)).ok());
        ASSERT_TRUE(journal->accepted(0, u"250 ok"_s, at(2)).ok());
        if (row.before != Outcome::NotAttempted) {
            ASSERT_TRUE(journal->handed(1, u"b@example.org"_s, at(3)).ok());
        }
        const qint64 lastStart = QFileInfo(path).size();
        row.write(*journal);
        journal.reset();
        const QByteArray whole = quillcast::testing::fileContents(path);
        ASSERT_GT(whole.size(), lastStart);

        for (qint64 cut = lastStart; cut <= whole.size(); ++cut) {
            SCOPED_TRACE(cut);
            const Result<RunJournalContents> run = RunJournalContents::parse(whole.left(cut));
            ASSERT_TRUE(run.ok());
            const bool complete = cut == whole.size();
            EXPECT_EQ(run->tornTail(), !complete && cut > lastStart);
            EXPECT_EQ(run->validLength(), complete ? whole.size() : lastStart);
            ASSERT_EQ(run->recipients().size(), 2u);
            EXPECT_EQ(run->recipients()[0].outcome, Outcome::Accepted);
            EXPECT_EQ(run->recipients()[1].outcome, complete ? row.after : row.before);
        }
    }
}

// After a crash the file system may keep the file's new length without its
// data: the tail reads as zeros, or as old garbage with line feeds in it.
TEST_F(RunJournalTest, AGarbledTailIsIgnoredNotMisread)
{
    newJournal(path, 2)->handed(0, u"a@example.org"_s, at(1));
    const QByteArray good = quillcast::testing::fileContents(path);
    const QByteArray accepted = RunJournal::line({u"A"_s, u"0"_s, u"1765180802000"_s, u"250 ok"_s});
    QByteArray flipped = accepted;
    flipped[0] = 'R';
    QByteArray otherDigit = accepted;
    otherDigit[2] = '1';

    const std::vector<std::pair<const char *, QByteArray>> tails = {
        {"zeros", QByteArray(accepted.size(), '\0')},
        {"zeros with a line feed", QByteArray(accepted.size() - 1, '\0') + '\n'},
        {"another kind of line", flipped},
        {"another recipient", otherDigit},
        {"no checksum", "A\t0\t1765180802000\t250 ok\n"},
    };
    for (const auto &[name, tail] : tails) {
        SCOPED_TRACE(name);
        const Result<RunJournalContents> run = RunJournalContents::parse(good + tail + accepted);
        ASSERT_TRUE(run.ok());
        EXPECT_TRUE(run->tornTail());
        EXPECT_EQ(run->validLength(), good.size());
        EXPECT_EQ(run->recipients()[0].outcome, Outcome::Unknown);
        EXPECT_EQ(run->recipients()[1].outcome, Outcome::NotAttempted);
    }
}

TEST_F(RunJournalTest, ReopeningCutsATornTailSoNewLinesAreRead)
{
    newJournal(path, 2)->handed(0, u"a@example.org"_s, at(1));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("A\t0\t17651");
    }
    const Result<RunJournalContents> torn = RunJournalContents::read(path);
    ASSERT_TRUE(torn->tornTail());
    {
        Result<std::unique_ptr<RunJournal>> journal = RunJournal::reopen(path, torn->validLength());
        ASSERT_TRUE(journal.ok());
        ASSERT_TRUE(journal.value()->accepted(0, u"250 ok"_s, at(2)).ok());
    }
    const Result<RunJournalContents> run = RunJournalContents::read(path);
    EXPECT_FALSE(run->tornTail());
    EXPECT_EQ(run->recipients()[0].outcome, Outcome::Accepted);
}

TEST_F(RunJournalTest, AShortWriteFailsAndNothingIsWrittenAfterIt)
{
    std::unique_ptr<RunJournal> journal = newJournal(path, 2);
    const qint64 size = QFileInfo(path).size();
    {
        const quillcast::testing::FileSizeLimit limit(size + 10);
        const Status handed = journal->handed(0, u"a@example.org"_s, at(1));
        EXPECT_FALSE(handed.ok());
        EXPECT_TRUE(handed.error().contains(u"could not be written"_s)) << handed.error().toStdString();
    }
    // A line after a gap could be read as if the missing one had never been.
    EXPECT_FALSE(journal->accepted(0, u"250 ok"_s, at(2)).ok());
    EXPECT_EQ(QFileInfo(path).size(), size + 10);
    const Result<RunJournalContents> run = RunJournalContents::read(path);
    EXPECT_TRUE(run->tornTail());
    EXPECT_EQ(run->recipients()[0].outcome, Outcome::NotAttempted);
}

TEST_F(RunJournalTest, CreatingNeverOverwritesAndOnlyJournalsAreRead)
{
    newJournal(path, 1);
    EXPECT_FALSE(RunJournal::create(path, u"/m"_s, start).ok());
    EXPECT_EQ(RunJournalContents::read(path)->recipients().size(), 1u);

    EXPECT_FALSE(RunJournalContents::parse(QByteArray()).ok());
    EXPECT_FALSE(RunJournalContents::parse("quillcast-run\t1\t/m\t0\n").ok()) << "no checksum";
    EXPECT_FALSE(RunJournalContents::parse(RunJournal::line({u"quillcast-run"_s, u"2"_s, u"/m"_s, u"0"_s})).ok())
        << "a later format";
    EXPECT_FALSE(RunJournalContents::read(dir.filePath(u"missing.run"_s)).ok());
}

// The server's words go into a spreadsheet: quoted where they hold a comma,
// a quote or a line feed, and never taken for a formula.
TEST_F(RunResultsTest, TheCsvHasOneRowPerRecipientWithItsOutcome)
{
    {
        const std::unique_ptr<RunJournal> journal = newJournal(path, 4);
        (void)journal->handed(0, u"a@example.org"_s, at(1));
        (void)journal->accepted(0, u"2.0.0 Ok, queued"_s, at(2));
        (void)journal->handed(1, u"b@example.org"_s, at(3));
        (void)journal->refused(1, 550, u"=HYPERLINK(\"http://x\") \"no\"\nsuch user"_s, at(4));
        (void)journal->handed(2, u"-c@example.org"_s, at(5));
    }
    const Result<RunResults> results = RunResults::read(path);
    ASSERT_TRUE(results.ok());
    const RunResults::Counts counts = results->counts();
    EXPECT_EQ(counts.accepted, 1);
    EXPECT_EQ(counts.refused, 1);
    EXPECT_EQ(counts.unknown, 1);
    EXPECT_EQ(counts.notSent, 1);
    EXPECT_EQ(counts.failed, 0);
    const QByteArray csv = results->csv();
    EXPECT_EQ(csv,
              "record,address,outcome,code,reply,time\r\n"
              "100,a@example.org,accepted,,\"2.0.0 Ok, queued\",2025-12-08T08:00:02.000Z\r\n"
              "101,b@example.org,refused,550,\"'=HYPERLINK(\"\"http://x\"\") \"\"no\"\"\nsuch user\",2025-12-08T08:00:04.000Z\r\n"
              "102,\"'-c@example.org\",unknown,,,2025-12-08T08:00:05.000Z\r\n"
              "103,,not sent,,,\r\n");
    const QString out = dir.filePath(u"results.csv"_s);
    ASSERT_TRUE(results->writeCsv(out).ok());
    EXPECT_EQ(quillcast::testing::fileContents(out), csv);
    EXPECT_FALSE(results->writeCsv(dir.filePath(u"missing/results.csv"_s)).ok());
}

TEST(RunJournalFolderTest, RunsAreKeptPerMailingNewestTwenty)
{
    QTemporaryDir dir;
    const RunJournalFolder folder(dir.filePath(u"state/Quillcast/runs"_s));
    const QString mailing = dir.filePath(u"A.quillcast"_s);
    const QString other = dir.filePath(u"B.quillcast"_s);
    ASSERT_TRUE(folder.startRun(other, start).ok());
    for (int i = 0; i < 23; ++i)
        ASSERT_TRUE(folder.startRun(mailing, at(i)).ok()) << i;
    // The same start again: a file of its own.
    ASSERT_TRUE(folder.startRun(mailing, at(22)).ok());

    const QStringList runs = folder.runsOf(mailing);
    ASSERT_EQ(runs.size(), RunJournalFolder::keptRunsPerMailing);
    EXPECT_EQ(RunJournalContents::read(runs.first())->start(), at(4));
    EXPECT_EQ(RunJournalContents::read(*folder.latestRunOf(mailing))->start(), at(22));
    EXPECT_EQ(folder.runsOf(other).size(), 1);
    // The same file by another spelling of its path.
    EXPECT_EQ(folder.runsOf(dir.filePath(u"x/../A.quillcast"_s)).size(), RunJournalFolder::keptRunsPerMailing);
    EXPECT_FALSE(RunJournalFolder(dir.filePath(u"none"_s)).latestRunOf(mailing).has_value());
}

TEST(RunJournalFolderTest, TheStandardFolderFollowsXdgStateHome)
{
    const QByteArray saved = qgetenv("XDG_STATE_HOME");
    qputenv("XDG_STATE_HOME", "/var/tmp/state");
    EXPECT_EQ(RunJournalFolder::standardFolder(), u"/var/tmp/state/Quillcast/runs"_s);
    qputenv("XDG_STATE_HOME", "relative/state");
    EXPECT_TRUE(RunJournalFolder::standardFolder().endsWith(u"/.local/state/Quillcast/runs"_s));
    qunsetenv("XDG_STATE_HOME");
    EXPECT_TRUE(RunJournalFolder::standardFolder().endsWith(u"/.local/state/Quillcast/runs"_s));
    if (!saved.isNull())
        qputenv("XDG_STATE_HOME", saved);
}

} // namespace
