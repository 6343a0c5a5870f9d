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
#include "platform/QtMainLoop.h"
#include "platform/QtTimerFactory.h"
#include "platform/SettingsFileStore.h"
#include "platform/SystemClock.h"
#include "platform/UserDefaults.h"
#include "send/CurlSmtpClient.h"
#include "send/LXMailCoreBridge.h"
#include "MailingWindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

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
}

ApplicationServices::~ApplicationServices()
{
    // The windows first: their sessions and pages use everything else.
    m_documents.reset();
}

void ApplicationServices::addApplicationMenuItems(MailingWindow &window)
{
    // The application menu of the desktop this was made for is the Help
    // menu here: its first item is "About Quillcast" too.
    auto *help = window.findChild<QMenu *>(u"menuHelp"_s);
    if (!help)
        return;
    for (const GuiApplicationShell::MenuItem &item : m_shell->applicationMenuItems()) {
        auto *action = new QAction(item.title, help);
        action->setObjectName(u"actionApplicationMenuItem"_s);
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
}

void ApplicationServices::terminate()
{
    m_application->applicationWillTerminate();
}

} // namespace quillcast::gui
