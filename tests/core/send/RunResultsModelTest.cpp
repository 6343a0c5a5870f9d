#include "TestApplication.h"
#include "RunJournalTestData.h"
#include "send/RunJournal.h"
#include "send/RunJournalObserver.h"
#include "send/RunResultsModel.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <thread>

using namespace quillcast;
using namespace Qt::StringLiterals;
using Outcome = RunJournalContents::Outcome;
using journaltest::at;
using journaltest::newJournal;
using journaltest::start;
using Counts = RunResultsModel::Counts;

namespace {

// The rows as "address outcome code reply", awaiting shown as such.
QStringList shown(const RunResultsModel &model)
{
    QStringList rows;
    for (qsizetype i = 0; i < model.rowCount(); ++i) {
        const RunResultsModel::Row &row = model.row(i);
        rows += u"%1 %2 %3 %4 %5"_s.arg(row.recordId, row.address,
                                        row.awaiting ? u"awaiting"_s : RunJournalContents::outcomeName(row.outcome))
                    .arg(row.code)
                    .arg(row.reply);
    }
    return rows;
}

// How often the model said each thing.
struct Signals
{
    explicit Signals(RunResultsModel &model)
    {
        QObject::connect(&model, &RunResultsModel::modelReset, [this] { ++resets; });
        QObject::connect(&model, &RunResultsModel::rowsInserted, [this] { ++inserted; });
        QObject::connect(&model, &RunResultsModel::rowChanged, [this] { ++changed; });
        QObject::connect(&model, &RunResultsModel::countsChanged, [this] { ++counts; });
    }
    int resets = 0;
    int inserted = 0;
    int changed = 0;
    int counts = 0;
};

} // namespace

// A run followed as it goes: one reset when it begins, then a row per
// recipient tried and changes of that row; the counts follow each answer.
// The same journal loaded whole afterwards reads the same.
TEST(RunResultsModelTest, FollowsARunRowByRowAndLoadsTheSameFromItsJournal)
{
    quillcast::testing::application();
    QTemporaryDir dir;
    const QString path = dir.filePath(u"run.run"_s);
    RunResultsModel model;
    const std::unique_ptr<RunJournal> journal = newJournal(path, 5, model.observer());
    quillcast::testing::drainEvents();
    Signals heard(model);
    EXPECT_EQ(model.journalPath(), path);
    EXPECT_EQ(model.runStart(), start);
    EXPECT_EQ(model.counts(), (Counts{.notSent = 5}));

    ASSERT_TRUE(journal->handed(0, u"a@example.org"_s, at(1)).ok());
    ASSERT_TRUE(journal->accepted(0, u"250 2.0.0 Ok: queued as 4F3k"_s, at(2)).ok());
    ASSERT_TRUE(journal->handed(1, u"b@example.org"_s, at(3)).ok());
    ASSERT_TRUE(journal->refused(1, 451, u"4.7.1 try again later"_s, at(4)).ok());
    ASSERT_TRUE(journal->failed(2, u"EMAIL ERROR: Can't prepare and send without a valid TO address"_s, at(5)).ok());
    ASSERT_TRUE(journal->handed(3, u"d@example.org"_s, at(6)).ok());
    quillcast::testing::drainEvents();

    EXPECT_EQ(shown(model), (QStringList{u"100 a@example.org accepted 0 250 2.0.0 Ok: queued as 4F3k"_s,
                                         u"101 b@example.org refused 451 4.7.1 try again later"_s,
                                         u"102  failed 0 EMAIL ERROR: Can't prepare and send without a valid TO address"_s,
                                         u"103 d@example.org awaiting 0 "_s}));
    EXPECT_EQ(model.counts(), (Counts{.accepted = 1, .refused = 1, .failed = 1, .awaiting = 1, .notSent = 1,
                                      .retryable = 2}));
    EXPECT_EQ(model.row(3).time, at(6));
    EXPECT_EQ(heard.resets, 0);
    EXPECT_EQ(heard.inserted, 4);
    EXPECT_EQ(heard.changed, 6);
    EXPECT_EQ(model.failedRecordIds(), (QStringList{u"101"_s, u"102"_s}));

    ASSERT_TRUE(journal->refused(3, 550, u"5.1.1 no such user"_s, at(7)).ok());
    journal->endWhenAnswered(RunJournal::End::Cancelled, QString(), at(8));
    quillcast::testing::drainEvents();
    EXPECT_EQ(model.counts(), (Counts{.accepted = 1, .refused = 2, .failed = 1, .notSent = 1, .retryable = 2}));
    EXPECT_EQ(model.end(), RunJournal::End::Cancelled);
    EXPECT_EQ(heard.resets, 0);

    RunResultsModel loaded;
    ASSERT_TRUE(loaded.load(path).ok());
    EXPECT_EQ(shown(loaded), shown(model));
    EXPECT_EQ(loaded.counts(), model.counts());
    EXPECT_EQ(loaded.end(), RunJournal::End::Cancelled);
}

