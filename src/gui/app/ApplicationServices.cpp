#include "app/ApplicationServices.h"

#include "app/DesktopFilePanel.h"
#include "app/DesktopFileRevealer.h"
#include "app/DesktopUrlOpener.h"
#include "app/DocumentController.h"
#include "export/ExportAccessory.h"
#include "import/ImportAccessory.h"
#include "app/GuiApplicationShell.h"
#include "app/MailerAppDelegate.h"
#include "app/RecentDocuments.h"
#include "app/ShippedUserGuide.h"
#include "app/WindowAlertPresenter.h"
#include "app/update/CurlUpdateListSource.h"
#include "connections/ConnectionList.h"
#include "connections/HardwareAddress.h"
#include "connections/OpenSslRandomSource.h"
#include "connections/SecretStore.h"
#include "platform/Alert.h"
#include "platform/QtMainLoop.h"
#include "platform/QtTimerFactory.h"
#include "platform/SettingsFileStore.h"
#include "platform/SystemClock.h"
#include "platform/UserDefaults.h"
#include "send/CurlSmtpClient.h"
#include "send/LXMailCoreBridge.h"
#include "MailingWindow.h"
#include "prefs/MailServerPane.h"
#include "prefs/PreferencesWindow.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QMenu>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

namespace {

// The startup actions that look for open mailings do so after a second.
constexpr int startupActionDelay = 1000;

} // namespace

ApplicationServices::ApplicationServices(Options options)
    : m_store(std::make_unique<SettingsFileStore>(options.settingsFile)),
      m_defaults(std::make_unique<UserDefaults>(*m_store)),
      m_keyring(std::move(options.keyring))
{
    if (!options.urlOpener)
        m_ownUrlOpener = std::make_unique<DesktopUrlOpener>();
    m_urlOpener = options.urlOpener ? options.urlOpener : m_ownUrlOpener.get();
    m_revealer = std::make_unique<DesktopFileRevealer>(*m_urlOpener,
                                                       options.bus ? *options.bus : QDBusConnection::sessionBus());
    m_mainLoop = std::make_unique<QtMainLoop>();
    m_timers = std::make_unique<QtTimerFactory>();
    if (!options.updateList)
        m_ownUpdateList = std::make_unique<CurlUpdateListSource>();
    UpdateListSource &updateList = options.updateList ? *options.updateList : *m_ownUpdateList;
    m_hardwareAddress = std::make_unique<HardwareAddress>();
    // Start-up and the update check speak in modal alerts; the open panel
    // of the application object stands on its own.
    m_alerts = std::make_unique<WindowAlertPresenter>();
    m_filePanel = std::make_unique<DesktopFilePanel>();
    m_recent = std::make_unique<RecentDocuments>(*m_store);

    m_documents = std::make_unique<DocumentController>(DocumentController::Services{
        SystemClock::instance(), *m_urlOpener, *m_revealer, m_timers.get(), *m_recent});
    m_documents->setFilePanelAccessory(FilePanel::Accessory::ImportOptions, ImportAccessory::factory());
    m_documents->setFilePanelAccessory(FilePanel::Accessory::ExportOptions, ExportAccessory::factory());
    m_shell = std::make_unique<GuiApplicationShell>(*m_documents);

    // The connection tester's account check, on a client made when first
    // needed: most runs never test a connection.
    auto accountCheck = [this](const QString &host, const QString &username, const QString &password, qint32 port,
                               qint32 connectionType, bool useAuth, LXMailCoreBridge::CheckCompletion sender,
                               const QString &requestID) {
        if (!m_bridge) {
            m_smtp = std::make_unique<CurlSmtpClient>(CurlSmtpClient::Options::fromEnvironment());
            m_bridge = std::make_unique<LXMailCoreBridge>(
                LXMailCoreBridge::Services{*m_smtp, *m_mainLoop, SystemClock::instance()});
        }
        m_bridge->canConnectToServer(host, username, password, port, connectionType, useAuth, std::move(sender),
                                     requestID);
    };
    m_application = std::make_unique<MailerAppDelegate>(
        LXAppDelegateBase::Services{*m_defaults, *m_shell, *m_alerts, *m_urlOpener, *m_revealer, *m_documents,
                                    *m_filePanel, *m_mainLoop},
        MailerAppDelegate::MailerServices{OpenSslRandomSource::instance(), *m_hardwareAddress,
                                          SystemClock::instance(), updateList, accountCheck, m_keyring.get()});
    m_application->setUserGuideSource(options.userGuide.isEmpty()
                                            ? ShippedUserGuide::path(QCoreApplication::applicationDirPath())
                                            : options.userGuide);
    m_documents->setConnectionProvider(&m_application->connections());
    QObject::connect(m_documents.get(), &DocumentController::windowOpened, m_documents.get(),
                     [this](MailingWindow *window) { addApplicationMenuItems(*window); });
    m_documents->setPreferencesHandler([this](int panel) { m_application->openPreferencesAtTab(panel); });

    // The preferences window exists for the whole run: the connection
    // tester's sheet attaches to it and its undo stack takes over the
    // connection list's at the end of launch.
    // Its delete confirmations are sheets on the preferences window.
    m_preferencesAlerts = std::make_unique<WindowAlertPresenter>();
    PreferencesWindow::PaneFactory mailServerPane = [this](PreferencesWindow &window) -> QWidget * {
        return new MailServerPane({m_application->connections(), window.undoManager(), *m_preferencesAlerts,
                                   m_application->accountCheck()},
                                  &window);
    };
    m_preferences = std::make_unique<PreferencesWindow>(
        PreferencesWindow::Services{*m_application, *m_defaults}, std::move(mailServerPane));
    m_preferencesAlerts->setWindow(m_preferences.get());
    m_shell->setPreferencesWindow(m_preferences.get());
    m_application->setPreferencesWindow(m_preferences.get(), &m_preferences->undoManager());
}

