#include "FileSizeLimit.h"
#include "ManualTimerFactory.h"
#include "TestApplication.h"
#include "TestFiles.h"
#include "database/KeyCommands.h"
#include "database/RecordCommands.h"
#include "document/MailingLock.h"
#include "document/SendProgress.h"
#include "document/MyDocument.h"
#include "platform/FixedClock.h"
#include "platform/NullUrlOpener.h"
#include "platform/QtTimerFactory.h"
#include "ScriptedAlertPresenter.h"
#include "session/DocumentSession.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <memory>

using namespace quillcast;
using namespace quillcast::testing;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

class DocumentSessionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        application();
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(u"Spring letter.quill"_s);
    }

    // A session as a window holds it; with autosave unless told otherwise.
    std::unique_ptr<DocumentSession> session(bool autosave = true)
    {
        auto s = std::make_unique<DocumentSession>(DocumentSession::Services{
            clock, alerts, NullUrlOpener::instance(), autosave ? &timers : nullptr, 0ms});
        s->setAutosaveDelay(2s);
        return s;
    }

    // The subject saved in the file at path, read by a session of its own.
    QString savedSubject(const QString &file)
    {
        auto reader = session(false);
        const Status read = reader->open(file, DocumentSession::Access::Reading);
        EXPECT_TRUE(read.ok()) << read.error().toStdString();
        return reader->document().mailFormSubject();
    }

    QTemporaryDir dir;
    QString path;
    FixedClock clock{QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9), QTimeZone::utc())};
    ScriptedAlertPresenter alerts;
    ManualTimerFactory timers;
};

TEST_F(DocumentSessionTest, OpenSaveSaveAsAndRevertRoundTrip)
{
    auto s = session(false);
    EXPECT_EQ(s->displayName(), u"Untitled"_s);
    EXPECT_FALSE(s->save().ok()) << "an untitled mailing has no file to save to";

    ASSERT_TRUE(s->create(path).ok());
    EXPECT_EQ(s->displayName(), u"Spring letter"_s);
    EXPECT_EQ(s->document().keyArray().size(), 3) << "a new mailing is set up with the fixed keys";
    EXPECT_FALSE(s->create(path).ok()) << "an existing file is never replaced";

    s->document().setMailFormSubject(u"First"_s);
    EXPECT_TRUE(s->isEdited());
    ASSERT_TRUE(s->save().ok());
    EXPECT_FALSE(s->isEdited());
    EXPECT_EQ(savedSubject(path), u"First"_s);

    // Revert throws the edits away and reads the file again.
    int replaced = 0;
    QObject::connect(s.get(), &DocumentSession::documentReplaced, [&] { ++replaced; });
    s->document().setMailFormSubject(u"Thrown away"_s);
    ASSERT_TRUE(s->revert().ok());
    EXPECT_EQ(replaced, 1);
    EXPECT_EQ(s->document().mailFormSubject(), u"First"_s);
    EXPECT_FALSE(s->isEdited());

    // Save as continues in the new file; the old one keeps what it had.
    const QString other = dir.filePath(u"copy.quill"_s);
    s->document().setMailFormSubject(u"Second"_s);
    ASSERT_TRUE(s->saveAs(other).ok());
    EXPECT_EQ(s->filePath(), other);
    EXPECT_EQ(s->displayName(), u"copy"_s);
    EXPECT_EQ(savedSubject(other), u"Second"_s);
    EXPECT_EQ(savedSubject(path), u"First"_s);

    auto reopened = session(false);
    ASSERT_TRUE(reopened->open(other, DocumentSession::Access::Reading).ok());
    EXPECT_EQ(reopened->document().mailFormSubject(), u"Second"_s);
    EXPECT_FALSE(reopened->save().ok()) << "a mailing opened to be read is never written";
}

