#include "SendingTestData.h"

#include "HeldAlertPresenter.h"
#include "ScriptedAlertPresenter.h"
#include "document/LogTimeStamp.h"
#include "document/SendProgress.h"
#include "send/SendRun.h"
#include "send/StaticConnectionProvider.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace quillcast {
namespace {

using sendtest::record;

// A document with a send list, a mail form that merges the address, the
// user's mail system and a clock that moves only when the run sleeps.
class SendRunTest : public ::testing::Test
{
protected:
    SendRunTest() : doc(paced.clock)
    {
        doc.setMailFormFrom(u"office@example.org"_s);
        doc.setMailFormBody(u"Hello"_s);
        doc.setAlertPresenter(&presenter);
        connect();
    }

    void setRecords(const QList<Dict> &records) { sendtest::setUp(doc, records); }

    SendingServices services()
    {
        SendingServices s;
        s.mailClient = &mail;
        s.connections = &connections;
        return s;
    }

    // The run's progress reaches the document's thread; waitForRun() lets it
    // arrive. Each line is recorded when it changes, with the estimate
    // announced with it.
    void connect()
    {
        QObject::connect(&doc.sendProgress(), &SendProgress::changed, &doc, [this](const SendProgress::Snapshot &now) {
            if (now.action == lastAction)
                return;
            lastAction = now.action;
            actions.append(now.action);
            estimates.append(now.estimate);
        });
        QObject::connect(&doc.sendProgress(), &SendProgress::finished, &doc, [this] { ++finishedSignals; });
    }
    SendProgress::Snapshot progress() const { return doc.sendProgress().snapshot(); }
    void waitForRun(SendRun &run)
    {
        run.waitForFinished();
        sendtest::drainEvents();
    }

    sendtest::PacedClock paced;
    MyDocument doc{SystemClock::instance()};
    ScriptedAlertPresenter presenter;
    sendtest::RecordingMailClient mail;
    StaticConnectionProvider connections{
        List({Value(Dict{{u"mailServerName"_s, Value(u"smtp.example.org"_s)}, {u"useCustomPort"_s, Value(qint64(0))}})})};
    QString lastAction;
    QStringList actions;
    QStringList estimates;
    int finishedSignals = 0;
};

TEST_F(SendRunTest, ThreeCheckedRecordsAtFiveSeconds)
{
    setRecords({record(1, true, u"a@example.org"_s), record(2, false, u"skip@example.org"_s),
                record(3, true, u"b@example.org"_s), record(4, true, u"c@example.org"_s)});
    doc.setSendPrepTimeInterval(5);

    SendRun run(doc, services(), paced, paced.clock);
    run.prepareCheckedRecords();
    waitForRun(run);

    EXPECT_EQ(presenter.shown().at(0).messageText, u"Do you want to prepare the emails for 3 checked records?"_s);
    EXPECT_EQ(actions, QStringList({u"Preparing email: 1 of 3 (2 remaining)"_s, u"Preparing email: 2 of 3 (1 remaining)"_s,
                                    u"Preparing email: 3 of 3 (0 remaining)"_s, u"Done. 3 sent."_s}));
    EXPECT_EQ(estimates, QStringList({u"Completation in about 00:00:15 (hh:mm:ss)"_s,
                                      u"Completation in about 00:00:10 (hh:mm:ss)"_s,
                                      u"Completation in about 00:00:05 (hh:mm:ss)"_s, QString()}));
    // The first message leaves at once; each later one after 5 s of 0.5 s polls.
    EXPECT_EQ(paced.sleeps.size(), 20u);
    const auto calls = mail.takeCalls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[2].email, u"c@example.org"_s);
    EXPECT_FALSE(calls[0].send);
    EXPECT_FALSE(doc.preparingSending());
    EXPECT_EQ(progress().length, 3);
    EXPECT_EQ(progress().position, 2);
    EXPECT_EQ(finishedSignals, 1);
}

TEST_F(SendRunTest, CancelDuringThePauseStopsBeforeTheNextRecord)
{
    QList<Dict> records;
    for (int i = 1; i <= 10; ++i)
        records.append(record(i, true, u"r%1@example.org"_s.arg(i)));
    setRecords(records);
    doc.setSendPrepTimeInterval(5);
    paced.onSleep = [&](qint64 elapsed) {
        if (elapsed == 1000)
            doc.sendProgress().requestCancel();
    };

    SendRun run(doc, services(), paced, paced.clock);
    run.sendAllRecords();
    waitForRun(run);

    EXPECT_EQ(progress().action, u"Cancelled at: 2 of 10 (1 sent, 9 unsent)"_s);
    EXPECT_EQ(progress().estimate, QString());
    EXPECT_EQ(finishedSignals, 1);
    EXPECT_FALSE(actions.contains(u"Done. 10 sent."_s));
    EXPECT_FALSE(doc.preparingSending());
    EXPECT_EQ(mail.takeCalls().size(), 1u);
    // The cancel was seen at the next poll, not at the end of the interval.
    EXPECT_EQ(paced.sleeps.size(), 3u);
}

