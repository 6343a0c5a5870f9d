#include "SendingTestData.h"

#include "FakeSmtpClient.h"
#include "ScriptedAlertPresenter.h"
#include "TestFiles.h"
#include "TestPrinters.h"
#include "document/LogTimeStamp.h"
#include "document/SendProgress.h"
#include "platform/ManualMainLoop.h"
#include "send/AccountRefusal.h"
#include "send/LXMailCoreBridge.h"
#include "send/RunJournalContents.h"
#include "send/RunJournalFolder.h"
#include "send/SendRun.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace quillcast {
namespace {

using sendtest::record;
using Outcome = RunJournalContents::Outcome;

// A run through the SMTP transport to a fake server whose answers the test
// gives, with or without a journal folder.
class JournalledSendRunTest : public ::testing::Test
{
protected:
    JournalledSendRunTest() : doc(paced.clock), bridge({smtp, mainLoop, paced.clock})
    {
        sendtest::setUp(doc, {record(1, true, u"a@example.org"_s), record(2, true, u"b@example.org"_s),
                              record(3, true, u""_s), record(4, true, u"d@example.org"_s)});
        doc.setMailFormFrom(u"office@example.org"_s);
        doc.setMailFormTo(u"_email_"_s);
        doc.setMailFormBody(u"Hello"_s);
        doc.setUseMailServerToSend(1);
        doc.setAlertPresenter(&presenter);
        smtp.holdCompletions();
    }

    SendingServices services(const QString &journalFolder)
    {
        SendingServices s;
        s.mailCore = &bridge;
        s.server = ServerCredentials{.name = u"smtp.example.org"_s, .port = 25};
        s.journalFolder = journalFolder;
        s.mailingPath = u"/home/u/Members.quillcast"_s;
        return s;
    }

    static SmtpFailure refusal(int code, const QString &text)
    {
        const QString description = u"The server refused the message: %1 %2"_s.arg(code).arg(text);
        return {description, description, code, text};
    }
    static SmtpFailure noConnection()
    {
        const QString description = u"Could not connect to smtp.example.org port 25: Connection refused"_s;
        return {description, description};
    }
    void deliver()
    {
        mainLoop.runPending();
        sendtest::drainEvents();
    }
    // Whether a line of the log contains text.
    bool logHas(const QString &text) const
    {
        const QStringList log = sendtest::logLines(doc);
        return std::any_of(log.begin(), log.end(), [&](const QString &line) { return line.contains(text); });
    }
    // The envelope recipients of the calls from index on.
    QStringList sentTo(qsizetype from = 0)
    {
        QStringList to;
        const QList<FakeSmtpClient::Call> calls = smtp.calls();
        for (qsizetype i = from; i < calls.size(); ++i)
            to += calls[i].envelopeTo;
        return to;
    }

    // Answers the messages in the order handed: accepted, refused for
    // good, and the last one left waiting.
    void answerAllButTheLast(qsizetype firstCall)
    {
        ASSERT_TRUE(smtp.complete(firstCall));
        ASSERT_TRUE(smtp.complete(firstCall + 1, refusal(550, u"5.1.1 no such user"_s)));
        deliver();
    }

    // Records a to d, and a run of them that ends as a crash would: the
    // cancel comes once `handed` messages went out, the first is accepted,
    // and any other is never answered. Returns the run's journal.
    static QList<Dict> fourRecords()
    {
        return {record(1, true, u"a@example.org"_s), record(2, true, u"b@example.org"_s),
                record(3, true, u"c@example.org"_s), record(4, true, u"d@example.org"_s)};
    }
    QString crashedRun(qsizetype handed)
    {
        sendtest::setUp(doc, fourRecords());
        QString path;
        {
            SendRun crashed(doc, services(state.path()), paced, paced.clock);
            paced.onSleep = [this, handed](qint64) {
                if (smtp.calls().size() == handed)
                    doc.sendProgress().requestCancel();
            };
            crashed.doPrepareAllRecordsSending(true);
            path = crashed.lastJournalPath().value_or(QString());
            EXPECT_TRUE(smtp.complete(0));
            deliver();
        }
        paced.onSleep = nullptr;
        return path;
    }