TEST_F(DocumentSessionTest, TheLockIsHeldWhileOpenMovesWithSaveAsAndGoesOnClose)
{
    auto first = session();
    ASSERT_TRUE(first->create(path).ok());
    EXPECT_TRUE(first->isLocked());

    auto second = session();
    const Status refused = second->open(path);
    ASSERT_FALSE(refused.ok());
    EXPECT_TRUE(refused.error().contains(u"is being changed by another Quillcast process"_s))
        << refused.error().toStdString();
    EXPECT_TRUE(second->filePath().isEmpty()) << "a refused open leaves the session as it was";
    EXPECT_TRUE(second->open(path, DocumentSession::Access::Reading).ok()) << "looking needs no lock";
    EXPECT_FALSE(first->open(path).ok()) << "opening its own file again is refused, not waited for";
    EXPECT_TRUE(first->isLocked());

    const QString other = dir.filePath(u"moved.quill"_s);
    ASSERT_TRUE(first->saveAs(other).ok());
    MailingLock oldFile(path);
    EXPECT_TRUE(oldFile.acquire(0ms).ok()) << "save as let go of the old file";
    oldFile.release();
    MailingLock newFile(other);
    EXPECT_FALSE(newFile.acquire(0ms).ok()) << "save as took the new file";

    ASSERT_TRUE(first->close().ok());
    EXPECT_FALSE(first->isLocked());
    EXPECT_TRUE(newFile.acquire(0ms).ok()) << "close let go of the file";
}

TEST_F(DocumentSessionTest, AutosaveWaitsForTheEditsToPauseAndSavesOnClose)
{
    auto s = session();
    ASSERT_TRUE(s->create(path).ok());
    int saved = 0;
    QObject::connect(s.get(), &DocumentSession::saved, [&] { ++saved; });

    // Three edits a second apart: each one starts the wait over.
    for (const QString &subject : {u"one"_s, u"two"_s, u"three"_s}) {
        s->document().setMailFormSubject(subject);
        timers.advance(1s);
    }
    EXPECT_EQ(saved, 0);
    EXPECT_TRUE(s->isEdited());
    timers.advance(1s);
    EXPECT_EQ(saved, 1) << "one save for the three edits";
    EXPECT_FALSE(s->isEdited());
    EXPECT_EQ(savedSubject(path), u"three"_s);

    // Edits the document counts itself start the wait as well.
    s->document().clearLog();
    EXPECT_EQ(timers.activeCount(), 1);

    // Closing does not wait for the timer.
    s->document().setMailFormSubject(u"four"_s);
    ASSERT_TRUE(s->close().ok());
    EXPECT_EQ(saved, 2);
    EXPECT_EQ(savedSubject(path), u"four"_s);
    EXPECT_EQ(timers.activeCount(), 0);
}

TEST_F(DocumentSessionTest, AFailedSaveKeepsTheSessionEditedAndSaysWhy)
{
    auto s = session();
    ASSERT_TRUE(s->create(path).ok());
    const QByteArray before = fileContents(path);
    QStringList failed;
    QObject::connect(s.get(), &DocumentSession::saveFailed, [&](const QString &reason) { failed.append(reason); });

    // Larger than the disk will take.
    s->document().setMailFormBody(QString(64 * 1024, u'x'));
    {
        const FileSizeLimit limit(4096);
        timers.advance(2s);
        EXPECT_EQ(failed.size(), 1) << "the failed autosave is reported";
        const Status closed = s->close();
        EXPECT_FALSE(closed.ok()) << "a close whose save failed is reported";
        EXPECT_EQ(failed.size(), 2);
    }
    EXPECT_TRUE(s->isEdited());
    EXPECT_FALSE(s->lastSaveError().isEmpty());
    EXPECT_EQ(failed.constLast(), s->lastSaveError());
    EXPECT_EQ(fileContents(path), before) << "the file on disk is unchanged";
    EXPECT_TRUE(s->isLocked()) << "a close that could not save keeps the mailing";

    // With room on the disk again the same session saves.
    ASSERT_TRUE(s->save().ok());
    EXPECT_FALSE(s->isEdited());
    EXPECT_TRUE(s->lastSaveError().isEmpty());
}

