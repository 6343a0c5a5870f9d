#include "app/MailerAppDelegate.h"

#include "app/transformers/ConversionTransformers.h"
#include "app/transformers/LXValueIsEqualToRef.h"
#include "app/transformers/ReferenceComparison.h"
#include "app/update/LXPhoneHome.h"
#include "connections/ConnectionList.h"
#include "platform/ApplicationShell.h"
#include "platform/UserDefaults.h"
#include "platform/UserDefaultsKeys.h"
#include "util/UndoManager.h"

#include <QDebug>

using namespace Qt::StringLiterals;

namespace quillcast {

MailerAppDelegate::MailerAppDelegate(Services services, MailerServices mailer, QObject *parent)
    : LXAppDelegateBase(services, parent),
      m_mailer(std::move(mailer))
{
    UserDefaults &defaults = this->services().defaults;
    defaults.registerDefaults(registeredDefaults());

    m_phoneHome = std::make_unique<LXPhoneHome>(LXPhoneHome::Services{
        defaults, this->services().alerts, this->services().urlOpener, this->services().mainLoop, m_mailer.clock,
        m_mailer.updateList});
    const QStringList lists = LXPhoneHome::configuredListAddresses(defaults);
    m_phoneHome->SetValueAppRelease(ReleaseNumber, QString::fromUtf16(UpdateCheckName), lists.value(0), lists.value(1),
                                    lists.value(2), lists.value(3));

    registerValueTransformers();

    // The list starts with a private 20-step undo stack of its own.
    m_connections = std::make_unique<ConnectionList>(ConnectionList::Services{
        defaults.store(), m_mailer.random, m_mailer.hardwareAddress, this->services().alerts,
        this->services().mainLoop, m_mailer.keyring});
    m_connections->setPreferencesOpener([this](int tab) { openPreferencesAtTab(tab); });
}

MailerAppDelegate::~MailerAppDelegate() = default;

Dict MailerAppDelegate::registeredDefaults()
{
    return Dict{
        {UserDefaultsKeys::notifyUpdate, Value(true)},
        {UserDefaultsKeys::startupActionTag, Value(qint64(0))},
        {UserDefaultsKeys::startupSelectedDoc, Value(QString())},
        {UserDefaultsKeys::lastVersionUsedToUpdatePref, Value(qint64(0))},
        {UserDefaultsKeys::haveSelectedPrefForCheckForUpdate, Value(false)},
        {UserDefaultsKeys::userPrefForCheckForUpdate, Value(qint64(1))},
    };
}

void MailerAppDelegate::registerValueTransformers()
{
    ValueTransformerRegistry &registry = valueTransformers();
    registry.setValueTransformer(u"valueIs0"_s, std::make_shared<LXValueIsEqualToRef>(0));
    registry.setValueTransformer(u"valueIs1"_s, std::make_shared<LXValueIsEqualToRef>(1));
    registry.setValueTransformer(u"valueIs3"_s, std::make_shared<LXValueIsEqualToRef>(3));
    registry.setValueTransformer(u"ret1ifnot0"_s, std::make_shared<LX1IfNot0>());
    registry.setValueTransformer(u"valueNot0"_s, std::make_shared<LXValueNotEqualToRef>(0));
    registry.setValueTransformer(u"valueNot1"_s, std::make_shared<LXValueNotEqualToRef>(1));
}

void MailerAppDelegate::setPreferencesWindow(QObject *window, UndoManager *undo)
{
    m_prefWindow = window;
    m_prefUndo = undo;
}

void MailerAppDelegate::applicationWillFinishLaunching()
{
    adjustBeforeFinishingLaunching();
}

void MailerAppDelegate::adjustBeforeFinishingLaunching()
{
    services().shell.insertApplicationMenuItem(1, u"Software Update\u2026"_s,
                                               [this] { checkForLastReleaseAvailable(); });
}

void MailerAppDelegate::applicationDidFinishLaunching()
{
    executeDocumentStartupAsInPref();
    m_tester.reset();
    m_phoneHome->startupProcedure();
    if (const Status loaded = m_connections->loadConnections(); !loaded)
        qWarning().noquote() << u"The stored mail server connections could not be read: %1"_s.arg(loaded.error());
    if (m_prefUndo)
        m_connections->setUndoManager(m_prefUndo);
    setFinishedLaunching(true);
}

bool MailerAppDelegate::applicationShouldOpenUntitledFile() const
{
    return services().defaults.integerForKey(UserDefaultsKeys::startupActionTag) == 0;
}

void MailerAppDelegate::applicationWillTerminate()
{
    if (const Status stored = m_connections->encryptPreferences(); !stored)
        qWarning().noquote() << u"The mail server connections could not be stored: %1"_s.arg(stored.error());
}

void MailerAppDelegate::checkForLastReleaseAvailable()
{
    m_phoneHome->checkForLastReleaseAvailableWithNotify();
}

void MailerAppDelegate::testConnectionFromPreferences()
{
    if (!m_tester)
        m_tester = std::make_unique<LXMailConnectionTester>(m_mailer.accountCheck);
    const std::optional<Dict> selected = m_connections->selectedConnection();
    if (!selected)
        return;
    m_tester->SetConnection(*selected);
    m_tester->runAttachedToWin(m_prefWindow.data());
}

void MailerAppDelegate::addNewConnection()
{
    m_connections->addNewConnection();
}

void MailerAppDelegate::deleteSelectedConnection()
{
    m_connections->deleteSelectedConnection();
}

} // namespace quillcast
