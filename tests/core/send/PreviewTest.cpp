#include "SendingTestData.h"

#include "RecordingDocumentOpener.h"
#include "RecordingFileRevealer.h"
#include "send/Preview.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace quillcast {
namespace {

using sendtest::record;

class PreviewTest : public ::testing::Test
{
protected:
    PreviewTest() : clock(QDateTime(QDate(2025, 4, 1), QTime(12, 0), QTimeZone::utc())), doc(clock)
    {
        sendtest::setUp(doc, {record(1, false, u"ann@example.org"_s, u"Ann"_s), record(2, false, u"bob@example.org"_s, u"Bob"_s)});
        doc.setMailFormSubject(u"Hi _Name_"_s);
        doc.setMailFormBodyHtml(u"<b>_Name_</b>"_s);
        doc.setMailFormAttachment(u"/tmp/_Name_.pdf"_s);
        preview.setWebViewLoader([this](const QString &html) { loaded.append(html); });
    }

    FixedClock clock;
    MyDocument doc{SystemClock::instance()};
    RecordingFileRevealer revealer;
    RecordingDocumentOpener opener;
    Preview preview{doc, &revealer, &opener};
    QStringList loaded;
};

TEST_F(PreviewTest, SelectionRuleAndMergedFields)
{
    preview.doPreviewTableChanged();
    EXPECT_EQ(doc.previewFormSubject(), u"Hi Ann"_s); // no selection: the first record

    preview.setSelectedRow(1);
    ASSERT_TRUE(sendtest::processEventsUntil([&] { return doc.previewFormSubject() == u"Hi Bob"_s; }));
    EXPECT_EQ(doc.previewFormAttach(), u"/tmp/Bob.pdf"_s);
    EXPECT_EQ(loaded.last(), u"<b>Bob</b>"_s);

    preview.setSelectedRow(7); // outside the list: the first again
    ASSERT_TRUE(sendtest::processEventsUntil([&] { return doc.previewFormSubject() == u"Hi Ann"_s; }));
}

TEST_F(PreviewTest, ValuesAreShownAsWrittenEvenWhenTheyHoldTagText)
{
    doc.addressArray().at(0).toDict().set(u"4"_s, u"Ann_email_"_s);
    preview.doPreviewTableChanged();
    EXPECT_EQ(doc.previewFormSubject(), u"Hi Ann_email_"_s);
    EXPECT_EQ(doc.previewFormAttach(), u"/tmp/Ann_email_.pdf"_s);
    EXPECT_EQ(loaded.last(), u"<b>Ann_email_</b>"_s);
}

TEST_F(PreviewTest, SearchNarrowsTheListAndAnEmptyListLeavesThePreview)
{
    doc.setSearchFieldPreviewStr(u"bob@"_s);
    doc.filterPreview();
    preview.doPreviewTableChanged();
    EXPECT_EQ(doc.previewFormSubject(), u"Hi Bob"_s);

    doc.setSearchFieldPreviewStr(u"nobody"_s);
    doc.filterPreview();
    preview.doPreviewTableChanged();
    EXPECT_EQ(doc.previewFormSubject(), u"Hi Bob"_s);
}

TEST_F(PreviewTest, RebuildLeavesExceptionsOut)
{
    doc.setExceptArray(List({Value(Dict{{u"email"_s, Value(u"ann@example.org"_s)}})}));
    preview.updateThePreviewArray();
    ASSERT_TRUE(sendtest::processEventsUntil([&] { return doc.previewFormSubject() == u"Hi Bob"_s; }));
    EXPECT_EQ(doc.previewArrayShown().size(), 1);
}

TEST_F(PreviewTest, DateTagsShowThePreviewTime)
{
    doc.setMailFormBody(u"_dd_"_s);
    preview.doPreviewTableChanged();
    const QString first = doc.previewFormBody();
    clock.advance(3LL * 24 * 3600 * 1000);
    preview.doPreviewTableChanged();
    EXPECT_NE(doc.previewFormBody(), first);
}

TEST_F(PreviewTest, AttachmentCommandsNeedSomethingAtThePath)
{
    preview.doPreviewTableChanged();
    preview.previewAttachRun();
    preview.previewAttachShow();
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_TRUE(revealer.revealed.isEmpty());

    QTemporaryDir dir;
    doc.setPreviewFormAttach(dir.path());
    preview.previewAttachRun();
    preview.previewAttachShow();
    EXPECT_EQ(opener.opened, QStringList({dir.path()}));
    EXPECT_EQ(revealer.revealed, QStringList({dir.path()}));
}

} // namespace
} // namespace quillcast
