#include "MailingWindow.h"

#include "ApplicationActions.h"
#include "WindowContext.h"
#include "WindowServices.h"
#include "database/ExceptionCommands.h"
#include "database/GeneralCommands.h"
#include "database/RecordCommands.h"
#include "document/SendProgress.h"
#include "export/ExportFlow.h"
#include "import/ImportFlow.h"
#include "platform/Alert.h"
#include "platform/AlertPresenter.h"
#include "platform/FilePanel.h"
#include "send/RunResultsModel.h"
#include "session/DocumentSession.h"
#include "tabs/DatabaseTab.h"
#include "tabs/ExceptionsTab.h"
#include "tabs/MailTab.h"
#include "tabs/PreviewTab.h"
#include "tabs/SendTab.h"
#include "util/UndoManager.h"
#include "window/CommandTable.h"
#include "window/EditTarget.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

namespace {

using Op = EditTarget::Operation;
using Rule = CommandTable::Rule;

constexpr auto kExtension = "quill";

Rule always()
{
    return [](const CommandEnablingState &) { return true; };
}

// A toolbar item's picture: the first of the names the desktop's icon theme
// has, else the style's own picture (a desktop without a theme, or a theme
// without these names, still shows one).
struct ToolbarIcon
{
    // In order of preference; unused places stay null.
    const char *themeNames[2] = {};
    QStyle::StandardPixmap standard;
};

QIcon toolbarIcon(const ToolbarIcon &icon, const QStyle &style)
{
    for (const char *name : icon.themeNames) {
        if (!name)
            break;
        const QString themeName = QString::fromLatin1(name);
        if (QIcon::hasThemeIcon(themeName))
            return QIcon::fromTheme(themeName);
    }
    return style.standardIcon(icon.standard);
}

// The database's own command on the preview tab, the general one elsewhere.
Rule previewOrGeneral(Command database, Command general)
{
    return CommandTable::onPreviewTab(CommandTable::menuRule(database), CommandTable::menuRule(general));
}

} // namespace

MailingWindow::MailingWindow(std::unique_ptr<DocumentSession> session, WindowServices &services, QWidget *parent)
    : QMainWindow(parent),
      m_alerts(services.makeAlerts(this)),
      m_filePanel(services.makeFilePanel(this)),
      m_mainLoop(this),
      m_session(std::move(session)),
      m_services(services),
      m_commands(std::make_unique<CommandTable>())
{
    setObjectName(u"mailingWindow"_s);
    resize(1100, 750);

    m_context = std::make_unique<WindowContext>(WindowContext{
        *m_session, *m_alerts, *m_filePanel, services.urlOpener, services.revealer, m_mainLoop, this,
        services.opener, services.connections, [this] { return m_session->dbKeyTags(); }});
    m_session->setDialogServices(DocumentSession::DialogServices{
        *m_filePanel, *m_alerts, m_mainLoop, &services.revealer, services.opener, this});

    // One re-evaluation per turn of the event loop, however many changes came.
    m_enablingTimer.setSingleShot(true);
    m_enablingTimer.setInterval(0);
    connect(&m_enablingTimer, &QTimer::timeout, this, &MailingWindow::updateCommandEnabling);

    buildPages();
    buildMenus();
    buildToolbar();

    connect(m_session.get(), &DocumentSession::documentReplaced, this, [this](MyDocument *document) {
        watchDocument(*document);
        updateTitle();
        // The tab the window shows stays the document's selected tab.
        m_session->selectTab(m_tabs->currentIndex());
        updateRunLock();
        scheduleCommandEnabling();
    });
    connect(m_session.get(), &DocumentSession::filePathChanged, this, [this] {
        updateTitle();
        scheduleCommandEnabling();
    });
    connect(m_session.get(), &DocumentSession::saved, this, [this] {
        m_reportedSaveError.clear();
        scheduleCommandEnabling();
    });
    connect(m_session.get(), &DocumentSession::saveFailed, this, [this](const QString &reason) {
        // An autosave that fails again for the same reason at the next edit
        // has been told already.
        if (reason != m_reportedSaveError)
            showSaveFailure(reason);
    });

    watchDocument(m_session->document());
    updateTitle();
    {
        const QSignalBlocker quiet(m_tabs);
        m_tabs->setCurrentIndex(m_session->document().selectedTab());
    }
    updateRunLock();
    updateCommandEnabling();
}

MailingWindow::~MailingWindow()
{
    // The pages borrow the context and the services: they go before them.
    delete m_tabs;
    m_tabs = nullptr;
    if (m_session)
        m_session->document().setAlertPresenter(nullptr);
}

QString MailingWindow::filePath() const
{
    return m_session->filePath();
}

QAction *MailingWindow::action(const QString &objectName) const
{
    return findChild<QAction *>(objectName);
}

// --- Pages -----------------------------------------------------------------------

