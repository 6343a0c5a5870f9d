#include "MailPageFixture.h"

#include "document/DocumentKeys.h"
#include "send/Preview.h"
#include "tabs/PreviewTab.h"

#include "TestFiles.h"
#include "TestRecords.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillcast;
using namespace quillcast::gui;
using namespace quillcast::gui::testing;
using namespace Qt::StringLiterals;
using quillcast::testing::exceptRecord;
using quillcast::testing::record;

namespace {

// Ann and Bob on the send list, Carl on the exception list; the mail form
// greets each by name and attaches "<folder>/<name>.txt".
Status fillMailing(MyDocument &doc, const QString &folder)
{
    doc.setKeyArray(List({Value(DocumentKeys::makeDbKey(u"1"_s, u"#"_s)),
                          Value(DocumentKeys::makeDbKey(u"2"_s, u"sel"_s)),
                          Value(DocumentKeys::makeDbKey(u"3"_s, u"email"_s)),
                          Value(DocumentKeys::makeDbKey(u"4"_s, u"Name"_s))}));
    doc.setAddressArray(List({Value(record(1, false, u"ann@x.org"_s, u"Ann"_s)),
                              Value(record(2, false, u"carl@x.org"_s, u"Carl"_s)),
                              Value(record(3, false, u"bob@x.org"_s, u"Bob"_s))}));
    doc.setExceptArray(List({Value(exceptRecord(1, u"carl@x.org"_s))}));
    doc.setMailFormFrom(u"shop@x.org"_s);
    doc.setMailFormSubject(u"Hello _Name_"_s);
    doc.setMailFormBody(u"Dear _Name_ (_email_)"_s);
    doc.setMailFormAttachment(folder + u"/_Name_.txt"_s);
    return success();
}

struct PreviewPage
{
    PreviewPage()
    {
        if (!quillcast::testing::writeFile(dir.filePath(u"Ann.txt"_s), "x"))
            qFatal("cannot write the attachment");
        if (!page.session.newDocument([this](MyDocument &doc) { return fillMailing(doc, dir.path()); }))
            qFatal("cannot make the mailing");
        tab = new PreviewTab(page.context, &page.window);
        page.show();
        table = page.find<QTableView>(u"previewTable"_s);
        to = page.find<QLineEdit>(u"previewToField"_s);
        // What selecting the tab does.
        page.session.preview().updateThePreviewArray();
    }

    void clickRow(int row)
    {
        const QRect cell = table->visualRect(table->model()->index(row, 1));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    }

    QTemporaryDir dir;
    PageContext page;
    PreviewTab *tab = nullptr;
    QTableView *table = nullptr;
    QLineEdit *to = nullptr;
};

} // namespace

class PreviewTabTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void withoutSelectionTheFirstRecordIsPreviewedAndTheSelectionIsFollowed()
    {
        PreviewPage preview;
        QTRY_COMPARE(preview.to->text(), u"ann@x.org"_s);
        QCOMPARE(preview.table->model()->rowCount(), 2); // Carl is an exception
        QCOMPARE(preview.page.find<QLineEdit>(u"previewSubjectField"_s)->text(), u"Hello Ann"_s);
        QCOMPARE(preview.page.find<QLineEdit>(u"previewFromField"_s)->text(), u"shop@x.org"_s);
        QCOMPARE(preview.page.find<QPlainTextEdit>(u"previewBodyField"_s)->toPlainText(), u"Dear Ann (ann@x.org)"_s);

        preview.clickRow(1);
        QCOMPARE(preview.tab->selectedRow(), std::optional<qsizetype>(1));
        QTRY_COMPARE(preview.to->text(), u"bob@x.org"_s);
        QCOMPARE(preview.page.find<QLineEdit>(u"previewSubjectField"_s)->text(), u"Hello Bob"_s);

        preview.table->clearSelection();
        QTRY_COMPARE(preview.to->text(), u"ann@x.org"_s);
        QVERIFY(!preview.page.document().isDocumentEdited());
    }

    void theSearchNarrowsTheListAndAnEmptyListKeepsThePreview()
    {
        PreviewPage preview;
        QTRY_COMPARE(preview.to->text(), u"ann@x.org"_s);
        auto *search = preview.page.find<QLineEdit>(u"previewSearchField"_s);
        search->setFocus();
        QTest::keyClicks(search, u"bob"_s);
        QTRY_COMPARE(preview.table->model()->rowCount(), 1);
        QTRY_COMPARE(preview.to->text(), u"bob@x.org"_s);
        QCOMPARE(preview.page.document().searchFieldPreviewStr(), u"bob"_s);

        QTest::keyClicks(search, u"by"_s);
        QTRY_COMPARE(preview.table->model()->rowCount(), 0);
        QTest::qWait(50);
        QCOMPARE(preview.to->text(), u"bob@x.org"_s);
        QCOMPARE(preview.page.find<QLabel>(u"previewCountLabel"_s)->text(), u"0 records"_s);
    }

    void theMergedAttachmentOpensAndShowsOnlyWhenItExists()
    {
        PreviewPage preview;
        QTRY_COMPARE(preview.to->text(), u"ann@x.org"_s);
        const QString annFile = preview.dir.filePath(u"Ann.txt"_s);
        QCOMPARE(preview.page.find<QLineEdit>(u"previewAttachmentField"_s)->text(), annFile);
        QTest::mouseClick(preview.page.find<QPushButton>(u"previewOpenAttachmentButton"_s), Qt::LeftButton);
        QTest::mouseClick(preview.page.find<QPushButton>(u"previewRevealAttachmentButton"_s), Qt::LeftButton);
        QCOMPARE(preview.page.opener.opened, QStringList{annFile});
        QCOMPARE(preview.page.revealer.revealed, QStringList{annFile});

        // Bob's file does not exist: nothing happens and nothing is said.
        preview.clickRow(1);
        QTRY_COMPARE(preview.to->text(), u"bob@x.org"_s);
        QTest::mouseClick(preview.page.find<QPushButton>(u"previewOpenAttachmentButton"_s), Qt::LeftButton);
        QTest::mouseClick(preview.page.find<QPushButton>(u"previewRevealAttachmentButton"_s), Qt::LeftButton);
        QCOMPARE(preview.page.opener.opened.size(), 1);
        QCOMPARE(preview.page.revealer.revealed.size(), 1);
        QVERIFY(preview.page.alerts.shown().isEmpty());
    }

    // A new or reverted mailing replaces the document under the page.
    void aReplacedDocumentIsPreviewedInstead()
    {
        PreviewPage preview;
        QTRY_COMPARE(preview.to->text(), u"ann@x.org"_s);
        QVERIFY(preview.page.session.newDocument([](MyDocument &doc) {
            doc.setAddressArray(List({Value(record(1, false, u"zoe@x.org"_s))}));
            return success();
        }));
        preview.page.session.preview().updateThePreviewArray();
        QTRY_COMPARE(preview.to->text(), u"zoe@x.org"_s);
        QCOMPARE(preview.table->model()->rowCount(), 1);
    }
};

QTEST_MAIN(PreviewTabTest)
#include "PreviewTabTest.moc"
