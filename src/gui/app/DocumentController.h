#pragma once

#include "ApplicationActions.h"
#include "WindowServices.h"
#include "app/DesktopFilePanel.h"
#include "platform/DocumentOpener.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

namespace quillcast {
class Clock;
class ConnectionProvider;
class DocumentSession;
class FileRevealer;
class TimerFactory;
class UrlOpener;
} // namespace quillcast

namespace quillcast::gui {

class MailingWindow;
class RecentDocuments;
class WindowAlertPresenter;

// The application's documents: one mailing window per open mailing, made
// here and deleted when it closes; new, open (a file already open raises its
// window), the open panel, the recent mailings, and quitting, which closes
// the windows one after the other and stops at the first that stays open.
class DocumentController final : public QObject, public ApplicationActions, public DocumentOpener
{
    Q_OBJECT

public:
    struct Services
    {
        const Clock &clock;
        UrlOpener &urlOpener;
        FileRevealer &revealer;
        // The sessions' autosave; none: no autosave.
        TimerFactory *timers = nullptr;
        RecentDocuments &recent;
    };

    explicit DocumentController(Services services, QObject *parent = nullptr);
    ~DocumentController() override;

    // The application's connection list, once it exists.
    void setConnectionProvider(ConnectionProvider *connections);
    // What showPreferences() runs (the application object's command).
    void setPreferencesHandler(std::function<void(int panel)> handler) { m_showPreferences = std::move(handler); }
    // What ends the program once every window is closed (QCoreApplication::quit
    // unless set).
    void setQuitHandler(std::function<void()> handler) { m_quitApplication = std::move(handler); }

    // The accessory of every file panel made from now on (the import and
    // export options), for the panels of the windows as for the open panel.
    void setFilePanelAccessory(FilePanel::Accessory accessory, DesktopFilePanel::AccessoryFactory factory);

    // ApplicationActions
    void newDocument() override;
    void showOpenPanel(QWidget *parent) override;
    bool openDocument(const QString &path) override;
    QStringList recentDocuments() const override;
    void clearRecentDocuments() override;
    void noteRecentDocument(const QString &path) override;
    void quit() override;
    void showPreferences(int panel) override;

    // The open mailing windows, oldest first.
    QList<MailingWindow *> windows() const;
    int openDocumentCount() const;
    // The window that shows the file at path, if any.
    MailingWindow *windowFor(const QString &path) const;
    WindowServices &windowServices() { return m_windowServices; }
    bool isQuitting() const { return m_quitting; }

    // The message of the alert that says why a mailing did not open.
    static QString openFailedMessage(const QString &path);

Q_SIGNALS:
    void windowOpened(quillcast::gui::MailingWindow *window);
    // Quitting stopped at a window that stayed open.
    void quitCancelled();

private:
    // "Untitled", or "Untitled N" when that one is open already.
    QString nextUntitledName() const;
    struct OpenWindow;

    std::unique_ptr<DocumentSession> makeSession(WindowAlertPresenter &alerts);
    MailingWindow *adopt(std::unique_ptr<DocumentSession> session, std::unique_ptr<WindowAlertPresenter> alerts);
    void forget(QObject *window);
    void closeNextForQuit();

    Services m_services;
    WindowServices m_windowServices;
    DesktopFilePanel m_openPanel;
    QHash<FilePanel::Accessory, DesktopFilePanel::AccessoryFactory> m_accessories;
    std::vector<std::unique_ptr<OpenWindow>> m_windows;
    std::function<void(int)> m_showPreferences;
    std::function<void()> m_quitApplication;
    bool m_quitting = false;
    QList<QPointer<MailingWindow>> m_toClose;
};

} // namespace quillcast::gui