    sendtest::PacedClock paced;
    MyDocument doc{SystemClock::instance()};
    FakeSmtpClient smtp;
    ManualMainLoop mainLoop;
    LXMailCoreBridge bridge;
    ScriptedAlertPresenter presenter;
    QTemporaryDir state;
};

// The log's lines without their time stamps (the paced clock moves on).
QStringList unstamped(const MyDocument &doc)
{
    QStringList lines = sendtest::logLines(doc);
    static const QRegularExpression stamp(u"^.*? \\d\\d:\\d\\d:\\d\\d "_s);
    for (QString &line : lines)
        line.remove(stamp);
    return lines;
}

TEST_F(JournalledSendRunTest, EachRecipientsStateIsJournalledAndTheLogStaysAsItWas)
{
    // The same run without a journal first: its log is what the run logs.
    {
        SendRun plain(doc, services(QString()), paced, paced.clock);
        plain.doPrepareAllRecordsSending(true);
        answerAllButTheLast(0);
        ASSERT_TRUE(smtp.complete(2));
        deliver();
        EXPECT_FALSE(plain.lastJournalPath().has_value());
    }
    const QStringList plainLog = unstamped(doc);
    ASSERT_EQ(plainLog.size(), 5);
    doc.setLogViewText(QString());
    EXPECT_TRUE(RunJournalFolder(state.path()).runsOf(u"/home/u/Members.quillcast"_s).isEmpty());

    SendRun run(doc, services(state.path()), paced, paced.clock);
    run.doPrepareAllRecordsSending(true);
    const std::optional<QString> path = run.lastJournalPath();
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(RunJournalFolder(state.path()).latestRunOf(u"/home/u/Members.quillcast"_s), path);

    // Handed, nothing answered yet: a crash now leaves three in doubt.
    Result<RunJournalContents> read = RunJournalContents::read(*path);
    ASSERT_TRUE(read.ok()) << read.error().toStdString();
    EXPECT_EQ(read->count(Outcome::Unknown), 3);
    EXPECT_EQ(read->recipients()[2].outcome, Outcome::Failed) << "no address: refused before the server";
    EXPECT_EQ(read->recipients()[2].reply, u"EMAIL ERROR: Can't prepare and send without a TO address"_s);

    answerAllButTheLast(3);
    read = RunJournalContents::read(*path);
    ASSERT_EQ(read->recipients().size(), 4u);
    const std::vector<std::pair<QString, Outcome>> expected = {{u"1"_s, Outcome::Accepted},
                                                              {u"2"_s, Outcome::Refused},
                                                              {u"3"_s, Outcome::Failed},
                                                              {u"4"_s, Outcome::Unknown}};
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(read->recipients()[i].recordId, expected[i].first);
        EXPECT_EQ(read->recipients()[i].outcome, expected[i].second);
    }
    EXPECT_EQ(read->recipients()[1].code, 550);
    EXPECT_EQ(read->recipients()[1].reply, u"5.1.1 no such user"_s);
    EXPECT_EQ(read->recipients()[3].address, u"d@example.org"_s);
    EXPECT_FALSE(read->end().has_value()) << "a message is still waiting for its answer";

    ASSERT_TRUE(smtp.complete(5));
    deliver();
    read = RunJournalContents::read(*path);
    EXPECT_TRUE(read->finished());
    EXPECT_EQ(read->count(Outcome::Accepted), 2);
    EXPECT_EQ(unstamped(doc), plainLog);
}

TEST_F(JournalledSendRunTest, AFolderThatCannotBeWrittenIsSaidAndTheRunGoesOn)
{
    ASSERT_TRUE(testing::writeFile(state.filePath(u"file"_s), "x"));
    SendRun run(doc, services(state.filePath(u"file/runs"_s)), paced, paced.clock);
    run.doPrepareAllRecordsSending(true);
    EXPECT_FALSE(run.lastJournalPath().has_value());
    EXPECT_EQ(smtp.calls().size(), 3);
    sendtest::drainEvents();
    const QStringList log = sendtest::logLines(doc);
    ASSERT_FALSE(log.isEmpty());
    EXPECT_TRUE(log[1].contains(u"The run's journal could not be written"_s)) << log[1].toStdString();
}