void MailingWindow::buildPages()
{
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(u"mailingTabs"_s);
    m_tabs->setAccessibleName(u"Mailing"_s);
    m_tabs->setDocumentMode(true);
    // In the document's tab numbers: database 0, exceptions 1, mail 2, preview 3, send 4.
    m_databasePage = new DatabaseTab(*m_context, m_tabs);
    m_exceptionsPage = new ExceptionsTab(*m_context, m_tabs);
    m_mailPage = new MailTab(*m_context, m_tabs);
    m_previewPage = new PreviewTab(*m_context, m_tabs);
    m_sendPage = new SendTab(*m_context, m_tabs);
    const struct
    {
        QWidget *page;
        QString identifier;
        QString title;
    } pages[] = {
        {m_databasePage, u"database"_s, u"Database"_s}, {m_exceptionsPage, u"exceptions"_s, u"Exceptions"_s},
        {m_mailPage, u"mail"_s, u"Mail"_s},             {m_previewPage, u"preview"_s, u"Preview"_s},
        {m_sendPage, u"send"_s, u"Send"_s},
    };
    for (const auto &page : pages) {
        if (page.page->objectName().isEmpty())
            page.page->setObjectName(page.identifier + u"Page"_s);
        if (page.page->accessibleName().isEmpty())
            page.page->setAccessibleName(page.title);
        m_tabs->addTab(page.page, page.title);
    }
    setCentralWidget(m_tabs);

    connect(m_tabs, &QTabWidget::currentChanged, this, &MailingWindow::tabSelected);
    connect(m_databasePage, &DatabaseTab::selectionChanged, this, &MailingWindow::scheduleCommandEnabling);
    connect(m_exceptionsPage, &ExceptionsTab::selectionChanged, this, &MailingWindow::scheduleCommandEnabling);
    connect(m_mailPage, &MailTab::selectionChanged, this, &MailingWindow::scheduleCommandEnabling);
    connect(m_sendPage, &SendTab::selectionChanged, this, &MailingWindow::scheduleCommandEnabling);
    connect(&m_session->runResults(), &RunResultsModel::countsChanged, this, &MailingWindow::scheduleCommandEnabling);
    connect(m_sendPage, &SendTab::runActiveChanged, this, [this](bool active) {
        if (active)
            m_runStopApproved = false;
        updateRunLock();
        scheduleCommandEnabling();
    });
}

void MailingWindow::tabSelected(int index)
{
    if (!m_session->selectTab(index)) {
        // Only reachable while a run holds the send tab: the tab bar goes back.
        const QSignalBlocker quiet(m_tabs);
        m_tabs->setCurrentIndex(m_session->document().selectedTab());
    }
    updateCommandEnabling();
}

void MailingWindow::updateRunLock()
{
    if (!m_tabs)
        return;
    const bool running = m_session->document().preparingSending();
    for (int tab = 0; tab < m_tabs->count(); ++tab)
        m_tabs->setTabEnabled(tab, !running || tab == MyDocument::SendTab);
}

QList<qsizetype> MailingWindow::selectedRowsOfTab() const
{
    switch (m_session->document().selectedTab()) {
    case MyDocument::DatabaseTab: return m_databasePage->selectedRows();
    case MyDocument::ExceptionTab: return m_exceptionsPage->selectedRows();
    default: return {};
    }
}

// --- The document ------------------------------------------------------------------

void MailingWindow::watchDocument(MyDocument &document)
{
    document.setAlertPresenter(m_alerts.get());
    connect(&document, &MyDocument::documentEditedChanged, this, [this](bool edited) {
        setWindowModified(edited);
        scheduleCommandEnabling();
    });
    setWindowModified(document.isDocumentEdited());

    // What the enabling rules read: the lists' sizes, the checked flags,
    // the key list's permission, the run.
    const auto later = [this] { scheduleCommandEnabling(); };
    for (RecordList *list : {&document.addresses(), &document.exceptions(), &document.sendList()}) {
        connect(list, &RecordList::rowsInserted, this, later);
        connect(list, &RecordList::rowsRemoved, this, later);
        connect(list, &RecordList::rearranged, this, later);
    }
    connect(&document, &MyDocument::addressArrayChanged, this, later);
    connect(&document, &MyDocument::exceptArrayChanged, this, later);
    connect(&document, &MyDocument::sendArrayChanged, this, later);
    connect(&document, &MyDocument::attachmentBookmarksChanged, this, later);
    connect(&document, &MyDocument::isCheckedRecordsChanged, this, later);
    connect(&document, &MyDocument::isCheckedRecords4ExceptionChanged, this, later);
    connect(&document, &MyDocument::isCheckedRecords4SendChanged, this, later);
    connect(&document, &MyDocument::canRemoveKeyListElementChanged, this, later);
    connect(&document, &MyDocument::viewRearranged, this, later);
    connect(&document.undoManager(), &UndoManager::changed, this, later);
    connect(&document.sendProgress(), &SendProgress::changed, this, [this] {
        updateRunLock();
        scheduleCommandEnabling();
    });
    connect(&document.sendProgress(), &SendProgress::finished, this, [this] {
        updateRunLock();
        scheduleCommandEnabling();
    });
}

void MailingWindow::updateTitle()
{
    // The marker shows while the mailing has changes not yet in its file.
    setWindowTitle(m_session->displayName() + u"[*]"_s);
    setWindowFilePath(m_session->filePath());
}

