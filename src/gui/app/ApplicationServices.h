#pragma once

#include "connections/SecretStore.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace quillcast {
class AlertPresenter;
class CurlSmtpClient;
class HardwareAddress;
class LXMailCoreBridge;
class MailerAppDelegate;
class MainLoop;
class SettingsFileStore;
class TimerFactory;
class UpdateListSource;
class UrlOpener;
class UserDefaults;
} // namespace quillcast

namespace quillcast::gui {

class DesktopFilePanel;
class DesktopFileRevealer;
class DocumentController;
class GuiApplicationShell;
class MailingWindow;
class PreferencesWindow;
class RecentDocuments;
class WindowAlertPresenter;

// Everything the desktop application is made of, built in the order the
// parts need each other: the settings file and the user defaults, the
// desktop services, the document controller, the application shell and the
// application object with its connection list. main() and the tests build
// the same one.
class ApplicationServices
{
public:
    struct Options
    {
        // The settings file; empty: the user's.
        QString settingsFile;
        // The desktop's keyring; none: passwords stay in the settings file.
        std::unique_ptr<SecretStore> keyring;
        // Where the update list comes from; none: the maker's servers.
        UpdateListSource *updateList = nullptr;
        // What opens pages and folders; none: the desktop's default applications.
        UrlOpener *urlOpener = nullptr;
        // The bus the file manager is reached on; none: the session bus.
        std::optional<QDBusConnection> bus;
        // The user guide the application ships (a PDF); empty: the copy
        // installed with the program, or in a build tree the one printed there.
        QString userGuide;
    };

    explicit ApplicationServices(Options options);
    ~ApplicationServices();
    ApplicationServices(const ApplicationServices &) = delete;
    ApplicationServices &operator=(const ApplicationServices &) = delete;

    // The start-up order of the application object, with the mailings given
    // on the command line opened where the desktop opens them: after
    // "will finish launching", before "did finish" (and its startup action,
    // which then finds them open).
    void launch(const QStringList &documentPaths = {});
    // The last step before the program ends: the connection list is stored.
    void terminate();

    UserDefaults &defaults() { return *m_defaults; }
    DocumentController &documents() { return *m_documents; }
    GuiApplicationShell &shell() { return *m_shell; }
    MailerAppDelegate &application() { return *m_application; }
    PreferencesWindow &preferences() { return *m_preferences; }

private:
    // The items the application object put into its menu, in the window's
    // Help menu.
    void addApplicationMenuItems(MailingWindow &window);
    // Help > About Quillcast, with the application object's release.
    void showAbout();
    // Linux has no application left running without a window: when launch
    // leaves none on screen, the preferences show (see launch()).
    void showSomethingIfNothingShows();

    std::unique_ptr<SettingsFileStore> m_store;
    std::unique_ptr<UserDefaults> m_defaults;
    std::unique_ptr<SecretStore> m_keyring;
    std::unique_ptr<UrlOpener> m_ownUrlOpener;
    UrlOpener *m_urlOpener = nullptr;
    std::unique_ptr<DesktopFileRevealer> m_revealer;
    std::unique_ptr<MainLoop> m_mainLoop;
    std::unique_ptr<TimerFactory> m_timers;
    std::unique_ptr<UpdateListSource> m_ownUpdateList;
    std::unique_ptr<HardwareAddress> m_hardwareAddress;
    std::unique_ptr<CurlSmtpClient> m_smtp;
    std::unique_ptr<LXMailCoreBridge> m_bridge;
    std::unique_ptr<WindowAlertPresenter> m_alerts;
    std::unique_ptr<WindowAlertPresenter> m_preferencesAlerts;
    std::unique_ptr<DesktopFilePanel> m_filePanel;
    std::unique_ptr<RecentDocuments> m_recent;
    std::unique_ptr<DocumentController> m_documents;
    std::unique_ptr<GuiApplicationShell> m_shell;
    std::unique_ptr<MailerAppDelegate> m_application;
    std::unique_ptr<PreferencesWindow> m_preferences;
};

} // namespace quillcast::gui