// A crash after the first answer: one accepted, one handed without an
// answer, two never handed. Resuming sends the two, and the doubtful one
// only when asked; an accepted one never.
TEST_F(JournalledSendRunTest, ResumeSendsWhatTheServerHadNotAccepted)
{
    const QString path = crashedRun(2);
    // What a crash leaves: no end line (the cancel's end waits for the
    // second answer, which never comes).
    ASSERT_FALSE(RunJournalContents::read(path)->end().has_value());
    ASSERT_EQ(sentTo(), QStringList({u"a@example.org"_s, u"b@example.org"_s}));

    for (const bool resendUnknown : {false, true}) {
        SCOPED_TRACE(resendUnknown);
        const QByteArray before = testing::fileContents(path);
        const qsizetype calls = smtp.calls().size();
        SendRun resumed(doc, services(state.path()), paced, paced.clock);
        resumed.resumeRun(path, resendUnknown);
        resumed.waitForFinished();
        deliver();
        EXPECT_EQ(presenter.shown().last().messageText,
                  u"Do you want to resume the run and send the emails for %1 records?"_s.arg(resendUnknown ? 3 : 2));
        EXPECT_EQ(sentTo(calls), resendUnknown
                      ? QStringList({u"b@example.org"_s, u"c@example.org"_s, u"d@example.org"_s})
                      : QStringList({u"c@example.org"_s, u"d@example.org"_s}));
        EXPECT_EQ(resumed.lastJournalPath(), path) << "the same run goes on in its journal";
        EXPECT_TRUE(logHas(resendUnknown ? u"1 whose answer is unknown sent again"_s
                                         : u"1 whose answer is unknown not sent again"_s));
        for (qsizetype i = calls; i < smtp.calls().size(); ++i)
            smtp.complete(i);
        deliver();
        EXPECT_TRUE(RunJournalContents::read(path)->finished());
        // Leave the journal as the crash left it for the next round.
        ASSERT_TRUE(testing::writeFile(path, before));
    }
}

// Since the run: record 2 removed, record 3's address edited, record 5
// added. The resume skips 2, sends 3 to its new address, and not 5.
TEST_F(JournalledSendRunTest, ResumeAfterTheRecordsWereEdited)
{
    const QString path = crashedRun(1);
    sendtest::setUp(doc, {record(1, true, u"a@example.org"_s), record(3, true, u"c.new@example.org"_s),
                          record(4, true, u"d@example.org"_s), record(5, true, u"e@example.org"_s)});

    SendRun resumed(doc, services(state.path()), paced, paced.clock);
    resumed.resumeRun(path, false);
    resumed.waitForFinished();
    deliver();
    EXPECT_EQ(sentTo(1), QStringList({u"c.new@example.org"_s, u"d@example.org"_s}));
    EXPECT_TRUE(logHas(u"1 no longer on the send list"_s));
    smtp.complete(1);
    smtp.complete(2);
    deliver();
    const Result<RunJournalContents> run = RunJournalContents::read(path);
    EXPECT_TRUE(run->finished());
    EXPECT_EQ(run->recipients()[2].address, u"c.new@example.org"_s);
    EXPECT_EQ(run->recipients()[1].outcome, Outcome::NotAttempted);
}