// --- Menus and toolbar ---------------------------------------------------------------

QAction *MailingWindow::makeAction(const QString &objectName, const QString &text, std::function<void()> run)
{
    auto *action = new QAction(text, this);
    action->setObjectName(objectName);
    connect(action, &QAction::triggered, this, [run = std::move(run)] { run(); });
    return action;
}

void MailingWindow::buildMenus()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(u"menuBar"_s);
    CommandTable &table = *m_commands;
    const auto add = [&](QMenu *menu, QAction *action, std::optional<QKeySequence::StandardKey> key, Rule rule) {
        if (key) {
            action->setShortcuts(*key);
            // Some desktops bind none for these two; the usual keys then.
            if (action->shortcuts().isEmpty() && *key == QKeySequence::Quit)
                action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
            if (action->shortcuts().isEmpty() && *key == QKeySequence::SaveAs)
                action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
        }
        menu->addAction(action);
        if (rule)
            table.add(action, std::move(rule));
        return action;
    };
    const auto menu = [&](const QString &name, const QString &title) {
        QMenu *m = bar->addMenu(title);
        m->setObjectName(name);
        m->setAccessibleName(QString(title).remove(u'&'));
        // The rules are asked afresh as the user opens the menu.
        connect(m, &QMenu::aboutToShow, this, &MailingWindow::updateCommandEnabling);
        return m;
    };
    const auto document = [this]() -> MyDocument & { return m_session->document(); };

    // File
    QMenu *file = menu(u"menuFile"_s, u"&File"_s);
    add(file, makeAction(u"actionNew"_s, u"New"_s, [this] { m_services.application.newDocument(); }),
        QKeySequence::New, {});
    add(file, makeAction(u"actionOpen"_s, u"Open…"_s, [this] { m_services.application.showOpenPanel(this); }),
        QKeySequence::Open, {});
    m_recentMenu = file->addMenu(u"Open Recent"_s);
    m_recentMenu->setObjectName(u"menuOpenRecent"_s);
    m_recentMenu->setAccessibleName(u"Open Recent"_s);
    connect(m_recentMenu, &QMenu::aboutToShow, this, &MailingWindow::rebuildRecentMenu);
    rebuildRecentMenu();
    file->addSeparator();
    add(file, makeAction(u"actionClose"_s, u"Close"_s, [this] { requestClose({}); }), QKeySequence::Close, {});
    add(file, makeAction(u"actionSave"_s, u"Save"_s, [this] { save(); }), QKeySequence::Save,
        [this](const CommandEnablingState &) { return m_session->access() == DocumentSession::Access::Editing; });
    add(file, makeAction(u"actionSaveAs"_s, u"Save As…"_s, [this] { saveAs(); }), QKeySequence::SaveAs, always());
    add(file, makeAction(u"actionRevert"_s, u"Revert to Saved"_s, [this] { revertToSaved(); }), {},
        [this](const CommandEnablingState &state) {
            return !state.preparingSending && !m_session->filePath().isEmpty() && m_session->isEdited();
        });
    file->addSeparator();
    // The import and export dialogs, for the list on the selected tab.
    auto *importFlow = new ImportFlow(*m_context, this);
    importFlow->setObjectName(u"importFlow"_s);
    auto *exportFlow = new ExportFlow(*m_context, this);
    exportFlow->setObjectName(u"exportFlow"_s);
    add(file, makeAction(u"actionImport"_s, u"Import…"_s, [importFlow] { importFlow->start(); }), {},
        CommandTable::menuRule(Command::importFromTextFile));
    add(file, makeAction(u"actionExport"_s, u"Export…"_s, [exportFlow] { exportFlow->start(); }), {},
        CommandTable::menuRule(Command::exportToTextFile));
    file->addSeparator();
    QAction *quit = add(file, makeAction(u"actionQuit"_s, u"Quit"_s, [this] { m_services.application.quit(); }),
                        QKeySequence::Quit, {});
    quit->setMenuRole(QAction::QuitRole);

    // Edit: a focused text editor keeps its own undo; otherwise the document's.
    QMenu *edit = menu(u"menuEdit"_s, u"&Edit"_s);
    const auto focused = [] { return EditTarget(QApplication::focusWidget()); };
    add(edit, makeAction(u"actionUndo"_s, u"Undo"_s, [this, focused, document] {
            const EditTarget target = focused();
            if (target.isTextEditor())
                target.perform(Op::Undo);
            else if (!document().preparingSending())
                document().undoManager().undo();
        }),
        QKeySequence::Undo, {});
    add(edit, makeAction(u"actionRedo"_s, u"Redo"_s, [this, focused, document] {
            const EditTarget target = focused();
            if (target.isTextEditor())
                target.perform(Op::Redo);
            else if (!document().preparingSending())
                document().undoManager().redo();
        }),
        QKeySequence::Redo, {});
    edit->addSeparator();
    const struct
    {
        QString name;
        QString text;
        QKeySequence::StandardKey key;
        Op operation;
    } editItems[] = {
        {u"actionCut"_s, u"Cut"_s, QKeySequence::Cut, Op::Cut},
        {u"actionCopy"_s, u"Copy"_s, QKeySequence::Copy, Op::Copy},
        {u"actionPaste"_s, u"Paste"_s, QKeySequence::Paste, Op::Paste},
        {u"actionSelectAll"_s, u"Select All"_s, QKeySequence::SelectAll, Op::SelectAll},
    };
    for (const auto &item : editItems) {
        const Op operation = item.operation;
        m_editActions.append({add(edit, makeAction(item.name, item.text, [focused, operation] { focused().perform(operation); }),
                                  item.key, {}),
                              operation});
    }
    // What the focused widget can do is known only as the menu opens (a
    // field's selection changes nothing the window hears of); once it is
    // closed the shortcuts stay live and the commands check for themselves.
    connect(edit, &QMenu::aboutToShow, this, &MailingWindow::updateEditItems);
    connect(edit, &QMenu::aboutToHide, this, [this] {
        for (const EditItem &item : std::as_const(m_editActions))
            item.action->setEnabled(true);
        action(u"actionUndo"_s)->setEnabled(true);
        action(u"actionRedo"_s)->setEnabled(true);
    });
    edit->addSeparator();
    // Where the desktops this runs on keep an application's settings; the
    // window opens on the panel it last showed.
    add(edit, makeAction(u"actionPreferences"_s, u"Preferences…"_s,
                         [this] { m_services.application.showPreferences(-1); }),
        QKeySequence::Preferences, {});

    // Records: the database's and the exception list's commands.
    QMenu *records = menu(u"menuRecords"_s, u"&Records"_s);
    add(records, makeAction(u"actionAddRecord"_s, u"Add Record"_s, [document] { GeneralCommands(document()).addRow(); }),
        {}, CommandTable::menuRule(Command::addRow));
    add(records, makeAction(u"actionRemoveRecord"_s, u"Remove Record"_s,
                            [this, document] { GeneralCommands(document()).removeRow(selectedRowsOfTab()); }),
        QKeySequence::Delete, CommandTable::menuRule(Command::removeRow));
    records->addSeparator();
    add(records, makeAction(u"actionAddColumn"_s, u"Add Column"_s, [this] { m_databasePage->addColumn(); }), {},
        CommandTable::menuRule(Command::addColumnInTable));
    add(records, makeAction(u"actionDeleteColumn"_s, u"Delete Column…"_s, [this] { m_databasePage->deleteSelectedKey(); }),
        {}, CommandTable::menuRule(Command::deleteSelectedKey));
    records->addSeparator();
    // On the preview tab the check commands reach the database, elsewhere the selected tab's list.
    const auto onTab = [document](std::function<void(MyDocument &)> onPreview, std::function<void(MyDocument &)> general) {
        return [document, onPreview = std::move(onPreview), general = std::move(general)] {
            MyDocument &doc = document();
            if (doc.selectedTab() == MyDocument::PreviewTab)
                onPreview(doc);
            else
                general(doc);
        };
    };
    add(records,
        makeAction(u"actionCheckAll"_s, u"Check All"_s,
                   onTab([](MyDocument &d) { RecordCommands(d).checkAllRecords(); },
                         [](MyDocument &d) { GeneralCommands(d).checkAllGeneral(); })),
        {}, previewOrGeneral(Command::checkAllRecords, Command::checkAllGeneral));
    add(records,
        makeAction(u"actionUncheckAll"_s, u"Uncheck All"_s,
                   onTab([](MyDocument &d) { RecordCommands(d).uncheckAllRecords(); },
                         [](MyDocument &d) { GeneralCommands(d).uncheckAllGeneral(); })),
        // The menu pairs it with check all.
        {}, previewOrGeneral(Command::uncheckAllRecords, Command::checkAllGeneral));
    add(records, makeAction(u"actionInvertChecks"_s, u"Invert Checks"_s, [document] {
            MyDocument &doc = document();
            if (doc.selectedTab() == MyDocument::DatabaseTab)
                RecordCommands(doc).invertCheckRecords();
            else if (doc.selectedTab() == MyDocument::ExceptionTab)
                ExceptionCommands(doc).invertCheckRecords4Except();
        }),
        {}, CommandTable::menuRule(Command::removeRow));
    // The address checks: on the preview tab they act on the database.
    struct AddressCheck
    {
        QString name;
        QString title;
        void (RecordCommands::*onDatabase)();
        void (GeneralCommands::*general)();
        Command databaseCommand;
        Command generalCommand;
    };
    const AddressCheck checks[] = {
        {u"actionCheckDuplicate"_s, u"Check Duplicate Addresses"_s, &RecordCommands::checkDuplicateEmails,
         &GeneralCommands::checkDuplicateEmailGeneral, Command::checkDuplicateEmails, Command::checkDuplicateEmailGeneral},
        {u"actionCheckUnique"_s, u"Check Unique Addresses"_s, &RecordCommands::checkUniqueEmails,
         &GeneralCommands::checkUniqueEmailGeneral, Command::checkUniqueEmails, Command::checkUniqueEmailGeneral},
        {u"actionCheckValid"_s, u"Check Valid Addresses"_s, &RecordCommands::checkValidEmails,
         &GeneralCommands::checkValidEmailGeneral, Command::checkValidEmails, Command::checkValidEmailGeneral},
        {u"actionCheckInvalid"_s, u"Check Invalid Addresses"_s, &RecordCommands::checkUnvalidEmails,
         &GeneralCommands::checkUnvalidEmailGeneral, Command::checkUnvalidEmails, Command::checkUnvalidEmailGeneral},
    };
    for (const AddressCheck &check : checks) {
        add(records,
            makeAction(check.name, check.title,
                       onTab([f = check.onDatabase](MyDocument &d) { (RecordCommands(d).*f)(); },
                             [f = check.general](MyDocument &d) { (GeneralCommands(d).*f)(); })),
            {}, previewOrGeneral(check.databaseCommand, check.generalCommand));
    }
    records->addSeparator();
    add(records, makeAction(u"actionDeleteChecked"_s, u"Delete Checked…"_s,
                            [document] { GeneralCommands(document()).deleteCheckRecordsGeneral(); }),
        {}, CommandTable::menuRule(Command::deleteCheckRecordsGeneral));
    add(records, makeAction(u"actionRenumber"_s, u"Renumber"_s, [document] { RecordCommands(document()).resetCounterField(); }),
        // The database's numbering: on its tab, with records to number.
        {}, [](const CommandEnablingState &s) { return s.selectedTab == MyDocument::DatabaseTab && s.addressCount > 0; });

    // Mail
    QMenu *mail = menu(u"menuMail"_s, u"&Mail"_s);
    add(mail, makeAction(u"actionAddAttachment"_s, u"Add Attachment…"_s, [this] { m_mailPage->addAttachment(); }), {},
        CommandTable::menuRule(Command::addAttachmentPath));
    add(mail, makeAction(u"actionRemoveAttachment"_s, u"Remove Attachment"_s,
                         [this] { m_mailPage->removeSelectedAttachments(); }),
        {}, CommandTable::menuRule(Command::removeAttachmentPath));
    // The tags of the document's keys, inserted at the cursor of the mail
    // field being edited (the menu bar leaves the keyboard focus there).
    mail->addSeparator();
    QMenu *tags = mail->addMenu(tr("Insert Tag"));
    tags->setObjectName(u"menuInsertTag"_s);
    tags->menuAction()->setObjectName(u"actionInsertTag"_s);
    connect(tags, &QMenu::aboutToShow, this, [this, tags] {
        tags->clear();
        for (const QString &tag : m_mailPage->tagMenuItems()) {
            QAction *item = tags->addAction(tag);
            connect(item, &QAction::triggered, this, [this, tag] { m_mailPage->insertTag(tag); });
        }
    });
    table.add(tags->menuAction(), [](const CommandEnablingState &s) { return s.selectedTab == MyDocument::MailTab; });

    // Send: a second run must not start while one is going.
    QMenu *send = menu(u"menuSend"_s, u"&Send"_s);
    const auto run = [this](SendRun::Kind kind) { return [this, kind] { m_sendPage->startRun(kind); }; };
    add(send, makeAction(u"actionSendChecked"_s, u"Send Checked…"_s, run(SendRun::Kind::SendChecked)), {},
        CommandTable::whileIdle(CommandTable::menuRule(Command::sendCheckedRecords)));
    add(send, makeAction(u"actionSendAll"_s, u"Send All…"_s, run(SendRun::Kind::SendAll)), {},
        CommandTable::whileIdle(CommandTable::menuRule(Command::sendAllRecords)));
    add(send, makeAction(u"actionPrepareChecked"_s, u"Prepare Checked…"_s, run(SendRun::Kind::PrepareChecked)), {},
        CommandTable::whileIdle(CommandTable::menuRule(Command::prepareCheckedRecords)));
    add(send, makeAction(u"actionPrepareAll"_s, u"Prepare All…"_s, run(SendRun::Kind::PrepareAll)), {},
        CommandTable::whileIdle(CommandTable::menuRule(Command::prepareAllRecords)));
    send->addSeparator();
    add(send, makeAction(u"actionSendSelected"_s, u"Send Selected"_s, [this] { m_sendPage->runSelected(true); }), {},
        CommandTable::whileIdle(CommandTable::menuRule(Command::sendSelectedRecord)));
    add(send, makeAction(u"actionPrepareSelected"_s, u"Prepare Selected"_s, [this] { m_sendPage->runSelected(false); }),
        {}, CommandTable::whileIdle(CommandTable::menuRule(Command::prepareSelectedRecord)));
    send->addSeparator();
    add(send, makeAction(u"actionCancelRun"_s, u"Cancel"_s, [this] { m_sendPage->cancelRun(); }), {},
        CommandTable::menuRule(Command::cancelOperation));
    add(send, makeAction(u"actionClearLog"_s, u"Clear Log"_s, [document] { document().clearLog(); }), {},
        [document](const CommandEnablingState &s) {
            return s.selectedTab == MyDocument::SendTab && !s.preparingSending && !document().logViewText().isEmpty();
        });
    send->addSeparator();
    add(send, makeAction(u"actionRetryFailed"_s, u"Retry Failed…"_s, [this] { m_sendPage->retryFailed(); }), {},
        CommandTable::menuRule(Command::retryFailedRecords));
    add(send, makeAction(u"actionCheckFailed"_s, u"Check Failed"_s, [this] { m_sendPage->checkFailed(); }), {},
        CommandTable::menuRule(Command::checkFailedRecords));
    add(send, makeAction(u"actionExportResults"_s, u"Export Results…"_s, [this] { m_sendPage->exportResults(); }), {},
        CommandTable::menuRule(Command::exportRunResults));

    // Help
    QMenu *help = menu(u"menuHelp"_s, u"&Help"_s);
    add(help, makeAction(u"actionAbout"_s, u"About Quillcast"_s, [this] {
            Alert about;
            about.messageText = u"Quillcast"_s;
            about.informativeText = u"Release %1"_s.arg(QCoreApplication::applicationVersion());
            about.buttons = {u"OK"_s};
            about.style = Alert::Style::Informational;
            m_alerts->present(about, [](int) {});
        }),
        {}, {});
}