TEST_F(SendRunTest, LoweringTheIntervalShortensThePauseUnderWay)
{
    setRecords({record(1, true, u"a@example.org"_s), record(2, true, u"b@example.org"_s)});
    doc.setSendPrepTimeInterval(10);
    paced.onSleep = [&](qint64 elapsed) {
        if (elapsed == 2000)
            doc.setSendPrepTimeInterval(1);
    };
    SendRun run(doc, services(), paced, paced.clock);
    run.doPrepareInArray(doc.sendArray().items(), false);
    // Polls at 0, 0.5, ... 2.0 s; the next one, at 2.5 s, ends the pause.
    EXPECT_EQ(paced.sleeps.size(), 5u);
    EXPECT_EQ(mail.takeCalls().size(), 2u);
}

TEST_F(SendRunTest, EmptyRunAndTooSmallInterval)
{
    setRecords({});
    doc.setSendPrepTimeInterval(0);
    SendRun run(doc, services(), paced, paced.clock);
    run.doPrepareCheckedRecordsSending(false);
    EXPECT_EQ(progress().action, u"Done. 0 sent."_s);
    EXPECT_EQ(doc.sendPrepTimeInterval(), 1);
}

TEST_F(SendRunTest, RunLogLinesNameTheRoute)
{
    setRecords({record(1, true, u"a@example.org"_s)});
    doc.setUseMailServerToSend(1);
    SendingServices s = services();
    s.server = ServerCredentials{.name = u"smtp.example.org"_s};
    SendRun run(doc, s, paced, paced.clock);
    const QString stamp = LogTimeStamp::now(paced.clock);

    run.doPrepareCheckedRecordsSending(true);
    run.doPrepareCheckedRecordsSending(false);
    doc.setUseMailServerToSend(0);
    run.doPrepareCheckedRecordsSending(true);
    run.doPrepareAllRecordsSending(true);
    run.doPrepareAllRecordsSending(false);

    // The mail system's answers come between them, one for each message
    // it was given (no SMTP transport is set up for the first run).
    const QString handed = stamp + u" Email handed over to a@example.org"_s;
    ASSERT_TRUE(sendtest::processEventsUntil([&] { return sendtest::logLines(doc).size() == 9; }));
    EXPECT_EQ(sendtest::logLines(doc),
              QStringList({stamp + u" Prepare and send checked records via smtp.example.org \u2026"_s,
                           stamp + u" Prepare checked records via Mail.app \u2026"_s, handed,
                           stamp + u" Prepare and send checked records via Mail.app \u2026"_s, handed,
                           stamp + u" Prepare and send all records \u2026"_s, handed,
                           stamp + u" Prepare all records \u2026"_s, handed}));
}

// A checked run ignores the search field. What the mail system did not take
// is counted as failed, not as handed over, and a record refused before it
// as refused; the progress line still counts every record handled.
TEST_F(SendRunTest, CheckedRunIgnoresTheSearchFieldAndCountsEachOutcome)
{
    const struct
    {
        const char *name;
        QString failure;
        int handed;
        int failed;
    } rows[] = {{"mail system takes them", QString(), 2, 0}, {"mail system refuses them", u"queue full"_s, 0, 2}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        setRecords({record(1, true, u"a@example.org"_s, u"Ann"_s), record(2, true, u""_s, u"Bob"_s),
                    record(3, true, u"c@example.org"_s, u"Cid"_s)});
        doc.setSearchFieldSendStr(u"a@"_s);
        doc.filterSend();
        ASSERT_EQ(doc.sendArrayShown().size(), 1);
        mail.failure = row.failure;

        SendRun run(doc, services(), paced, paced.clock);
        run.prepareCheckedRecords();
        run.waitForFinished();
        EXPECT_EQ(doc.searchFieldSendStr(), QString());
        EXPECT_EQ(progress().action, u"Done. 3 sent."_s);
        EXPECT_EQ(run.refusedCount(), 1);
        EXPECT_EQ(run.handedToMailClientCount(), row.handed);
        EXPECT_EQ(run.mailClientFailedCount(), row.failed);
        EXPECT_EQ(mail.takeCalls().size(), 2u);
    }
}

