#include "MailPageFixture.h"
#include "TestFiles.h"

#include "database/AttachmentCommands.h"
#include "document/DocumentKeys.h"
#include "mail/AttachmentListView.h"
#include "mail/TagLineEdit.h"
#include "mail/TagTextEdit.h"
#include "tabs/MailTab.h"

#include <QComboBox>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

using namespace quillcast;
using namespace quillcast::gui;
using namespace quillcast::gui::testing;
using namespace Qt::StringLiterals;

namespace {

Dict connection(const QString &description)
{
    return Dict{{u"mailServerDescription"_s, Value(description)}, {u"mailServerName"_s, Value(u"smtp.example.org"_s)}};
}

QStringList attachmentPaths(const MyDocument &doc)
{
    QStringList paths;
    for (const Value &entry : doc.attachmentBookmarks().items())
        paths.append(entry.toDict().stringValue(DocumentKeys::attachmentPath()));
    return paths;
}

QString writeFile(const QTemporaryDir &dir, const QString &name)
{
    const QString path = dir.filePath(name);
    return quillcast::testing::writeFile(path, "attached\n") ? path : QString();
}

// Drags the files over the list and lets go, as a file manager would with
// the actions it allows; whether the list took the drag.
bool dropFiles(AttachmentListView *list, const QStringList &paths, Qt::DropActions allowed)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString &path : paths)
        urls.append(QUrl::fromLocalFile(path));
    data.setUrls(urls);
    const QPoint at = list->viewport()->rect().center();
    QDragEnterEvent enter(at, allowed, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &enter);
    QDropEvent drop(QPointF(at), allowed, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(list->viewport(), &drop);
    return enter.isAccepted() && drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

} // namespace

class MailTabTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void typingInAFieldEditsTheMailingLoadingDoesNot_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<int>("kind");
        QTest::newRow("from") << u"mailFromField"_s << QByteArray("mailFormFrom") << 0;
        QTest::newRow("reply-to") << u"mailReplyToField"_s << QByteArray("mailFormReplyTo") << 0;
        QTest::newRow("to") << u"mailToField"_s << QByteArray("mailFormTo") << 0;
        QTest::newRow("subject") << u"mailSubjectField"_s << QByteArray("mailFormSubject") << 0;
        QTest::newRow("plain body") << u"mailBodyField"_s << QByteArray("mailFormBody") << 0;
        QTest::newRow("html body") << u"mailHtmlField"_s << QByteArray("mailFormBodyHtml") << 1;
        QTest::newRow("alternative text") << u"mailAltTextField"_s << QByteArray("mailFormBodyHtmlAltText") << 1;
    }
    void typingInAFieldEditsTheMailingLoadingDoesNot()
    {
        QFETCH(QString, field);
        QFETCH(QByteArray, property);
        QFETCH(int, kind);
        PageContext page;
        QVERIFY(page.session.newDocument([&](MyDocument &doc) {
            doc.setProperty(property.constData(), u"Loaded"_s);
            doc.setEmailKind(kind);
            doc.setUseMailServerToSend(1);
            return success();
        }));
        auto *tab = new MailTab(page.context, &page.window);
        page.show();
        if (kind == 1)
            page.find<QTabWidget>(u"mailHtmlTabs"_s)->setCurrentWidget(page.find<QWidget>(field));
        QWidget *widget = page.find<QWidget>(field);
        QVERIFY(widget && widget->isVisible());
        QVERIFY(!page.document().isDocumentEdited());
        const auto shown = [&] {
            if (auto *line = qobject_cast<QLineEdit *>(widget))
                return line->text();
            return qobject_cast<QPlainTextEdit *>(widget)->toPlainText();
        };
        QCOMPARE(shown(), u"Loaded"_s);

        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_End);
        QTest::keyClicks(widget, u" now"_s);
        QCOMPARE(page.document().property(property.constData()).toString(), u"Loaded now"_s);
        QVERIFY(page.document().isDocumentEdited());
        QCOMPARE(shown(), u"Loaded now"_s); // its own value coming back left it alone

        // A change from elsewhere (an undo, say) shows in the field.
        page.document().setProperty(property.constData(), u"Elsewhere"_s);
        QCOMPARE(shown(), u"Elsewhere"_s);
        Q_UNUSED(tab);
    }

    // Revert and New replace the document under the page.
    void aReplacedDocumentIsShownAndEditedInstead()
    {
        PageContext page;
        new MailTab(page.context, &page.window);
        page.show();
        QVERIFY(page.session.newDocument([](MyDocument &doc) {
            doc.setMailFormSubject(u"Replaced"_s);
            doc.setAttachmentBookmarks(List({Value(AttachmentCommands::makeEntry(u"/tmp/x.pdf"_s, "token"))}));
            return success();
        }));
        auto *subject = page.find<QLineEdit>(u"mailSubjectField"_s);
        QCOMPARE(subject->text(), u"Replaced"_s);
        QCOMPARE(page.find<AttachmentListView>(u"attachmentList"_s)->count(), 1);
        QVERIFY(!page.document().isDocumentEdited());
        subject->setFocus();
        QTest::keyClicks(subject, u"!"_s);
        QCOMPARE(page.document().mailFormSubject(), u"Replaced!"_s);
        QVERIFY(page.document().isDocumentEdited());
    }

    void aTagGoesToTheFocusedFieldInPlaceOfItsSelection_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("selectFrom");
        QTest::addColumn<int>("selectLength");
        QTest::addColumn<QString>("expected");
        // The field holds "Dear friend,".
        QTest::newRow("line, at the cursor") << u"mailSubjectField"_s << 5 << 0 << u"Dear _Name_friend,"_s;
        QTest::newRow("line, over a selection") << u"mailSubjectField"_s << 5 << 6 << u"Dear _Name_,"_s;
        QTest::newRow("body, over a selection") << u"mailBodyField"_s << 5 << 6 << u"Dear _Name_,"_s;
        QTest::newRow("no field focused") << QString() << 5 << 6 << u"Dear friend,"_s;
    }
    void aTagGoesToTheFocusedFieldInPlaceOfItsSelection()
    {
        QFETCH(QString, field);
        QFETCH(int, selectFrom);
        QFETCH(int, selectLength);
        QFETCH(QString, expected);
        PageContext page;
        page.context.dbKeyTags = [] { return QStringList{u"_Name_"_s}; };
        QVERIFY(page.session.newDocument([](MyDocument &doc) {
            doc.setMailFormSubject(u"Dear friend,"_s);
            doc.setMailFormBody(u"Dear friend,"_s);
            return success();
        }));
        auto *tab = new MailTab(page.context, &page.window);
        page.show();
        auto *subject = page.find<TagLineEdit>(u"mailSubjectField"_s);
        auto *body = page.find<TagTextEdit>(u"mailBodyField"_s);
        if (field == subject->objectName()) {
            subject->setFocus();
            subject->setSelection(selectFrom, selectLength);
        } else if (field == body->objectName()) {
            body->setFocus();
            QTextCursor cursor = body->textCursor();
            cursor.setPosition(selectFrom);
            cursor.setPosition(selectFrom + selectLength, QTextCursor::KeepAnchor);
            body->setTextCursor(cursor);
        } else {
            page.find<QComboBox>(u"mailKindCombo"_s)->setFocus();
        }

        // Through the pop-up, as the user picks the item.
        QMenu *menu = tab->tagMenu();
        Q_EMIT menu->aboutToShow();
        QAction *item = menu->findChild<QAction *>(u"tag_Name_"_s);
        QVERIFY(item);
        item->trigger();

        const QString stored = field == body->objectName() ? page.document().mailFormBody()
                                                           : page.document().mailFormSubject();
        QCOMPARE(stored, expected);
        QCOMPARE(page.document().isDocumentEdited(), !field.isEmpty());
        QCOMPARE(subject->text(), page.document().mailFormSubject());
        QCOMPARE(body->toPlainText(), page.document().mailFormBody());
    }

    // Each pop-up once: how the two are tied is the core's rule, tested there.
    void kindAndTransportFollowTheirRules_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("server");
        QTest::addColumn<QString>("popup");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("kindAfter");
        QTest::addColumn<int>("serverAfter");
        QTest::addColumn<QString>("body");
        QTest::newRow("html picks the server") << 0 << 0 << u"mailKindCombo"_s << int(Qt::Key_Down) << 1 << 1
                                               << u"mailHtmlTabs"_s;
        QTest::newRow("system mail makes it plain") << 1 << 1 << u"mailTransportCombo"_s << int(Qt::Key_Down) << 0
                                                    << 0 << u"mailBodyField"_s;
    }
    void kindAndTransportFollowTheirRules()
    {
        QFETCH(int, kind);
        QFETCH(int, server);
        QFETCH(QString, popup);
        QFETCH(int, key);
        QFETCH(int, kindAfter);
        QFETCH(int, serverAfter);
        QFETCH(QString, body);
        PageContext page;
        QVERIFY(page.session.newDocument([&](MyDocument &doc) {
            doc.setEmailKind(kind);
            doc.setUseMailServerToSend(server);
            return success();
        }));
        new MailTab(page.context, &page.window);
        page.show();
        auto *combo = page.find<QComboBox>(popup);
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key(key));
        QCOMPARE(page.document().emailKind(), kindAfter);
        QCOMPARE(page.document().useMailServerToSend(), serverAfter);
        QVERIFY(page.document().isDocumentEdited());
        QCOMPARE(page.find<QComboBox>(u"mailKindCombo"_s)->currentIndex(), kindAfter);
        QCOMPARE(page.find<QComboBox>(u"mailTransportCombo"_s)->currentIndex(), serverAfter == 1 ? 0 : 1);
        QCOMPARE(page.find<QStackedWidget>(u"mailBodyStack"_s)->currentWidget()->objectName(), body);
    }

    void withoutConnectionsThePopupSaysNoServer()
    {
        PageContext page;
        new MailTab(page.context, &page.window);
        page.show();
        auto *combo = page.find<QComboBox>(u"mailConnectionCombo"_s);
        QVERIFY(!combo->isEnabled());
        QCOMPARE(combo->count(), 1);
        QCOMPARE(combo->currentText(), u"no server"_s);
    }

    void theConnectionPopupListsTheConnectionsAndStoresTheChoice()
    {
        PageContext page(List({Value(connection(u"Office"_s)), Value(Dict{}), Value(connection(u"Home"_s))}));
        QVERIFY(page.session.newDocument([](MyDocument &doc) {
            doc.setSelectedIndexConnection(5); // beyond the list: shown as the last, not stored
            return success();
        }));
        new MailTab(page.context, &page.window);
        page.show();
        auto *combo = page.find<QComboBox>(u"mailConnectionCombo"_s);
        QVERIFY(combo->isEnabled());
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->itemText(0), u"Office"_s);
        QCOMPARE(combo->itemText(1), u"Undefined"_s);
        QCOMPARE(combo->currentText(), u"Home"_s);
        QVERIFY(!page.document().isDocumentEdited());

        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Up);
        QCOMPARE(page.document().selectedIndexConnection(), std::optional<qint64>(1));
        QVERIFY(page.document().isDocumentEdited());
    }

    void addRemoveAndRevealAttachments()
    {
        QTemporaryDir dir;
        const QString first = writeFile(dir, u"first.pdf"_s);
        const QString second = writeFile(dir, u"second.txt"_s);
        PageContext page;
        auto *tab = new MailTab(page.context, &page.window);
        page.show();
        auto *list = page.find<AttachmentListView>(u"attachmentList"_s);
        auto *remove = page.find<QPushButton>(u"removeAttachmentButton"_s);
        auto *reveal = page.find<QPushButton>(u"revealAttachmentButton"_s);
        QVERIFY(!remove->isEnabled() && !reveal->isEnabled());

        page.panel.queueOpenAnswer(first);
        page.panel.queueOpenAnswer(std::nullopt); // cancelled
        page.panel.queueOpenAnswer(second);
        for (int i = 0; i < 3; ++i)
            QTest::mouseClick(page.find<QPushButton>(u"addAttachmentButton"_s), Qt::LeftButton);
        QCOMPARE(page.panel.openRequests().size(), 3);
        QCOMPARE(page.panel.openRequests().first().prompt, AttachmentCommands::openPanelPrompt());
        QVERIFY(page.panel.openRequests().first().filesOnly);
        QCOMPARE(page.panel.openRequests().first().window, &page.window);
        QCOMPARE(attachmentPaths(page.document()), QStringList({first, second}));
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(1)->text(), u"second.txt"_s);
        QVERIFY(page.document().isDocumentEdited());

        // A folder can never be sent: refused with a message.
        page.panel.queueOpenAnswer(dir.path());
        tab->addAttachment();
        QCOMPARE(page.alerts.shown().size(), 1);
        QCOMPARE(list->count(), 2);

        list->item(0)->setSelected(true);
        QVERIFY(remove->isEnabled() && reveal->isEnabled());
        QCOMPARE(tab->selectedAttachmentRows(), QList<qsizetype>{0});
        QTest::mouseClick(reveal, Qt::LeftButton);
        QCOMPARE(page.revealer.revealed, QStringList{first});

        QSignalSpy selection(tab, &MailTab::selectionChanged);
        QTest::mouseClick(remove, Qt::LeftButton);
        QCOMPARE(attachmentPaths(page.document()), QStringList{second});
        QCOMPARE(list->count(), 1);
        QVERIFY(!selection.isEmpty());
        QVERIFY(!remove->isEnabled());

        page.document().undoManager().undo();
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(1)->text(), u"first.pdf"_s);
    }

    void aDropOfFilesAttachesThemOnlyAsACopy_data()
    {
        QTest::addColumn<int>("allowed");
        QTest::addColumn<bool>("taken");
        QTest::newRow("copy") << int(Qt::CopyAction) << true;
        QTest::newRow("copy or move") << int(Qt::CopyAction | Qt::MoveAction) << true;
        QTest::newRow("move only") << int(Qt::MoveAction) << false;
        QTest::newRow("link only") << int(Qt::LinkAction) << false;
    }
    void aDropOfFilesAttachesThemOnlyAsACopy()
    {
        QFETCH(int, allowed);
        QFETCH(bool, taken);
        QTemporaryDir dir;
        const QStringList files{writeFile(dir, u"a.txt"_s), writeFile(dir, u"b.txt"_s), writeFile(dir, u"c.txt"_s)};
        PageContext page;
        new MailTab(page.context, &page.window);
        page.show();
        auto *list = page.find<AttachmentListView>(u"attachmentList"_s);
        QCOMPARE(dropFiles(list, files, Qt::DropActions(allowed)), taken);
        QCOMPARE(attachmentPaths(page.document()), taken ? files : QStringList());
        QCOMPARE(page.document().isDocumentEdited(), taken);
        QVERIFY(!list->isHighlighted());
        QVERIFY(QFileInfo::exists(files.first())); // a copy leaves the file where it was
    }
};

QTEST_MAIN(MailTabTest)
#include "MailTabTest.moc"
