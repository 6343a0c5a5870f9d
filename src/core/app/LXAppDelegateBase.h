#pragma once

#include "app/transformers/ValueTransformerRegistry.h"
#include "platform/LXBookmark.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace quillcast {

class AlertPresenter;
class ApplicationShell;
class DocumentOpener;
class FilePanel;
class FileRevealer;
class MainLoop;
class UrlOpener;
class UserDefaults;

// The general part of the application object: release identity, the startup
// action with the startup document, the preferences window and the user
// guide. MailerAppDelegate adds what is particular to this application.
// Everything here runs on the main thread.
class LXAppDelegateBase : public QObject
{
    Q_OBJECT
public:
    struct Services
    {
        UserDefaults &defaults;
        ApplicationShell &shell;
        AlertPresenter &alerts;
        UrlOpener &urlOpener; // the user guide's viewer, the maker's pages
        FileRevealer &fileRevealer;
        DocumentOpener &documents;
        FilePanel &filePanel;
        MainLoop &mainLoop;
    };

    static constexpr qint64 ReleaseNumber = 21001;

    explicit LXAppDelegateBase(Services services, QObject *parent = nullptr);
    ~LXAppDelegateBase() override;

    static QString getUserGuideName();
    static QString getUserGuideNameWithThisRelNum();
    static QStringList allowedStartupDocExtensions();

    // The named transformers the windows' bindings refer to.
    ValueTransformerRegistry &valueTransformers() { return m_valueTransformers; }

    bool finishedLaunching() const { return m_finishedLaunching; }
    QString appName() const { return m_appName; }
    QString releaseString() const { return m_releaseString; }
    QString StartupDocPathMessageString() const { return m_startupDocPathMessageString; }
    bool StartupDocSpecified() const { return m_startupDocSpecified; }

    // The startup action chosen in the preferences.
    void executeDocumentStartupAsInPref();
    void newDocIfNoDocOpened();
    void openDialogIfNoDocOpened();

    void openPreferences();
    void openPreferencesAtTab(int tab);

    // Commands of the startup document in the preferences' general panel.
    void selectStartupDoc(QObject *preferencesWindow);
    void clearStartupSelectedDoc();
    void testOpenStartupDoc();
    void showInFinderStartupDoc();

    // The user guide: the copy the application ships (a PDF) and the user's
    // data folder it is installed into, one copy per release.
    void setUserGuideSource(const QString &path) { m_userGuideSource = path; }
    void setUserDataFolder(const QString &path) { m_userDataFolder = path; }
    QString installedUserGuidePath() const;
    // Installs the guide of this release (once) and opens it.
    void openUserGuide();

Q_SIGNALS:
    void finishedLaunchingChanged(bool finished);
    void startupDocStatusChanged();

protected:
    void setFinishedLaunching(bool finished);
    Services &services() { return m_services; }
    const Services &services() const { return m_services; }

private:
    // Resolves the stored startup document; none when nothing resolves.
    std::optional<LXBookmark::Location> resolveStartupDoc(bool *isStale) const;
    // Replaces a stale bookmark with a new one of the same location; the
    // new bookmark, or none when it could not be made.
    std::optional<QByteArray> renewStartupBookmark(const LXBookmark::Location &location);
    // Renews a stale bookmark and resolves the new one; the location as it
    // was when that fails.
    LXBookmark::Location renewedLocation(const LXBookmark::Location &location);
    void openStartupDocAtLaunch();
    void setStartupDocStatus(const QString &message, std::optional<bool> specified = std::nullopt);
    void askToOpenPreferences(const QString &messageText, const QString &informativeText);
    void installUserGuide(const QString &directory, const QString &finalPath) const;

    Services m_services;
    ValueTransformerRegistry m_valueTransformers;
    bool m_finishedLaunching = false;
    QString m_appName;
    QString m_releaseString;
    QString m_startupDocPathMessageString;
    bool m_startupDocSpecified = true;
    QString m_userGuideSource;
    QString m_userDataFolder;
};

} // namespace quillcast