void MailingWindow::buildToolbar()
{
    m_toolbar = addToolBar(u"Records"_s);
    m_toolbar->setObjectName(u"mainToolbar"_s);
    m_toolbar->setAccessibleName(u"Records"_s);
    m_toolbar->setMovable(false);
    // Pictures with their words below: eleven bare words in a row read as one
    // line of text. The style's usual toolbar size keeps them crisp.
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    const int iconSide = style()->pixelMetric(QStyle::PM_ToolBarIconSize, nullptr, m_toolbar);
    m_toolbar->setIconSize(QSize(iconSide, iconSide));
    CommandTable &table = *m_commands;
    const auto document = [this]() -> MyDocument & { return m_session->document(); };
    // The toolbar's own rule set; its items act on the selected tab's list.
    const auto item = [&](const QString &name, const QString &text, const ToolbarIcon &icon, Command command,
                          std::function<void()> run) {
        QAction *action = makeAction(name, text, std::move(run));
        action->setToolTip(text);
        action->setIcon(toolbarIcon(icon, *style()));
        m_toolbar->addAction(action);
        table.add(action, CommandTable::toolbarRule(command));
        return action;
    };
    item(u"toolbarAddRow"_s, u"Add"_s, {{"list-add"}, QStyle::SP_FileIcon}, Command::addRow, [document] { GeneralCommands(document()).addRow(); });
    item(u"toolbarRemoveRow"_s, u"Remove"_s, {{"list-remove"}, QStyle::SP_DialogDiscardButton}, Command::removeRow,
         [this, document] { GeneralCommands(document()).removeRow(selectedRowsOfTab()); });
    m_toolbar->addSeparator();
    item(u"toolbarImport"_s, u"Import"_s, {{"document-import", "document-open"}, QStyle::SP_DialogOpenButton},
         Command::importFromTextFileGeneral,
         [this] { findChild<ImportFlow *>(u"importFlow"_s)->start(); });
    item(u"toolbarExport"_s, u"Export"_s, {{"document-export", "document-save-as"}, QStyle::SP_DialogSaveButton},
         Command::exportToTextFileGeneral,
         [this] { findChild<ExportFlow *>(u"exportFlow"_s)->start(); });
    m_toolbar->addSeparator();
    item(u"toolbarCheckAll"_s, u"Check All"_s, {{"edit-select-all"}, QStyle::SP_DialogApplyButton}, Command::checkAllGeneral,
         [document] { GeneralCommands(document()).checkAllGeneral(); });
    item(u"toolbarUncheckAll"_s, u"Uncheck All"_s, {{"edit-clear-all", "edit-clear"}, QStyle::SP_DialogResetButton},
         Command::uncheckAllGeneral,
         [document] { GeneralCommands(document()).uncheckAllGeneral(); });
    item(u"toolbarCheckDuplicate"_s, u"Check Duplicates"_s, {{"edit-copy"}, QStyle::SP_FileDialogContentsView},
         Command::checkDuplicateEmailGeneral,
         [document] { GeneralCommands(document()).checkDuplicateEmailGeneral(); });
    item(u"toolbarCheckUnique"_s, u"Check Unique"_s, {{"edit-find"}, QStyle::SP_FileDialogDetailedView},
         Command::checkUniqueEmailGeneral,
         [document] { GeneralCommands(document()).checkUniqueEmailGeneral(); });
    item(u"toolbarCheckValid"_s, u"Check Valid"_s, {{"emblem-ok", "emblem-default"}, QStyle::SP_DialogYesButton},
         Command::checkValidEmailGeneral,
         [document] { GeneralCommands(document()).checkValidEmailGeneral(); });
    item(u"toolbarCheckInvalid"_s, u"Check Invalid"_s, {{"dialog-warning", "emblem-important"}, QStyle::SP_MessageBoxWarning},
         Command::checkUnvalidEmailGeneral,
         [document] { GeneralCommands(document()).checkUnvalidEmailGeneral(); });
    m_toolbar->addSeparator();
    item(u"toolbarDeleteChecked"_s, u"Delete Checked"_s, {{"edit-delete", "user-trash"}, QStyle::SP_TrashIcon},
         Command::deleteCheckRecordsGeneral,
         [document] { GeneralCommands(document()).deleteCheckRecordsGeneral(); });
    for (QAction *action : m_toolbar->actions()) {
        if (QWidget *button = m_toolbar->widgetForAction(action)) {
            button->setObjectName(action->objectName() + u"Button"_s);
            button->setAccessibleName(action->text());
        }
    }
}

