#include "SendingTestData.h"

#include "FakeSmtpClient.h"
#include "ScriptedAlertPresenter.h"
#include "TestFiles.h"
#include "TestPrinters.h"
#include "document/LogTimeStamp.h"
#include "platform/ManualMainLoop.h"
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
        s.server = ServerCredentials{.name = u"smtp.example.org"_s};
        s.journalFolder = journalFolder;
        s.mailingPath = u"/home/u/Members.quillcast"_s;
        return s;
    }

    // Answers the messages in the order handed: accepted, refused for
    // good, and the last one left waiting.
    void answerAllButTheLast(qsizetype firstCall)
    {
        ASSERT_TRUE(smtp.complete(firstCall));
        SmtpFailure refused;
        refused.localizedDescription = u"The server refused the recipient <b@example.org>: 550 5.1.1 no such user"_s;
        refused.fullDescription = refused.localizedDescription;
        refused.replyCode = 550;
        refused.replyText = u"5.1.1 no such user"_s;
        ASSERT_TRUE(smtp.complete(firstCall + 1, refused));
        mainLoop.runPending();
        sendtest::drainEvents();
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
        mainLoop.runPending();
        sendtest::drainEvents();
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
    mainLoop.runPending();
    sendtest::drainEvents();
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

} // namespace
} // namespace quillcast
