#include "SendingTestData.h"
#include "document/DocumentFile.h"

#include "document/SendProgress.h"

#include <gtest/gtest.h>

#include <thread>

using namespace Qt::StringLiterals;

namespace quillcast {
namespace {

using sendtest::processEventsUntil;

TEST(DocumentLog, AppendsLaterInArrivalOrderAndMarksEdited)
{
    sendtest::application();
    MyDocument doc{SystemClock::instance()};
    doc.setUpOpenedDocument();
    doc.updateChangeCount(MyDocument::ChangeKind::Cleared);

    std::thread worker([&] {
        doc.appendToLogView(u"a 1\n"_s);
        doc.appendToLogView(u"a 2\n"_s);
    });
    worker.join();
    doc.appendToLogView(u"b\n"_s);
    // Deferred also on the document's own thread.
    EXPECT_EQ(doc.logViewText(), QString());

    ASSERT_TRUE(processEventsUntil([&] { return doc.logViewText().size() == 10; }));
    EXPECT_EQ(doc.logViewText(), u"a 1\na 2\nb\n"_s);
    EXPECT_TRUE(doc.isDocumentEdited());
}

// Clearing is an edit to undo and redo; the cleared log is saved as the
// empty text, as no value would leave the key out of the file.
TEST(DocumentLog, ClearUndoRedoAndTheClearedLogIsSaved)
{
    sendtest::application();
    MyDocument doc{SystemClock::instance()};
    doc.setUpOpenedDocument();
    doc.setLogViewText(u"old line\n"_s);
    doc.updateChangeCount(MyDocument::ChangeKind::Cleared);

    doc.clearLog();
    EXPECT_EQ(doc.logViewText(), QString());
    EXPECT_TRUE(doc.isDocumentEdited());
    EXPECT_EQ(doc.undoManager().undoActionName(), u"Clear Log"_s);
    const Dict root = DocumentFile::rootDictionary(doc);
    ASSERT_TRUE(root.contains(u"log"_s));
    EXPECT_EQ(root.value(u"log"_s).toString(), u""_s);

    doc.undoManager().undo();
    EXPECT_EQ(doc.logViewText(), u"old line\n"_s);
    EXPECT_EQ(doc.undoManager().redoActionName(), u"Clear Log"_s);

    doc.undoManager().redo();
    EXPECT_EQ(doc.logViewText(), QString());
}

TEST(RemainingTime, EstimationStringsAndRecalculation)
{
    // Estimates of whole runs are checked by the send run's tests.
    EXPECT_EQ(SendProgress::estimationString(3723), u"Completation in about 01:02:03 (hh:mm:ss)"_s);
    EXPECT_EQ(SendProgress::estimationString(0), QString());

    MyDocument doc{SystemClock::instance()};
    doc.setSendPrepTimeInterval(0);
    doc.recalculateTimeEstimation();
    EXPECT_EQ(doc.sendPrepTimeInterval(), 1);
    EXPECT_EQ(doc.sendProgress().snapshot().estimate, QString()); // no run: no estimate

    SendProgress &progress = doc.sendProgress();
    ASSERT_TRUE(progress.tryStart());
    progress.begin(10);
    progress.recordStarted(7, 1);
    doc.setSendPrepTimeInterval(4);
    doc.recalculateTimeEstimation();
    EXPECT_EQ(progress.snapshot().estimate, u"Completation in about 00:00:12 (hh:mm:ss)"_s);
}

} // namespace
} // namespace quillcast