// Answers 250, 451, 550 and a lost connection: a retry sends to the 451
// and the lost one, and to the 550 only when asked.
TEST_F(JournalledSendRunTest, RetryFailedAfterAMixOfAnswers)
{
    sendtest::setUp(doc, fourRecords());
    QString first;
    {
        SendRun run(doc, services(state.path()), paced, paced.clock);
        run.doPrepareAllRecordsSending(true);
        first = *run.lastJournalPath();
        ASSERT_TRUE(smtp.complete(0));
        ASSERT_TRUE(smtp.complete(1, refusal(451, u"4.3.0 try again later"_s)));
        ASSERT_TRUE(smtp.complete(2, refusal(550, u"5.1.1 no such user"_s)));
        ASSERT_TRUE(smtp.complete(3, noConnection()));
        deliver();
    }
    ASSERT_TRUE(RunJournalContents::read(first)->finished());

    // A retry goes on in the run's journal, which keeps the last outcome
    // of each recipient: the second retry sees the first one's answers.
    const struct
    {
        bool includePermanent;
        QStringList sentTo;
    } rounds[] = {{false, {u"b@example.org"_s, u"d@example.org"_s}}, {true, {u"b@example.org"_s, u"c@example.org"_s}}};
    for (const auto &round : rounds) {
        SCOPED_TRACE(round.includePermanent);
        const qsizetype calls = smtp.calls().size();
        SendRun retry(doc, services(state.path()), paced, paced.clock);
        retry.retryFailed(first, round.includePermanent);
        retry.waitForFinished();
        deliver();
        EXPECT_EQ(sentTo(calls), round.sentTo);
        EXPECT_EQ(retry.lastJournalPath(), first);
        // b is refused for now again, the others taken.
        ASSERT_TRUE(smtp.complete(calls, refusal(451, u"4.3.0 try again later"_s)));
        for (qsizetype i = calls + 1; i < smtp.calls().size(); ++i)
            smtp.complete(i);
        deliver();
        EXPECT_TRUE(RunJournalContents::read(first)->finished());
    }
    const Result<RunJournalContents> run = RunJournalContents::read(first);
    EXPECT_EQ(run->count(Outcome::Accepted), 3);
    EXPECT_EQ(run->recipients()[1].code, 451);
}

// With the mailing's setting on, an address the server refuses as unknown
// goes to the exception list with the reply as its note, a step to undo, and
// the log says so; other refusals, an address listed already, or the
// setting off, add nothing.
TEST_F(JournalledSendRunTest, AddressesRefusedAsUnknownGoToTheExceptionList)
{
    sendtest::setUp(doc, fourRecords() << record(5, true, u"e@example.org"_s));
    for (const bool on : {true, false}) {
        SCOPED_TRACE(on);
        doc.setExceptArray(List({Value(Dict{{u"num"_s, Value(qint64(1))},
                                            {u"sel"_s, Value(false)},
                                            {u"email"_s, Value(u"e@example.org"_s)},
                                            {u"note"_s, Value(u""_s)}})}));
        doc.filterExcepts();
        doc.setLogViewText(QString());
        doc.setAddRefusedToExceptions(on ? 1 : 0);
        const qsizetype calls = smtp.calls().size();
        SendRun run(doc, services(state.path()), paced, paced.clock);
        run.doPrepareAllRecordsSending(true);
        ASSERT_TRUE(smtp.complete(calls));
        ASSERT_TRUE(smtp.complete(calls + 1, refusal(550, u"5.1.1 <b@example.org>: no such user"_s)));
        ASSERT_TRUE(smtp.complete(calls + 2, refusal(552, u"5.2.2 Mailbox full"_s)));
        ASSERT_TRUE(smtp.complete(calls + 3, refusal(450, u"4.1.1 try again later"_s)));
        ASSERT_TRUE(smtp.complete(calls + 4, refusal(550, u"5.1.1 <e@example.org>: no such user"_s)));
        deliver();

        QStringList listed;
        doc.exceptArray().read([&](const List::Items &items) {
            for (const Value &item : items)
                listed += item.toDict().stringValue(u"email"_s) + u' ' + item.toDict().stringValue(u"note"_s);
        });
        const QStringList log = unstamped(doc);
        if (!on) {
            EXPECT_EQ(listed, QStringList{u"e@example.org "_s});
            EXPECT_FALSE(log.join(u'\n').contains(u"exception list"_s));
            continue;
        }
        EXPECT_EQ(listed, (QStringList{u"e@example.org "_s, u"b@example.org 550 5.1.1 <b@example.org>: no such user"_s}));
        EXPECT_TRUE(log.contains(u"b@example.org added to the exception list: the server refused the address (550 "
                                 "5.1.1 <b@example.org>: no such user)"_s))
            << log.join(u'\n').toStdString();
        EXPECT_EQ(doc.undoManager().undoActionName(), u"Add Record"_s);
        ASSERT_TRUE(doc.undoManager().undo());
        EXPECT_EQ(doc.exceptArray().size(), 1);
    }
}