// The window's tab switch: each tab's lists are brought up to date as it is
// selected, and an active send run keeps the window on the send tab.
TEST_F(DocumentSessionTest, SelectingATabRefreshesItsListsAndARunKeepsTheSendTab)
{
    auto s = session(false);
    MyDocument &doc = s->document();
    QList<QStringList> menus;
    QObject::connect(s.get(), &DocumentSession::tagMenuChanged, [&](const QStringList &tags) { menus.append(tags); });

    const QString first = KeyCommands(doc).addColumnInTable();
    ASSERT_TRUE(doc.setPublicKey(3, u"first"_s));
    const Dict ann = RecordCommands(doc).addAddress();
    doc.setRecordValue(ann, u"3"_s, Value(u"ann@x.org"_s));
    doc.setRecordValue(ann, first, Value(u"Ann"_s));
    doc.setMailFormSubject(u"Hello _first_"_s);

    ASSERT_TRUE(s->selectTab(MyDocument::MailTab));
    EXPECT_EQ(doc.selectedTab(), MyDocument::MailTab);
    EXPECT_EQ(menus, QList<QStringList>({{u"_first_"_s}}));
    EXPECT_EQ(s->dbKeyTags(), QStringList({u"_first_"_s}));
    ASSERT_TRUE(s->selectTab(MyDocument::MailTab));
    EXPECT_EQ(menus.size(), 1) << "unchanged menus are not announced again";

    // The preview is rebuilt from a fresh send list, merged with the first record.
    ASSERT_TRUE(s->selectTab(MyDocument::PreviewTab));
    EXPECT_TRUE(processEventsUntil([&] { return doc.previewFormSubject() == u"Hello Ann"_s; }))
        << doc.previewFormSubject().toStdString();
    EXPECT_EQ(doc.sendArray().size(), 1);

    const Dict bob = RecordCommands(doc).addAddress();
    doc.setRecordValue(bob, u"3"_s, Value(u"bob@y.org"_s));
    ASSERT_TRUE(s->selectTab(MyDocument::SendTab));
    EXPECT_TRUE(processEventsUntil([&] { return doc.sendArray().size() == 2; }));

    // A run keeps the send tab: other tabs are refused, the send tab itself is not.
    ASSERT_TRUE(doc.sendProgress().tryStart());
    for (int tab : {int(MyDocument::DatabaseTab), int(MyDocument::ExceptionTab), int(MyDocument::MailTab),
                    int(MyDocument::PreviewTab)})
        EXPECT_FALSE(s->selectTab(tab)) << "tab " << tab;
    EXPECT_EQ(doc.selectedTab(), MyDocument::SendTab);
    EXPECT_TRUE(s->selectTab(MyDocument::SendTab));
    doc.sendProgress().done();
    EXPECT_TRUE(processEventsUntil([&] { return !doc.preparingSending(); }));
    EXPECT_TRUE(s->selectTab(MyDocument::DatabaseTab));
    EXPECT_EQ(doc.selectedTab(), MyDocument::DatabaseTab);
}

// The real timers: started over, they fire once, after the last start.
TEST(QtTimerFactory, ARestartedTimerFiresOnceAfterTheLastStart)
{
    application();
    QtTimerFactory factory;
    int fired = 0;
    std::unique_ptr<Timer> timer = factory.createTimer([&] { ++fired; });
    timer->start(50ms);
    QElapsedTimer clock;
    clock.start();
    timer->start(150ms);
    EXPECT_TRUE(processEventsUntil([&] { return fired > 0; }, 2000));
    EXPECT_GE(clock.elapsed(), 140);
    EXPECT_FALSE(timer->isActive());
    processEventsUntil([] { return false; }, 100);
    EXPECT_EQ(fired, 1);

    // A timer destroyed while running never calls its handler.
    timer->start(10ms);
    timer.reset();
    processEventsUntil([] { return false; }, 50);
    EXPECT_EQ(fired, 1);
}

} // namespace