void MailingWindow::rebuildRecentMenu()
{
    m_recentMenu->clear();
    const QStringList recent = m_services.application.recentDocuments();
    for (const QString &path : recent) {
        QAction *open = m_recentMenu->addAction(QFileInfo(path).fileName());
        open->setToolTip(path);
        open->setStatusTip(path);
        connect(open, &QAction::triggered, this, [this, path] { m_services.application.openDocument(path); });
    }
    if (!recent.isEmpty())
        m_recentMenu->addSeparator();
    QAction *clear = m_recentMenu->addAction(u"Clear Menu"_s);
    clear->setObjectName(u"actionClearRecent"_s);
    clear->setEnabled(!recent.isEmpty());
    connect(clear, &QAction::triggered, this, [this] { m_services.application.clearRecentDocuments(); });
}

// --- Enabling --------------------------------------------------------------------------

void MailingWindow::scheduleCommandEnabling()
{
    if (!m_enablingTimer.isActive())
        m_enablingTimer.start();
}

void MailingWindow::updateCommandEnabling()
{
    m_enablingTimer.stop();
    if (!m_databasePage)
        return;
    CommandEnablingState state = GeneralCommands(m_session->document())
                                     .enablingState(m_databasePage->selectedKeyRow().has_value(),
                                                    m_sendPage->hasSelection());
    m_session->runResults().describe(state);
    m_commands->evaluate(state);
    updateUndoItems();
}

