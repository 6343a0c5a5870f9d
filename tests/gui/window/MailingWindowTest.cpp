#include "AccessibleNames.h"
#include "FakeApplicationActions.h"
#include "FileSizeLimit.h"
#include "MailingWindow.h"
#include "ManualTimerFactory.h"
#include "RecordingFileRevealer.h"
#include "RecordingUrlOpener.h"
#include "ScriptedAlertPresenter.h"
#include "ScriptedFilePanel.h"
#include "WindowServices.h"
#include "database/ExceptionCommands.h"
#include "database/RecordCommands.h"
#include "document/SendProgress.h"
#include "platform/FixedClock.h"
#include "platform/NullUrlOpener.h"
#include "send/RunJournal.h"
#include "send/RunResultsModel.h"
#include "session/DocumentSession.h"
#include "util/UndoManager.h"
#include "window/TableRowCopy.h"

#include <QAction>
#include <QClipboard>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QStandardItemModel>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <memory>

using namespace quillcast;
using namespace quillcast::gui;
using namespace quillcast::gui::testing;
using namespace quillcast::testing;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

class MailingWindowTest : public QObject
{
    Q_OBJECT

private:
    // A window as the application makes it, over doubles: its sheets and
    // panels answer as the test scripts them, its autosave waits for advance().
    std::unique_ptr<MailingWindow> makeWindow(const QString &createdAt = {}, bool autosave = true)
    {
        auto session = std::make_unique<DocumentSession>(
            DocumentSession::Services{clock, appAlerts, NullUrlOpener::instance(), autosave ? &timers : nullptr, 0ms});
        session->setAutosaveDelay(3s);
        if (!createdAt.isEmpty() && !session->create(createdAt).ok())
            return nullptr;
        auto window = std::make_unique<MailingWindow>(std::move(session), *services);
        window->resize(1100, 750);
        return window;
    }

    QAction *action(MailingWindow &window, const QString &name)
    {
        QAction *found = window.action(name);
        if (!found)
            qWarning("no action %s", qPrintable(name));
        return found;
    }

    // What the user sees opening a menu: its items' rules asked afresh.
    void openMenu(MailingWindow &window, const QString &name)
    {
        QMenu *menu = window.findChild<QMenu *>(name);
        QVERIFY2(menu, qPrintable(name));
        Q_EMIT menu->aboutToShow();
    }

    // Shows the window and gives the focus to widget, put on its current page.
    void focusOnPage(MailingWindow &window, QWidget *widget)
    {
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        widget->show();
        widget->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), widget);
    }

    QString savedSubject(const QString &file)
    {
        DocumentSession reader(DocumentSession::Services{clock, appAlerts, NullUrlOpener::instance(), nullptr, 0ms});
        if (!reader.open(file, DocumentSession::Access::Reading).ok())
            return u"<unreadable>"_s;
        return reader.document().mailFormSubject();
    }

    FixedClock clock{QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9), QTimeZone::utc())};
    ScriptedAlertPresenter appAlerts;
    ManualTimerFactory timers;
    RecordingUrlOpener urlOpener;
    RecordingFileRevealer revealer;
    FakeApplicationActions application;
    std::unique_ptr<WindowServices> services;
    // Owned by the window; the window's sheets and panels.
    ScriptedAlertPresenter *alerts = nullptr;
    ScriptedFilePanel *panel = nullptr;
    std::unique_ptr<QTemporaryDir> dir;

