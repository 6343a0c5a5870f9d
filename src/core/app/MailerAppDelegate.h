#pragma once

#include "app/LXAppDelegateBase.h"
#include "app/LXMailConnectionTester.h"
#include "util/Dict.h"

#include <QPointer>

#include <memory>

namespace quillcast {

class Clock;
class ConnectionList;
class HardwareAddress;
class LXPhoneHome;
class SecretStore;
class SecureRandomSource;
class UndoManager;
class UpdateListSource;

// The application object of Quillcast: the registered defaults, the named
// value transformers, the connection list with its encrypted passwords, the
// connection tester and the update check, and the order in which they start
// and stop.
//
// Start-up: construction (defaults registered, update check configured,
// transformers registered), applicationWillFinishLaunching(),
// applicationDidFinishLaunching(); shut-down: applicationWillTerminate().
class MailerAppDelegate : public LXAppDelegateBase
{
    Q_OBJECT
public:
    struct MailerServices
    {
        SecureRandomSource &random; // salt, IV and connection identifiers
        const HardwareAddress &hardwareAddress; // the device password
        const Clock &clock; // the update check's days
        UpdateListSource &updateList;
        LXMailConnectionTester::AccountCheck accountCheck;
        SecretStore *keyring = nullptr; // the desktop's keyring; none: passwords stay in the settings file
    };

    static constexpr char16_t UpdateCheckName[] = u"Quillcast";

    MailerAppDelegate(Services services, MailerServices mailer, QObject *parent = nullptr);
    ~MailerAppDelegate() override;

    // The fallback values of the user defaults, also what a reset restores.
    static Dict registeredDefaults();

    ConnectionList &connections() { return *m_connections; }
    LXPhoneHome &phoneHome() { return *m_phoneHome; }
    // None until the first test.
    LXMailConnectionTester *myMailConnectionTester() const { return m_tester.get(); }
    // How the tester checks an account (the preferences' panel tests with it).
    const LXMailConnectionTester::AccountCheck &accountCheck() const { return m_mailer.accountCheck; }

    // The preferences window and its undo stack, which takes over the
    // connection list's undo at the end of launch.
    void setPreferencesWindow(QObject *window, UndoManager *undo);

    void applicationWillFinishLaunching();
    void adjustBeforeFinishingLaunching();
    void applicationDidFinishLaunching();
    bool applicationShouldOpenUntitledFile() const;
    void applicationWillTerminate();

    // Menu and preferences commands.
    void checkForLastReleaseAvailable();
    void testConnectionFromPreferences();
    void addNewConnection();
    void deleteSelectedConnection();

private:
    void registerValueTransformers();

    MailerServices m_mailer;
    std::unique_ptr<LXPhoneHome> m_phoneHome;
    std::unique_ptr<ConnectionList> m_connections;
    std::unique_ptr<LXMailConnectionTester> m_tester;
    QPointer<QObject> m_prefWindow;
    QPointer<UndoManager> m_prefUndo;
};

} // namespace quillcast