void MailingWindow::updateEditItems()
{
    const EditTarget target(QApplication::focusWidget());
    for (const EditItem &item : std::as_const(m_editActions))
        item.action->setEnabled(target.can(item.operation));
    updateUndoItems();
}

void MailingWindow::updateUndoItems()
{
    QAction *undo = action(u"actionUndo"_s);
    QAction *redo = action(u"actionRedo"_s);
    const EditTarget target(QApplication::focusWidget());
    if (target.isTextEditor()) {
        undo->setText(u"Undo"_s);
        redo->setText(u"Redo"_s);
        undo->setEnabled(target.can(Op::Undo));
        redo->setEnabled(target.can(Op::Redo));
        return;
    }
    const MyDocument &doc = m_session->document();
    const UndoManager &manager = doc.undoManager();
    const QString undoName = manager.undoActionName();
    const QString redoName = manager.redoActionName();
    undo->setText(undoName.isEmpty() ? u"Undo"_s : u"Undo "_s + undoName);
    redo->setText(redoName.isEmpty() ? u"Redo"_s : u"Redo "_s + redoName);
    // Nothing may change the mailing under a send run.
    undo->setEnabled(manager.canUndo() && !doc.preparingSending());
    redo->setEnabled(manager.canRedo() && !doc.preparingSending());
}

void MailingWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        scheduleCommandEnabling();
}

// --- Saving and closing ----------------------------------------------------------------

void MailingWindow::showSaveFailure(const QString &reason)
{
    m_reportedSaveError = reason;
    Alert alert;
    alert.messageText = u"The document “%1” could not be saved."_s.arg(m_session->displayName());
    alert.informativeText = reason;
    alert.buttons = {u"OK"_s};
    alert.style = Alert::Style::Critical;
    m_alerts->present(alert, [](int) {});
}

void MailingWindow::save(std::function<void(bool saved)> done)
{
    if (m_session->filePath().isEmpty() || m_session->access() != DocumentSession::Access::Editing) {
        saveAs(std::move(done));
        return;
    }
    // A save the user asked for always says why it failed (saveFailed tells it).
    m_reportedSaveError.clear();
    const Status written = m_session->save();
    if (done)
        done(written.ok());
}

void MailingWindow::saveAs(std::function<void(bool saved)> done)
{
    FilePanel::SaveRequest request;
    request.window = this;
    request.proposedName = m_session->displayName() + u'.' + QLatin1String(kExtension);
    request.allowedExtensions = {QLatin1String(kExtension)};
    request.allowsOtherFileTypes = false;
    QPointer<MailingWindow> self(this);
    m_filePanel->runSavePanel(request, [self, done = std::move(done)](std::optional<QString> path) {
        if (!self)
            return;
        if (!path || path->isEmpty()) {
            if (done)
                done(false);
            return;
        }
        self->savedAs(*path, done);
    });
}