TEST_F(SendRunTest, CancelOnTheConfirmationStartsNothing)
{
    setRecords({record(1, true, u"a@example.org"_s)});
    presenter.queueAnswer(1);
    SendRun run(doc, services(), paced, paced.clock);
    run.sendAllRecords();
    waitForRun(run);
    EXPECT_EQ(presenter.shown().at(0).messageText, u"Do you want to send the emails for all the 1 records?"_s);
    EXPECT_EQ(presenter.shown().at(0).buttons, QStringList({u"OK"_s, u"Cancel"_s}));
    EXPECT_TRUE(actions.isEmpty());
}

TEST_F(SendRunTest, IncompleteServerSettingsStopSendsButNotPrepares)
{
    setRecords({record(1, true, u"a@example.org"_s)});
    StaticConnectionProvider none;
    SendingServices s = services();
    s.connections = &none;
    SendRun run(doc, s, paced, paced.clock);

    run.sendCheckedRecords(); // through the user's mail system, still checked
    run.waitForFinished();
    ASSERT_EQ(presenter.shown().size(), 2);
    EXPECT_EQ(presenter.shown().at(1).messageText, u"Wrong server settings: Empty server name"_s);
    EXPECT_TRUE(mail.takeCalls().empty());

    run.prepareCheckedRecords();
    run.waitForFinished();
    EXPECT_EQ(mail.takeCalls().size(), 1u);
}

TEST_F(SendRunTest, SecondStartWhileRunningIsRefused)
{
    setRecords({record(1, true, u"a@example.org"_s), record(2, true, u"b@example.org"_s)});
    doc.setSendPrepTimeInterval(1);
    std::atomic<bool> release{false};
    std::atomic<bool> inPause{false};
    paced.onSleep = [&](qint64) {
        inPause.store(true);
        while (!release.load())
            std::this_thread::yield();
    };
    SendRun run(doc, services(), paced, paced.clock);
    run.prepareAllRecords();
    while (!inPause.load())
        std::this_thread::yield();

    run.prepareAllRecords();
    EXPECT_EQ(presenter.shown().last().messageText, u"A send run is already in progress"_s);
    release.store(true);
    run.waitForFinished();
    EXPECT_EQ(progress().action, u"Done. 2 sent."_s);
}

// A sheet answered after its run object has gone (the window closed the
// run, the document stays open) starts nothing and touches nothing; an
// answer while the run is there starts it.
TEST_F(SendRunTest, ConfirmationAnsweredAfterTheRunIsGoneStartsNothing)
{
    setRecords({record(1, true, u"a@example.org"_s)});
    testing::HeldAlertPresenter sheets;
    doc.setAlertPresenter(&sheets);

    const struct { const char *name; bool runGoneFirst; std::size_t messages; } rows[] = {
        {"answered while the run is there", false, 1},
        {"answered after the run is gone", true, 0},
    };
    for (const auto &row : rows) {
        auto run = std::make_unique<SendRun>(doc, services(), paced, paced.clock);
        run->prepareAllRecords();
        ASSERT_EQ(sheets.openCount(), 1u) << row.name;
        if (row.runGoneFirst)
            run.reset();
        EXPECT_TRUE(sheets.answer(0)) << row.name;
        if (run)
            run->waitForFinished();
        run.reset();
        sendtest::drainEvents();
        EXPECT_EQ(mail.takeCalls().size(), row.messages) << row.name;
        EXPECT_FALSE(doc.preparingSending()) << row.name;
    }
}

// The end of a run is announced once, on the document's thread, after the
// last progress line, and the run can be started again from there.
TEST_F(SendRunTest, FinishedArrivesOnTheDocumentThreadAfterTheLastLine)
{
    setRecords({record(1, true, u"a@example.org"_s), record(2, true, u"b@example.org"_s)});
    SendRun run(doc, services(), paced, paced.clock);
    const std::thread::id mainThread = std::this_thread::get_id();
    QStringList seenAtFinish;
    bool onMainThread = false;
    int restarts = 0;
    QObject::connect(&doc.sendProgress(), &SendProgress::finished, &doc, [&] {
        onMainThread = std::this_thread::get_id() == mainThread;
        seenAtFinish = actions;
        if (restarts++ == 0) {
            presenter.queueAnswer(0);
            run.prepareAllRecords();
        }
    });
    run.prepareAllRecords();
    ASSERT_TRUE(sendtest::processEventsUntil([&] { return finishedSignals == 2; }));
    run.waitForFinished();

    EXPECT_TRUE(onMainThread);
    EXPECT_EQ(seenAtFinish.last(), u"Done. 2 sent."_s);
    // The second start was not refused as a run still in progress.
    EXPECT_EQ(run.launchedCount(), 2);
    EXPECT_EQ(mail.takeCalls().size(), 4u);
}

} // namespace
} // namespace quillcast