ApplicationServices::~ApplicationServices()
{
    // The windows first: their sessions and pages use everything else.
    m_documents.reset();
    m_preferences.reset();
}

void ApplicationServices::addApplicationMenuItems(MailingWindow &window)
{
    // The application menu of the desktop this was made for is the Help
    // menu here: its first item is "About Quillcast" too.
    auto *help = window.findChild<QMenu *>(u"menuHelp"_s);
    if (!help)
        return;
    // The About box tells the application object's release.
    if (auto *about = window.findChild<QAction *>(u"actionAbout"_s)) {
        QObject::disconnect(about, &QAction::triggered, nullptr, nullptr);
        QObject::connect(about, &QAction::triggered, help, [this] { showAbout(); });
    }
    for (const GuiApplicationShell::MenuItem &item : m_shell->applicationMenuItems()) {
        // Linux users look for the update check under this name.
        const bool updateCheck = item.title == u"Software Update\u2026"_s;
        auto *action = new QAction(updateCheck ? u"Check for Updates\u2026"_s : item.title, help);
        action->setObjectName(updateCheck ? u"actionCheckForUpdates"_s : u"actionApplicationMenuItem"_s);
        QObject::connect(action, &QAction::triggered, help, item.action);
        const QList<QAction *> actions = help->actions();
        help->insertAction(actions.value(item.position), action);
    }
    auto *guide = new QAction(u"Quillcast User Guide"_s, help);
    guide->setObjectName(u"actionUserGuide"_s);
    guide->setShortcut(QKeySequence::HelpContents);
    QObject::connect(guide, &QAction::triggered, help, [this] { m_application->openUserGuide(); });
    help->addAction(guide);
}

void ApplicationServices::launch(const QStringList &documentPaths)
{
    m_application->applicationWillFinishLaunching();
    for (const QString &path : documentPaths)
        m_documents->openDocument(path);
    m_application->applicationDidFinishLaunching();
    // When the startup actions that wait have had their turn.
    m_shell->runAfter(startupActionDelay, [this] { showSomethingIfNothingShows(); });
}

void ApplicationServices::showSomethingIfNothingShows()
{
    // The desktop this was made for keeps an application without windows
    // running in its menu bar and dock; on Linux such a process would be
    // unreachable and would only hold its files. So a launch that ends with
    // nothing on screen (the startup action "nothing", or a stored value no
    // release knows) shows the Open panel: the user started the program to
    // work on a mailing. Whatever a startup action showed (a mailing, the
    // Open panel, an alert, the preferences) is left alone.
    if (m_documents->openDocumentCount() > 0)
        return;
    const QWidgetList windows = QApplication::topLevelWidgets();
    if (std::any_of(windows.begin(), windows.end(), [](const QWidget *w) { return w->isVisible(); }))
        return;
    m_shell->showOpenPanel();
}

void ApplicationServices::showAbout()
{
    Alert about;
    about.messageText = m_application->appName();
    about.informativeText = u"Release %1\n\nPersonalised bulk e-mail: one window per mailing."_s.arg(
        m_application->releaseString());
    about.buttons = {u"OK"_s};
    about.style = Alert::Style::Informational;
    about.kind = Alert::Kind::Modal;
    m_alerts->present(about, [](int) {});
}

void ApplicationServices::terminate()
{
    m_application->applicationWillTerminate();
}

} // namespace quillcast::gui