private Q_SLOTS:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        application = FakeApplicationActions();
        services = std::make_unique<WindowServices>(WindowServices{application, urlOpener, revealer, nullptr, nullptr, {}, {}});
        services->makeAlerts = [this](QWidget *) {
            auto made = std::make_unique<ScriptedAlertPresenter>();
            alerts = made.get();
            return std::unique_ptr<AlertPresenter>(std::move(made));
        };
        services->makeFilePanel = [this](QWidget *) {
            auto made = std::make_unique<ScriptedFilePanel>();
            panel = made.get();
            return std::unique_ptr<FilePanel>(std::move(made));
        };
    }

    void everyControlOfEveryPageIsNamedAndTabsInVisualOrder()
    {
        auto window = makeWindow();
        window->show();
        QStringList unnamed;
        QMap<int, QStringList> orders;
        QWidget *first = window->tabs();
        for (QWidget *w = first->nextInFocusChain(); w != first; w = w->nextInFocusChain()) {
            // Qt's own parts (a spin box's editor, a tab bar and its scroll
            // buttons) are named by Qt.
            if (!(w->focusPolicy() & Qt::TabFocus) || w->window() != window.get()
                || w->objectName().startsWith(u"qt_"_s) || qobject_cast<QTabBar *>(w)
                || qobject_cast<QTabBar *>(w->parentWidget()))
                continue;
            for (int tab = 0; tab < window->tabs()->count(); ++tab) {
                if (window->tabs()->widget(tab)->isAncestorOf(w))
                    orders[tab].append(w->objectName());
            }
        }
        for (int tab = 0; tab < window->tabs()->count(); ++tab) {
            window->tabs()->setCurrentIndex(tab);
            unnamed += unnamedControls(*window->tabs()->widget(tab));
        }
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u", "_s)));
        QCOMPARE(orders.value(MyDocument::DatabaseTab),
                 (QStringList{u"keyList"_s, u"addColumnButton"_s, u"deleteColumnButton"_s, u"databaseSearchField"_s,
                              u"recordsTable"_s, u"addRecordButton"_s, u"removeRecordButton"_s}));
        QCOMPARE(orders.value(MyDocument::ExceptionTab),
                 (QStringList{u"exceptionsSearchField"_s, u"exceptionsTable"_s, u"addExceptionButton"_s,
                              u"removeExceptionButton"_s}));
        QCOMPARE(orders.value(MyDocument::MailTab),
                 (QStringList{u"mailFromField"_s, u"mailReplyToField"_s, u"mailToField"_s, u"mailSubjectField"_s,
                              u"mailKindCombo"_s, u"mailTransportCombo"_s, u"mailConnectionCombo"_s,
                              u"mailTagButton"_s, u"mailBodyField"_s, u"mailHtmlTabs"_s, u"mailHtmlField"_s,
                              u"mailAltTextField"_s, u"attachmentList"_s, u"addAttachmentButton"_s,
                              u"removeAttachmentButton"_s, u"revealAttachmentButton"_s}));
        QCOMPARE(orders.value(MyDocument::PreviewTab),
                 (QStringList{u"previewSearchField"_s, u"previewTable"_s, u"previewFromField"_s, u"previewToField"_s,
                              u"previewSubjectField"_s, u"previewBodyTabs"_s, u"previewBodyField"_s,
                              u"previewUnmergedButton"_s, u"previewAttachmentField"_s,
                              u"previewOpenAttachmentButton"_s, u"previewRevealAttachmentButton"_s}));
        QCOMPARE(orders.value(MyDocument::SendTab),
                 (QStringList{u"sendSearchField"_s, u"sendListTable"_s, u"sendCheckedButton"_s, u"sendAllButton"_s,
                              u"prepareCheckedButton"_s, u"prepareAllButton"_s, u"prepareSelectedButton"_s,
                              u"sendSelectedButton"_s, u"pauseField"_s, u"draftsFolderButton"_s,
                              u"addRefusedToExceptionsBox"_s, u"cancelRunButton"_s, u"clearLogButton"_s, u"logView"_s,
                              u"runResultsTable"_s, u"retryFailedButton"_s, u"checkFailedButton"_s,
                              u"exportResultsButton"_s}));
    }

    void menuEnablingFollowsTheTabAndTheLists_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("records");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<int>("exceptions");
        QTest::addColumn<QStringList>("enabled");
        QTest::addColumn<QStringList>("disabled");

        QTest::newRow("empty database") << 0 << 0 << false << 0
            << QStringList{u"actionAddRecord"_s, u"actionAddColumn"_s, u"actionImport"_s, u"actionCheckAll"_s}
            << QStringList{u"actionRemoveRecord"_s, u"actionExport"_s, u"actionDeleteChecked"_s, u"actionRenumber"_s,
                           u"toolbarCheckAll"_s, u"toolbarRemoveRow"_s, u"actionDeleteColumn"_s,
                           u"actionAddAttachment"_s, u"actionSendAll"_s, u"actionCancelRun"_s};
        QTest::newRow("database with a checked record") << 0 << 2 << true << 0
            << QStringList{u"actionRemoveRecord"_s, u"actionExport"_s, u"actionDeleteChecked"_s, u"actionRenumber"_s,
                           u"toolbarCheckAll"_s, u"toolbarDeleteChecked"_s, u"toolbarExport"_s}
            << QStringList{u"actionAddAttachment"_s, u"actionClearLog"_s};
        // The menu's export reaches the exception list; the general toolbar item too.
        QTest::newRow("exceptions with records") << 1 << 2 << true << 1
            << QStringList{u"actionExport"_s, u"actionRemoveRecord"_s, u"actionAddRecord"_s, u"toolbarExport"_s,
                           u"toolbarCheckAll"_s, u"actionDeleteChecked"_s, u"toolbarDeleteChecked"_s}
            << QStringList{u"actionAddColumn"_s, u"actionRenumber"_s, u"actionAddAttachment"_s};
        // The database's own checks on the preview tab; the general ones are off there.
        QTest::newRow("preview with records") << 3 << 2 << false << 0
            << QStringList{u"actionCheckAll"_s, u"actionUncheckAll"_s, u"actionCheckDuplicate"_s,
                           u"actionCheckUnique"_s, u"actionCheckValid"_s, u"actionCheckInvalid"_s}
            << QStringList{u"toolbarCheckAll"_s, u"toolbarCheckDuplicate"_s, u"actionAddRecord"_s,
                           u"actionImport"_s, u"actionExport"_s};
        QTest::newRow("preview of an empty database") << 3 << 0 << false << 0 << QStringList{}
            << QStringList{u"actionCheckAll"_s, u"actionCheckDuplicate"_s};
        // The menu's check all is there with an empty send list, the toolbar's is not.
        QTest::newRow("send with an empty list") << 4 << 0 << false << 0 << QStringList{u"actionCheckAll"_s}
            << QStringList{u"toolbarCheckAll"_s, u"actionSendAll"_s, u"actionSendChecked"_s,
                           u"actionSendSelected"_s, u"actionCancelRun"_s, u"actionAddRecord"_s};
        QTest::newRow("send with a checked record") << 4 << 1 << true << 0
            << QStringList{u"toolbarCheckAll"_s, u"actionSendAll"_s, u"actionSendChecked"_s,
                           u"actionPrepareAll"_s, u"actionPrepareChecked"_s}
            << QStringList{u"actionCancelRun"_s, u"actionSendSelected"_s};
        QTest::newRow("mail without attachments") << 2 << 1 << false << 0 << QStringList{u"actionAddAttachment"_s}
            << QStringList{u"actionRemoveAttachment"_s, u"actionAddRecord"_s, u"actionCheckAll"_s};
    }

    void menuEnablingFollowsTheTabAndTheLists()
    {
        QFETCH(int, tab);
        QFETCH(int, records);
        QFETCH(bool, checked);
        QFETCH(int, exceptions);
        QFETCH(QStringList, enabled);
        QFETCH(QStringList, disabled);

        auto window = makeWindow();
        MyDocument &doc = window->session().document();
        for (int i = 0; i < records; ++i) {
            const Dict record = RecordCommands(doc).addAddress();
            doc.setRecordValue(record, u"3"_s, Value(u"r%1@x.org"_s.arg(i)));
            doc.setRecordValue(record, u"2"_s, Value(checked && i == 0));
        }
        for (int i = 0; i < exceptions; ++i) {
            const Dict record = ExceptionCommands(doc).addExcept();
            doc.setRecordValue(record, u"sel"_s, Value(checked));
        }
        window->tabs()->setCurrentIndex(tab);
        QCOMPARE(doc.selectedTab(), tab);
        if (tab == MyDocument::SendTab || tab == MyDocument::PreviewTab)
            QTRY_COMPARE(doc.sendArray().size(), qsizetype(records));
        for (const QString &menu : {u"menuFile"_s, u"menuRecords"_s, u"menuMail"_s, u"menuSend"_s})
            openMenu(*window, menu);
        QCoreApplication::processEvents();

        for (const QString &name : enabled + disabled) {
            QAction *a = action(*window, name);
            QVERIFY(a);
            QVERIFY2(a->isEnabled() == enabled.contains(name), qPrintable(name + u" enabled wrongly"_s));
        }
    }

    // Without a menu being opened: the document's changes re-evaluate the
    // toolbar, once per turn of the event loop.
    void toolbarFollowsTheDocumentsChanges()
    {
        auto window = makeWindow();
        MyDocument &doc = window->session().document();
        QAction *remove = action(*window, u"toolbarRemoveRow"_s);
        QVERIFY(!remove->isEnabled());
        QAction *deleteChecked = action(*window, u"toolbarDeleteChecked"_s);

        Dict record;
        for (int i = 0; i < 3; ++i)
            record = RecordCommands(doc).addAddress();
        QTRY_VERIFY(remove->isEnabled());
        QVERIFY(!deleteChecked->isEnabled());
        doc.setRecordValue(record, u"2"_s, Value(true));
        QTRY_VERIFY(deleteChecked->isEnabled());
        doc.setRecordValue(record, u"2"_s, Value(false));
        QTRY_VERIFY(!deleteChecked->isEnabled());
    }

    void aRunLocksTheOtherTabsAndTheEditingCommands()
    {
        auto window = makeWindow();
        MyDocument &doc = window->session().document();
        const Dict record = RecordCommands(doc).addAddress();
        doc.setRecordValue(record, u"2"_s, Value(true));
        QTabWidget *tabs = window->tabs();
        tabs->setCurrentIndex(MyDocument::SendTab);
        QTRY_COMPARE(doc.sendArray().size(), qsizetype(1));

        QVERIFY(doc.sendProgress().tryStart());
        QTRY_VERIFY(!tabs->isTabEnabled(MyDocument::DatabaseTab));
        for (int tab = 0; tab < MyDocument::SendTab; ++tab)
            QVERIFY2(!tabs->isTabEnabled(tab), qPrintable(QString::number(tab)));
        QVERIFY(tabs->isTabEnabled(MyDocument::SendTab));

        openMenu(*window, u"menuSend"_s);
        openMenu(*window, u"menuEdit"_s);
        QVERIFY(action(*window, u"actionCancelRun"_s)->isEnabled());
        for (const QString &name : {u"actionSendAll"_s, u"actionSendChecked"_s, u"actionPrepareAll"_s,
                                    u"actionAddRecord"_s, u"actionRemoveRecord"_s, u"actionImport"_s,
                                    u"actionUndo"_s, u"actionRevert"_s, u"actionClearLog"_s})
            QVERIFY2(!action(*window, name)->isEnabled(), qPrintable(name));

        // A tab chosen anyway (the keyboard, a script) does not leave the send tab.
        tabs->setCurrentIndex(MyDocument::DatabaseTab);
        QCOMPARE(tabs->currentIndex(), int(MyDocument::SendTab));
        QCOMPARE(doc.selectedTab(), int(MyDocument::SendTab));

        doc.sendProgress().done();
        QTRY_VERIFY(tabs->isTabEnabled(MyDocument::DatabaseTab));
        openMenu(*window, u"menuEdit"_s);
        QVERIFY(action(*window, u"actionUndo"_s)->isEnabled());
        tabs->setCurrentIndex(MyDocument::DatabaseTab);
        QCOMPARE(doc.selectedTab(), int(MyDocument::DatabaseTab));
    }

    void theResultsCommandsFollowTheLastRun()
    {
        auto window = makeWindow();
        MyDocument &doc = window->session().document();
        const Dict first = RecordCommands(doc).addAddress();
        const Dict second = RecordCommands(doc).addAddress();
        window->tabs()->setCurrentIndex(MyDocument::SendTab);
        const QStringList commands{u"actionRetryFailed"_s, u"actionCheckFailed"_s, u"actionExportResults"_s};
        openMenu(*window, u"menuSend"_s);
        for (const QString &name : commands)
            QVERIFY2(!action(*window, name)->isEnabled(), qPrintable(name));

        const QString path = dir->filePath(u"run.run"_s);
        {
            Result<std::unique_ptr<RunJournal>> journal =
                RunJournal::create(path, QString(), QDateTime::currentDateTimeUtc());
            QVERIFY(journal.ok());
            RunJournal &run = *journal.value();
            const QString number = first.value(u"1"_s).toString();
            QVERIFY(run.queued({{0, number}, {1, second.value(u"1"_s).toString()}}).ok());
            QVERIFY(run.handed(0, u"a@example.org"_s, QDateTime::currentDateTimeUtc()).ok());
            QVERIFY(run.failed(0, u"Connection reset"_s, QDateTime::currentDateTimeUtc()).ok());
            QVERIFY(run.flush().ok());
        }
        QVERIFY(window->session().runResults().load(path).ok());
        openMenu(*window, u"menuSend"_s);
        for (const QString &name : commands)
            QVERIFY2(action(*window, name)->isEnabled(), qPrintable(name));

        QVERIFY(doc.sendProgress().tryStart());
        QTRY_VERIFY(!action(*window, u"actionRetryFailed"_s)->isEnabled());
        QVERIFY(!action(*window, u"actionCheckFailed"_s)->isEnabled());
        QVERIFY(action(*window, u"actionExportResults"_s)->isEnabled());
        doc.sendProgress().done();
        QTRY_VERIFY(action(*window, u"actionCheckFailed"_s)->isEnabled());

        action(*window, u"actionCheckFailed"_s)->trigger();
        QCOMPARE(first.boolValue(u"2"_s), true);
        QCOMPARE(second.boolValue(u"2"_s), false);
        QCOMPARE(doc.undoManager().undoActionName(), u"Check Failed"_s);
    }

    void undoAndRedoOfTheDocumentCarryTheActionNames()
    {
        auto window = makeWindow();
        MyDocument &doc = window->session().document();
        QVERIFY(!window->isWindowModified());
        QCOMPARE(window->windowTitle(), u"Untitled[*]"_s);

        action(*window, u"actionAddRecord"_s)->trigger();
        QCOMPARE(doc.addressArray().size(), qsizetype(1));
        QVERIFY(window->isWindowModified());

        openMenu(*window, u"menuEdit"_s);
        QAction *undo = action(*window, u"actionUndo"_s);
        QAction *redo = action(*window, u"actionRedo"_s);
        QCOMPARE(undo->text(), u"Undo Add Record"_s);
        QVERIFY(undo->isEnabled());
        QVERIFY(!redo->isEnabled());

        undo->trigger();
        QCOMPARE(doc.addressArray().size(), qsizetype(0));
        openMenu(*window, u"menuEdit"_s);
        QCOMPARE(redo->text(), u"Redo Add Record"_s);
        QVERIFY(redo->isEnabled());
        QVERIFY(!undo->isEnabled());

        redo->trigger();
        QCOMPARE(doc.addressArray().size(), qsizetype(1));
        openMenu(*window, u"menuEdit"_s);
        QCOMPARE(undo->text(), u"Undo Add Record"_s);
    }

    void aFocusedTextFieldKeepsItsOwnUndo()
    {
        auto window = makeWindow();
        MyDocument &doc = window->session().document();
        action(*window, u"actionAddRecord"_s)->trigger();
        auto *field = new QLineEdit(window->tabs()->currentWidget());
        field->setObjectName(u"probeField"_s);
        focusOnPage(*window, field);
        QTest::keyClicks(field, u"hello"_s);

        openMenu(*window, u"menuEdit"_s);
        QAction *undo = action(*window, u"actionUndo"_s);
        QCOMPARE(undo->text(), u"Undo"_s);
        QVERIFY(undo->isEnabled());
        undo->trigger();
        QCOMPARE(field->text(), QString());
        QCOMPARE(doc.addressArray().size(), qsizetype(1));

        // Select All then Copy go to the field as well.
        QTest::keyClicks(field, u"abc"_s);
        openMenu(*window, u"menuEdit"_s);
        QVERIFY(!action(*window, u"actionCopy"_s)->isEnabled());
        action(*window, u"actionSelectAll"_s)->trigger();
        QCOMPARE(field->selectedText(), u"abc"_s);
        openMenu(*window, u"menuEdit"_s);
        action(*window, u"actionCopy"_s)->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), u"abc"_s);
    }

    void saveAsNamesTheWindowAndAutosaveKeepsTheFile()
    {
        auto window = makeWindow();
        MyDocument &doc = window->session().document();
        doc.setMailFormSubject(u"Spring"_s);
        QVERIFY(window->isWindowModified());

        // Untitled: Save asks where, proposing a .quill name.
        const QString path = dir->filePath(u"Spring letter"_s);
        panel->queueSaveAnswer(path);
        action(*window, u"actionSave"_s)->trigger();
        QCOMPARE(panel->saveRequests().size(), 1);
        QCOMPARE(panel->saveRequests().constFirst().allowedExtensions, QStringList{u"quill"_s});
        const QString file = path + u".quill"_s;
        QCOMPARE(window->filePath(), file);
        QCOMPARE(window->windowTitle(), u"Spring letter[*]"_s);
        QVERIFY(!window->isWindowModified());
        QCOMPARE(application.recent, QStringList{file});
        QCOMPARE(savedSubject(file), u"Spring"_s);

        // Named: an edit is saved by itself once the edits pause.
        doc.setMailFormSubject(u"Summer"_s);
        QVERIFY(window->isWindowModified());
        timers.advance(2s);
        QCOMPARE(savedSubject(file), u"Spring"_s);
        timers.advance(1s);
        QVERIFY(!window->isWindowModified());
        QCOMPARE(savedSubject(file), u"Summer"_s);
        QVERIFY(alerts->shown().isEmpty());

        // Revert after a confirmation brings the file's contents back.
        doc.setMailFormSubject(u"Autumn"_s);
        openMenu(*window, u"menuFile"_s);
        QVERIFY(action(*window, u"actionRevert"_s)->isEnabled());
        alerts->queueAnswer(0);
        action(*window, u"actionRevert"_s)->trigger();
        QCOMPARE(window->session().document().mailFormSubject(), u"Summer"_s);
        QVERIFY(!window->isWindowModified());
        QCOMPARE(alerts->shown().size(), 1);
        QCOMPARE(alerts->shown().constFirst().buttons, (QStringList{u"Revert"_s, u"Cancel"_s}));
    }

    void aFailingSaveIsToldAndKeepsTheWindowEdited()
    {
        const QString file = dir->filePath(u"Spring letter.quill"_s);
        auto window = makeWindow(file);
        QVERIFY(window);
        window->show();
        MyDocument &doc = window->session().document();
        const QString body(64 * 1024, u'x');
        bool closed = true;
        {
            // Larger than the disk will take.
            const FileSizeLimit limit(4096);
            doc.setMailFormBody(body);
            timers.advance(3s);
            QCOMPARE(alerts->shown().size(), 1);
            const Alert told = alerts->shown().constFirst();
            QCOMPARE(told.messageText, u"The document “Spring letter” could not be saved."_s);
            QCOMPARE(told.informativeText, window->session().lastSaveError());
            QVERIFY(!told.informativeText.isEmpty());
            QVERIFY(window->isWindowModified());

            // The autosave after the next edit fails alike: not told again.
            doc.setMailFormSubject(u"again"_s);
            timers.advance(3s);
            QCOMPARE(alerts->shown().size(), 1);

            // A save the user asks for always says why it failed.
            action(*window, u"actionSave"_s)->trigger();
            QCOMPARE(alerts->shown().size(), 2);
            QVERIFY(window->isWindowModified());

            // Closing tries once more, says why and keeps the window.
            window->requestClose([&](bool c) { closed = c; });
            QVERIFY(!closed);
            QCOMPARE(alerts->shown().size(), 3);
            QVERIFY(window->isVisible());
            QVERIFY(window->isWindowModified());
            QVERIFY(window->session().isLocked());
        }
        // With room again the close saves and goes.
        window->requestClose([&](bool c) { closed = c; });
        QVERIFY(closed);
        QVERIFY(!window->isVisible());
        DocumentSession reader(DocumentSession::Services{clock, appAlerts, NullUrlOpener::instance(), nullptr, 0ms});
        QVERIFY(reader.open(file, DocumentSession::Access::Reading).ok());
        QCOMPARE(reader.document().mailFormBody(), body);
    }

    void closingANamedWindowWritesItsEditsEvenWithoutAutosave()
    {
        const QString file = dir->filePath(u"Quiet.quill"_s);
        auto window = makeWindow(file, false);
        QVERIFY(window);
        window->show();
        window->session().document().setMailFormSubject(u"Kept"_s);
        QVERIFY(window->close());
        QVERIFY(alerts->shown().isEmpty());
        QCOMPARE(savedSubject(file), u"Kept"_s);
        QVERIFY(!window->session().isLocked());
    }

    void closingAnUntitledWindow_data()
    {
        QTest::addColumn<bool>("edited");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("panelAnswers");
        QTest::addColumn<bool>("expectClosed");
        QTest::addColumn<bool>("expectFile");
        QTest::newRow("Cancel keeps it") << true << 2 << false << false << false;
        QTest::newRow("Don't Save closes") << true << 1 << false << true << false;
        QTest::newRow("Save asks for a path") << true << 0 << true << true << true;
        QTest::newRow("Save, the panel cancelled") << true << 0 << false << false << false;
        QTest::newRow("unedited: closes without asking") << false << -1 << false << true << false;
    }

    void closingAnUntitledWindow()
    {
        QFETCH(bool, edited);
        QFETCH(int, answer);
        QFETCH(bool, panelAnswers);
        QFETCH(bool, expectClosed);
        QFETCH(bool, expectFile);

        auto window = makeWindow();
        window->show();
        if (edited)
            window->session().document().setMailFormSubject(u"Unsaved"_s);
        const QString file = dir->filePath(u"Kept.quill"_s);
        if (answer >= 0)
            alerts->queueAnswer(answer);
        if (panelAnswers)
            panel->queueSaveAnswer(file);
        QSignalSpy closedSignal(window.get(), &MailingWindow::closed);

        // The window's close box goes the same way.
        window->close();
        QCOMPARE(alerts->shown().size(), edited ? 1 : 0);
        if (edited) {
            const Alert asked = alerts->shown().constFirst();
            QCOMPARE(asked.messageText, u"Do you want to save the changes made to the document “Untitled”?"_s);
            QCOMPARE(asked.buttons, (QStringList{u"Save"_s, u"Don't Save"_s, u"Cancel"_s}));
        }
        QCOMPARE(closedSignal.size(), expectClosed ? 1 : 0);
        QCOMPARE(window->isVisible(), !expectClosed);
        QCOMPARE(panel->saveRequests().size(), answer == 0 ? 1 : 0);
        QCOMPARE(QFileInfo::exists(file), expectFile);
        if (expectFile)
            QCOMPARE(savedSubject(file), u"Unsaved"_s);
        if (!expectClosed)
            QVERIFY(window->isWindowModified());
    }

    void closingDuringARunAsksToStopIt_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("expectClosed");
        QTest::newRow("Cancel keeps the window and the run") << 0 << false;
        QTest::newRow("Stop and Close stops the run") << 1 << true;
    }
    void closingDuringARunAsksToStopIt()
    {
        QFETCH(int, answer);
        QFETCH(bool, expectClosed);
        auto window = makeWindow();
        window->show();
        MyDocument &doc = window->session().document();
        QVERIFY(doc.sendProgress().tryStart());
        QTRY_VERIFY(!window->tabs()->isTabEnabled(MyDocument::DatabaseTab));
        alerts->queueAnswer(answer);

        window->close();
        QCOMPARE(alerts->shown().size(), 1);
        QCOMPARE(alerts->shown().constFirst().messageText, u"A send run is in progress."_s);
        QCOMPARE(window->isVisible(), !expectClosed);
        QCOMPARE(doc.sendProgress().cancelRequested(), expectClosed);
        if (!expectClosed)
            doc.sendProgress().done();
    }

    void openRecentListsTheApplicationsDocuments()
    {
        application.recent = {u"/tmp/a/First.quill"_s, u"/tmp/b/Second.quill"_s};
        auto window = makeWindow();
        QMenu *recent = window->findChild<QMenu *>(u"menuOpenRecent"_s);
        Q_EMIT recent->aboutToShow();
        QStringList titles;
        for (QAction *a : recent->actions()) {
            if (!a->isSeparator())
                titles.append(a->text());
        }
        QCOMPARE(titles, (QStringList{u"First.quill"_s, u"Second.quill"_s, u"Clear Menu"_s}));
        recent->actions().at(1)->trigger();
        QCOMPARE(application.opened, QStringList{u"/tmp/b/Second.quill"_s});
        window->findChild<QAction *>(u"actionClearRecent"_s)->trigger();
        Q_EMIT recent->aboutToShow();
        QVERIFY(!window->findChild<QAction *>(u"actionClearRecent"_s)->isEnabled());
    }

    void copiedRowsAreTabSeparatedInTheShownColumnOrder_data()
    {
        QTest::addColumn<QList<int>>("selectedRows");
        QTest::addColumn<int>("movedFrom");
        QTest::addColumn<int>("movedTo");
        QTest::addColumn<int>("hidden");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one row") << QList<int>{1} << -1 << -1 << -1 << u"2\t0\tbob@y.org\tBob Jones\n"_s;
        QTest::newRow("rows in table order, whatever the selection order")
            << QList<int>{2, 0} << -1 << -1 << -1
            << u"1\t1\tann@x.org\tAnn\n3\t1\tcy@z.org\tCy with tab\n"_s;
        QTest::newRow("a moved column goes where the user put it")
            << QList<int>{0} << 3 << 0 << -1 << u"Ann\t1\t1\tann@x.org\n"_s;
        QTest::newRow("a hidden column is left out") << QList<int>{0} << -1 << -1 << 1 << u"1\tann@x.org\tAnn\n"_s;
        QTest::newRow("nothing selected") << QList<int>{} << -1 << -1 << -1 << QString();
    }

    void copiedRowsAreTabSeparatedInTheShownColumnOrder()
    {
        QFETCH(QList<int>, selectedRows);
        QFETCH(int, movedFrom);
        QFETCH(int, movedTo);
        QFETCH(int, hidden);
        QFETCH(QString, expected);

        QStandardItemModel model(0, 4);
        const auto row = [&](const QString &number, bool checked, const QString &email, const QString &name) {
            auto *sel = new QStandardItem;
            sel->setCheckable(true);
            sel->setData(checked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
            model.appendRow({new QStandardItem(number), sel, new QStandardItem(email), new QStandardItem(name)});
        };
        row(u"1"_s, true, u"ann@x.org"_s, u"Ann"_s);
        row(u"2"_s, false, u"bob@y.org"_s, u"Bob Jones"_s);
        row(u"3"_s, true, u"cy@z.org"_s, u"Cy\twith\ntab"_s);
        QTableView view;
        view.setModel(&model);
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        view.setSelectionMode(QAbstractItemView::ExtendedSelection);
        if (movedFrom >= 0)
            view.horizontalHeader()->moveSection(movedFrom, movedTo);
        if (hidden >= 0)
            view.setColumnHidden(hidden, true);
        for (int r : selectedRows)
            view.selectionModel()->select(model.index(r, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(TableRowCopy::selectedRowsAsText(view), expected);
    }

    void copyFromAFocusedTable()
    {
        auto window = makeWindow();
        QStandardItemModel model(2, 2);
        model.setItem(0, 0, new QStandardItem(u"1"_s));
        model.setItem(0, 1, new QStandardItem(u"ann@x.org"_s));
        model.setItem(1, 0, new QStandardItem(u"2"_s));
        model.setItem(1, 1, new QStandardItem(u"bob@y.org"_s));
        auto *view = new QTableView(window->tabs()->currentWidget());
        view->setModel(&model);
        view->setSelectionBehavior(QAbstractItemView::SelectRows);
        focusOnPage(*window, view);
        view->selectRow(1);
        openMenu(*window, u"menuEdit"_s);
        QAction *copy = action(*window, u"actionCopy"_s);
        QVERIFY(copy->isEnabled());
        QVERIFY(!action(*window, u"actionPaste"_s)->isEnabled());
        copy->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), u"2\tbob@y.org\n"_s);
        delete view;
    }
};

QTEST_MAIN(MailingWindowTest)
#include "MailingWindowTest.moc"