// A retry goes on in the run's journal: the rows it sends again change in
// place, none is added; a model showing another run loads the journal first.
TEST(RunResultsModelTest, ARetryChangesTheRowsInPlace)
{
    quillcast::testing::application();
    QTemporaryDir dir;
    for (const bool shownBefore : {true, false}) {
        SCOPED_TRACE(shownBefore);
        const QString path = dir.filePath(shownBefore ? u"shown.run"_s : u"other.run"_s);
        {
            const std::unique_ptr<RunJournal> journal = newJournal(path, 2);
            ASSERT_TRUE(journal->handed(0, u"a@example.org"_s, at(1)).ok());
            ASSERT_TRUE(journal->accepted(0, u"250 Ok"_s, at(2)).ok());
            ASSERT_TRUE(journal->handed(1, u"b@example.org"_s, at(3)).ok());
            ASSERT_TRUE(journal->failed(1, u"Connection reset"_s, at(4)).ok());
            journal->endWhenAnswered(RunJournal::End::Finished, QString(), at(5));
        }
        RunResultsModel model;
        if (shownBefore) {
            ASSERT_TRUE(model.load(path).ok());
        }
        EXPECT_EQ(model.counts().retryable, shownBefore ? 1 : 0);
        Signals heard(model);
        Result<std::unique_ptr<RunJournal>> reopened =
            RunJournal::reopen(path, RunJournalContents::read(path)->validLength());
        ASSERT_TRUE(reopened.ok());
        RunJournal &journal = *reopened.value();
        journal.setObserver(model.observer());
        ASSERT_TRUE(journal.retried(false, at(10)).ok());
        ASSERT_TRUE(journal.handed(1, u"b@example.org"_s, at(11)).ok());
        ASSERT_TRUE(journal.accepted(1, u"250 Ok"_s, at(12)).ok());
        journal.endWhenAnswered(RunJournal::End::Finished, QString(), at(13));
        quillcast::testing::drainEvents();
        EXPECT_EQ(shown(model), (QStringList{u"100 a@example.org accepted 0 250 Ok"_s, u"101 b@example.org accepted 0 250 Ok"_s}));
        EXPECT_EQ(model.counts(), (Counts{.accepted = 2}));
        EXPECT_EQ(model.end(), RunJournal::End::Finished);
        EXPECT_EQ(heard.inserted, 0);
        EXPECT_EQ(heard.resets, shownBefore ? 0 : 1);
    }
}

// News of a run the model no longer shows (another mailing opened since, or
// the model gone while the run's worker and server still answer) are dropped.
TEST(RunResultsModelTest, NewsOfARunNoLongerShownAreDropped)
{
    quillcast::testing::application();
    QTemporaryDir dir;
    RunResultsModel model;
    const std::unique_ptr<RunJournal> journal = newJournal(dir.filePath(u"old.run"_s), 3, model.observer());
    ASSERT_TRUE(journal->handed(0, u"a@example.org"_s, at(1)).ok());
    model.clear();
    ASSERT_TRUE(journal->accepted(0, u"250 Ok"_s, at(2)).ok());
    ASSERT_TRUE(journal->handed(1, u"b@example.org"_s, at(3)).ok());
    quillcast::testing::drainEvents();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.journalPath(), QString());

    // From another thread, racing the model's end.
    auto gone = std::make_unique<RunResultsModel>();
    const std::unique_ptr<RunJournal> other = newJournal(dir.filePath(u"other.run"_s), 200, gone->observer());
    std::thread worker([&] {
        for (int i = 0; i < 200; ++i)
            (void)other->handed(i, u"x@example.org"_s, at(i));
    });
    gone.reset();
    worker.join();
    quillcast::testing::drainEvents();
}
