#pragma once

#include "platform/QtMainLoop.h"
#include "window/EditTarget.h"

#include <QMainWindow>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QTabWidget;
class QToolBar;

namespace quillcast {
class AlertPresenter;
class DocumentSession;
class FilePanel;
class MyDocument;
} // namespace quillcast

namespace quillcast::gui {

class CommandTable;
class DatabaseTab;
class ExceptionsTab;
class MailTab;
class PreviewTab;
class SendTab;
struct WindowContext;
struct WindowServices;

// The window of one mailing: it holds the mailing's session for as long as
// it is open (and with it the lock on its file).
class MailingWindow : public QMainWindow
{
    Q_OBJECT

public:
    MailingWindow(std::unique_ptr<DocumentSession> session, WindowServices &services, QWidget *parent = nullptr);
    ~MailingWindow() override;

    DocumentSession &session() { return *m_session; }
    // The mailing's file, empty while untitled.
    QString filePath() const;

    // Closes the window as the user's Close does: a named mailing is saved
    // in place, an untitled edited one asks Save / Don't Save / Cancel, a
    // failed save keeps the window. done(true) once the window is closed,
    // done(false) when it stays.
    void requestClose(std::function<void(bool closed)> done);

    // Save, and Save As for an untitled mailing; done(true) once saved,
    // done(false) after a failure (told to the user) or a cancelled panel.
    void save(std::function<void(bool saved)> done = {});
    void saveAs(std::function<void(bool saved)> done = {});
    // Asks, then goes back to the file's contents.
    void revertToSaved();

    // The action with this object name, for the application's menus and the tests.
    QAction *action(const QString &objectName) const;
    QTabWidget *tabs() const { return m_tabs; }

    // Re-evaluates every command's availability now (normally coalesced to
    // once per turn of the event loop).
    void updateCommandEnabling();

Q_SIGNALS:
    // The window closed for good: its owner may drop it (later: the signal
    // may come from within the window's close event).
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildPages();
    void buildMenus();
    void buildToolbar();
    QAction *makeAction(const QString &objectName, const QString &text, std::function<void()> run);
    void watchDocument(MyDocument &document);
    void scheduleCommandEnabling();
    void updateTitle();
    void updateUndoItems();
    void rebuildRecentMenu();
    void tabSelected(int index);
    void updateRunLock();
    void showSaveFailure(const QString &reason);
    void savedAs(const QString &path, const std::function<void(bool)> &done);
    void finishClose(const std::function<void(bool)> &done);
    void closeNow(const std::function<void(bool)> &done);
    void updateEditItems();
    // The rows the remove command takes on the selected tab.
    QList<qsizetype> selectedRowsOfTab() const;

    // The services the window owns outlive the session, whose document
    // holds them until its last moment; the pages go first of all.
    std::unique_ptr<AlertPresenter> m_alerts;
    std::unique_ptr<FilePanel> m_filePanel;
    QtMainLoop m_mainLoop;
    std::unique_ptr<DocumentSession> m_session;
    WindowServices &m_services;
    std::unique_ptr<WindowContext> m_context;
    std::unique_ptr<CommandTable> m_commands;

    QTabWidget *m_tabs = nullptr;
    DatabaseTab *m_databasePage = nullptr;
    ExceptionsTab *m_exceptionsPage = nullptr;
    MailTab *m_mailPage = nullptr;
    PreviewTab *m_previewPage = nullptr;
    SendTab *m_sendPage = nullptr;
    QMenu *m_recentMenu = nullptr;
    QToolBar *m_toolbar = nullptr;

    struct EditItem
    {
        QAction *action;
        EditTarget::Operation operation;
    };
    QList<EditItem> m_editActions;

    QTimer m_enablingTimer;
    // The save failure last told to the user: a failing autosave retried at
    // each edit says so once, not at every retry.
    QString m_reportedSaveError;
    bool m_closeApproved = false;
    // The user agreed to stop the active run by closing the window.
    bool m_runStopApproved = false;
    bool m_closePending = false;
    bool m_inCloseEvent = false;
};

} // namespace quillcast::gui