void MailingWindow::savedAs(const QString &chosen, const std::function<void(bool)> &done)
{
    QString path = chosen;
    if (QFileInfo(path).suffix().compare(QLatin1String(kExtension), Qt::CaseInsensitive) != 0)
        path += u'.' + QLatin1String(kExtension);
    m_reportedSaveError.clear();
    const Status written = m_session->saveAs(path);
    if (written.ok()) {
        m_services.application.noteRecentDocument(m_session->filePath());
    } else if (m_reportedSaveError.isEmpty()) {
        // Refused before anything was written (the file is another
        // process's): the session raised no save failure to tell it.
        showSaveFailure(written.error());
    }
    if (done)
        done(written.ok());
}

void MailingWindow::revertToSaved()
{
    if (m_session->filePath().isEmpty())
        return;
    Alert alert;
    alert.messageText =
        u"Do you want to revert to the most recently saved version of the document “%1”?"_s.arg(m_session->displayName());
    alert.informativeText = u"Your current changes will be lost."_s;
    alert.buttons = {u"Revert"_s, u"Cancel"_s};
    QPointer<MailingWindow> self(this);
    m_alerts->present(alert, [self](int chosen) {
        if (!self || chosen != 0)
            return;
        if (const Status reverted = self->m_session->revert(); !reverted) {
            Alert failed;
            failed.messageText = u"The document “%1” could not be reverted."_s.arg(self->m_session->displayName());
            failed.informativeText = reverted.error();
            failed.buttons = {u"OK"_s};
            self->m_alerts->present(failed, [](int) {});
        }
    });
}

void MailingWindow::requestClose(std::function<void(bool closed)> done)
{
    if (m_closeApproved) {
        if (done)
            done(true);
        return;
    }
    if (m_closePending) {
        // A sheet of an earlier close is still up: that one decides.
        if (done)
            done(false);
        return;
    }
    if (m_sendPage->isRunActive() && !m_runStopApproved) {
        // Closing ends the run: the user says so first, and the run then
        // stops before its next message as Cancel would.
        Alert alert;
        alert.messageText = u"A send run is in progress."_s;
        alert.informativeText = u"Closing the window stops it before the next message."_s;
        alert.buttons = {u"Cancel"_s, u"Stop and Close"_s};
        m_closePending = true;
        QPointer<MailingWindow> self(this);
        m_alerts->present(alert, [self, done](int chosen) {
            if (!self)
                return;
            self->m_closePending = false;
            if (chosen != 1) {
                if (done)
                    done(false);
                return;
            }
            self->m_runStopApproved = true;
            self->m_sendPage->cancelRun();
            self->requestClose(done);
        });
        return;
    }
    const bool untitled = m_session->filePath().isEmpty();
    if (!untitled || !m_session->isEdited() || m_session->access() != DocumentSession::Access::Editing) {
        finishClose(done);
        return;
    }

    Alert alert;
    alert.messageText =
        u"Do you want to save the changes made to the document “%1”?"_s.arg(m_session->displayName());
    alert.informativeText = u"Your changes will be lost if you don't save them."_s;
    alert.buttons = {u"Save"_s, u"Don't Save"_s, u"Cancel"_s};
    m_closePending = true;
    QPointer<MailingWindow> self(this);
    m_alerts->present(alert, [self, done](int chosen) {
        if (!self)
            return;
        self->m_closePending = false;
        switch (chosen) {
        case 0:
            self->saveAs([self, done](bool saved) {
                if (!self)
                    return;
                if (saved)
                    self->finishClose(done);
                else if (done)
                    done(false);
            });
            return;
        case 1:
            // Thrown away on purpose: the session has no file to keep.
            self->closeNow(done);
            return;
        default:
            if (done)
                done(false);
            return;
        }
    });
}

void MailingWindow::finishClose(const std::function<void(bool)> &done)
{
    // A named mailing is saved in place; a save that fails keeps the window
    // with its edits, and the user is told why even if an autosave said so
    // before.
    m_reportedSaveError.clear();
    // The session saves on close only when it autosaves: the window makes
    // sure a named mailing's edits reach its file either way.
    if (!m_session->filePath().isEmpty() && m_session->access() == DocumentSession::Access::Editing
        && m_session->isEdited()) {
        if (const Status written = m_session->save(); !written) {
            if (m_reportedSaveError.isEmpty())
                showSaveFailure(written.error());
            if (done)
                done(false);
            return;
        }
    }
    const Status closedSession = m_session->close();
    if (!closedSession) {
        if (m_reportedSaveError.isEmpty())
            showSaveFailure(closedSession.error());
        if (done)
            done(false);
        return;
    }
    closeNow(done);
}

void MailingWindow::closeNow(const std::function<void(bool)> &done)
{
    m_closeApproved = true;
    // Within the close event (the sheet answered at once) the event itself
    // closes the window; a second close() would be ignored there.
    if (!m_inCloseEvent)
        close();
    Q_EMIT closed();
    if (done)
        done(true);
}

void MailingWindow::closeEvent(QCloseEvent *event)
{
    if (m_closeApproved) {
        event->accept();
        return;
    }
    // The decision may need a sheet: the window closes itself once it is
    // made, unless it was made at once.
    m_inCloseEvent = true;
    requestClose({});
    m_inCloseEvent = false;
    if (m_closeApproved)
        event->accept();
    else
        event->ignore();
}

} // namespace quillcast::gui