// Resume and retry need a journal that reads: anything else is an alert
// and starts nothing; started bare, the kind sends nothing and ends.
TEST_F(JournalledSendRunTest, NoJournalNoRun)
{
    SendRun run(doc, services(state.path()), paced, paced.clock);
    ASSERT_TRUE(testing::writeFile(state.filePath(u"other.run"_s), "not a journal\n"));
    for (const QString &path : {state.filePath(u"missing.run"_s), state.filePath(u"other.run"_s)}) {
        const qsizetype shown = presenter.shown().size();
        run.resumeRun(path, false);
        run.retryFailed(path, true);
        ASSERT_EQ(presenter.shown().size(), shown + 2);
        EXPECT_EQ(presenter.shown().last().messageText, u"The run cannot be continued"_s);
    }
    EXPECT_EQ(run.launchedCount(), 0);

    run.start(SendRun::Kind::Resume);
    run.waitForFinished();
    deliver();
    EXPECT_EQ(run.launchedCount(), 1);
    EXPECT_FALSE(run.isRunning());
    EXPECT_TRUE(smtp.calls().isEmpty());
}

// The server refuses the login: the run stops after that one message, says
// why, and the journal lets it be resumed.
TEST_F(JournalledSendRunTest, AnAccountRefusalStopsTheRunAfterOneAttempt)
{
    sendtest::setUp(doc, fourRecords().first(3));
    smtp.completeAtOnce(refusal(535, u"5.7.8 Authentication credentials invalid"_s));
    // The answer reaches the document's thread during the pause.
    paced.onSleep = [&](qint64) { deliver(); };
    SendRun run(doc, services(state.path()), paced, paced.clock);
    run.doPrepareAllRecordsSending(true);
    deliver();

    EXPECT_EQ(smtp.calls().size(), 1);
    EXPECT_TRUE(run.stoppedForAccount());
    EXPECT_EQ(run.accountRefusal(), u"535 5.7.8 Authentication credentials invalid"_s);
    const QStringList log = sendtest::logLines(doc);
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const QString &line) {
        return line.endsWith(u" Sending stopped: the server refused the account (535 5.7.8 Authentication credentials "
                             "invalid). No more messages are sent; once the account is fixed, resume the run"_s);
    }));
    const Result<RunJournalContents> journal = RunJournalContents::read(*run.lastJournalPath());
    EXPECT_EQ(journal->end(), RunJournal::End::Stopped);
    EXPECT_EQ(journal->count(Outcome::NotAttempted), 2);
}

TEST(AccountRefusal, StopsTheRunOnlyForTheAccount)
{
    const struct { const char *name; int code; QString text; bool stops; } rows[] = {
        {"auth failed", 535, u"5.7.8 Username and Password not accepted"_s, true},
        {"auth required", 530, u"5.7.0 Authentication Required"_s, true},
        {"policy, temporary", 451, u"4.7.1 Rate limit for this account reached"_s, true},
        {"policy, closing", 421, u"4.7.0 Too many connections from your account"_s, true},
        {"policy, permanent", 554, u"5.7.1 Sending blocked for this account"_s, true},
        {"Gmail quota", 550, u"5.4.5 Daily user sending quota exceeded."_s, true},
        {"quota in words only", 452, u"Too many messages sent today"_s, true},
        {"no such user", 550, u"5.1.1 <x@example.org>: Recipient address rejected"_s, false},
        {"mailbox full", 452, u"4.2.2 Mailbox full"_s, false},
        {"not a policy code", 451, u"4.7.1x try again"_s, false},
        {"try later", 451, u"4.3.0 Temporary failure, try again"_s, false},
        {"no reply", 0, u""_s, false},
        {"accepted", 250, u"2.0.0 Ok: queued"_s, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(AccountRefusal::stopsTheRun(row.code, row.text), row.stops);
    }
}

} // namespace
} // namespace quillcast
