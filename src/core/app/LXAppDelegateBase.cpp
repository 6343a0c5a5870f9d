#include "app/LXAppDelegateBase.h"

#include "app/LXAppSupportUtility.h"
#include "app/transformers/ReferenceComparison.h"
#include "platform/AlertPresenter.h"
#include "platform/ApplicationShell.h"
#include "platform/DocumentOpener.h"
#include "platform/DurableSaveFile.h"
#include "platform/FilePanel.h"
#include "platform/FileRevealer.h"
#include "platform/MainLoop.h"
#include "platform/RegularFileReader.h"
#include "platform/UrlOpener.h"
#include "platform/UserDefaults.h"
#include "platform/UserDefaultsKeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

// The guide is a PDF of a few megabytes; anything far bigger is not it.
constexpr qint64 kMaxUserGuideSize = qint64(256) * 1024 * 1024;

const QString &startupBookmarkKey = UserDefaultsKeys::startupSelectedDocBookmark;
const QString &startupActionKey = UserDefaultsKeys::startupActionTag;

const QString noDocumentStatus = u"Please select a file or change startup option"_s;
const QString refusedStatus = u"Not valid Startup Document selected. Please re-select"_s;

// The delay after launch before the untitled document or the Open panel
// appears, so that documents the system opened at launch are counted.
constexpr int startupDelayMs = 1000;

} // namespace

LXAppDelegateBase::LXAppDelegateBase(Services services, QObject *parent)
    : QObject(parent),
      m_services(services),
      m_appName(u"Quillcast 2"_s),
      m_releaseString(LXAppSupportUtility::calcReleaseString(ReleaseNumber)),
      m_userDataFolder(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/Quillcast"_s)
{
    m_valueTransformers.setValueTransformer(u"valueNot0"_s, std::make_shared<LXValueNotEqualToRef>(0));
}

LXAppDelegateBase::~LXAppDelegateBase() = default;

QString LXAppDelegateBase::getUserGuideName()
{
    return u"Quillcast User Guide 2"_s;
}

QString LXAppDelegateBase::getUserGuideNameWithThisRelNum()
{
    return u"Quillcast User Guide "_s + LXAppSupportUtility::calcReleaseString(ReleaseNumber);
}

QStringList LXAppDelegateBase::allowedStartupDocExtensions()
{
    return {u"quill"_s};
}

void LXAppDelegateBase::setFinishedLaunching(bool finished)
{
    if (m_finishedLaunching == finished)
        return;
    m_finishedLaunching = finished;
    Q_EMIT finishedLaunchingChanged(finished);
}

// --- Startup action ---

void LXAppDelegateBase::executeDocumentStartupAsInPref()
{
    QPointer<LXAppDelegateBase> self(this);
    switch (m_services.defaults.integerForKey(startupActionKey)) {
    case 0:
        m_services.shell.runAfter(startupDelayMs, [self] {
            if (self)
                self->newDocIfNoDocOpened();
        });
        break;
    case 1:
        m_services.shell.runAfter(startupDelayMs, [self] {
            if (self)
                self->openDialogIfNoDocOpened();
        });
        break;
    case 2:
        m_services.shell.showOpenPanel();
        break;
    case 3:
        openStartupDocAtLaunch();
        break;
    default:
        break;
    }
}

void LXAppDelegateBase::newDocIfNoDocOpened()
{
    if (m_services.shell.openDocumentCount() == 0)
        m_services.shell.newUntitledDocument();
}

void LXAppDelegateBase::openDialogIfNoDocOpened()
{
    if (m_services.shell.openDocumentCount() == 0)
        m_services.shell.showOpenPanel();
}

void LXAppDelegateBase::openPreferences()
{
    m_services.shell.showPreferences(std::nullopt);
}

void LXAppDelegateBase::openPreferencesAtTab(int tab)
{
    m_services.shell.showPreferences(tab);
}

// --- Startup document ---

void LXAppDelegateBase::setStartupDocStatus(const QString &message, std::optional<bool> specified)
{
    m_startupDocPathMessageString = message;
    if (specified)
        m_startupDocSpecified = *specified;
    Q_EMIT startupDocStatusChanged();
}

std::optional<LXBookmark::Location> LXAppDelegateBase::resolveStartupDoc(bool *isStale) const
{
    *isStale = false;
    const QByteArray bookmark = m_services.defaults.dataForKey(startupBookmarkKey);
    if (bookmark.isEmpty())
        return std::nullopt;
    return LXBookmark::urlForBookmark(bookmark, isStale);
}

std::optional<QByteArray> LXAppDelegateBase::renewStartupBookmark(const LXBookmark::Location &location)
{
    const bool accessing = LXBookmark::startAccessingSecurityScopedResource(location);
    std::optional<QByteArray> renewed = LXBookmark::bookmarkForURL_RW(location.path);
    if (accessing)
        LXBookmark::stopAccessingSecurityScopedResource(location);
    // A bookmark that cannot be renewed is kept: it may still resolve later,
    // and storing nothing would lose the user's choice.
    if (!renewed || !m_services.defaults.setObject(startupBookmarkKey, Value(*renewed)))
        return std::nullopt;
    setStartupDocStatus(u"Bookmark renewed"_s);
    return renewed;
}

LXBookmark::Location LXAppDelegateBase::renewedLocation(const LXBookmark::Location &location)
{
    const std::optional<QByteArray> renewed = renewStartupBookmark(location);
    if (!renewed)
        return location;
    bool stale = false;
    return LXBookmark::urlForBookmark(*renewed, &stale).value_or(location);
}

void LXAppDelegateBase::askToOpenPreferences(const QString &messageText, const QString &informativeText)
{
    const Alert alert{messageText, informativeText, {u"Open Preferences"_s, u"Cancel"_s}, Alert::Style::Warning,
                      Alert::Kind::Modal};
    QPointer<LXAppDelegateBase> self(this);
    m_services.alerts.present(alert, [self](int button) {
        if (self && button == 0)
            self->openPreferences();
    });
}

void LXAppDelegateBase::openStartupDocAtLaunch()
{
    bool stale = false;
    std::optional<LXBookmark::Location> location = resolveStartupDoc(&stale);
    if (!location || location->path.isEmpty()) {
        setStartupDocStatus(noDocumentStatus, false);
        // Shown after the launch step that found the problem.
        QPointer<LXAppDelegateBase> self(this);
        m_services.mainLoop.post([self] {
            if (self)
                self->askToOpenPreferences(u"Preference was set to open at startup a document without specifying it"_s,
                                           u"You can fix the problem in the preferences"_s);
        });
        return;
    }
    if (stale)
        location = renewedLocation(*location);
    if (LXBookmark::startAccessingSecurityScopedResource(*location)) {
        m_services.documents.openDocument(location->path);
        LXBookmark::stopAccessingSecurityScopedResource(*location);
        return;
    }
    askToOpenPreferences(u"The system is negating the access to the document selected to be opened at startup"_s,
                         u"It must be selected in the preferences or the startup action must be changed"_s);
    setStartupDocStatus(refusedStatus, true);
}

void LXAppDelegateBase::selectStartupDoc(QObject *preferencesWindow)
{
    FilePanel::OpenRequest request;
    request.window = preferencesWindow;
    request.allowedExtensions = allowedStartupDocExtensions();
    request.prompt = u"Select"_s;
    // A folder named like a mailing is no document to open at launch.
    request.filesOnly = true;
    QPointer<LXAppDelegateBase> self(this);
    m_services.filePanel.runOpenPanel(request, [self](std::optional<QStringList> paths) {
        if (!self || !paths || paths->isEmpty())
            return;
        const std::optional<QByteArray> bookmark = LXBookmark::bookmarkForURL_RW(paths->last());
        // A file that cannot be referred to (or a choice that cannot be
        // stored) must not look chosen.
        if (!bookmark || !self->m_services.defaults.setObject(startupBookmarkKey, Value(*bookmark))) {
            self->setStartupDocStatus(refusedStatus);
            return;
        }
        self->setStartupDocStatus(QString(), true);
    });
}

void LXAppDelegateBase::clearStartupSelectedDoc()
{
    m_services.defaults.setObject(startupBookmarkKey, Value(QByteArray()));
    setStartupDocStatus(noDocumentStatus, false);
}

void LXAppDelegateBase::testOpenStartupDoc()
{
    bool stale = false;
    const std::optional<LXBookmark::Location> location = resolveStartupDoc(&stale);
    if (!location)
        return;
    if (stale)
        renewStartupBookmark(*location); // the location already resolved serves
    if (location->path.isEmpty())
        setStartupDocStatus(noDocumentStatus);
    if (LXBookmark::startAccessingSecurityScopedResource(*location)) {
        m_services.documents.openDocument(location->path);
        LXBookmark::stopAccessingSecurityScopedResource(*location);
    }
}

void LXAppDelegateBase::showInFinderStartupDoc()
{
    bool stale = false;
    std::optional<LXBookmark::Location> location = resolveStartupDoc(&stale);
    if (!location)
        return;
    if (stale)
        location = renewedLocation(*location);
    if (!location->path.isEmpty() && QFileInfo::exists(location->path))
        m_services.fileRevealer.revealFile(location->path);
}

// --- User guide ---

QString LXAppDelegateBase::installedUserGuidePath() const
{
    return m_userDataFolder + u'/' + getUserGuideName() + u'/' + getUserGuideNameWithThisRelNum() + u".pdf"_s;
}

void LXAppDelegateBase::installUserGuide(const QString &directory, const QString &finalPath) const
{
    if (!QDir().mkpath(directory))
        return;
    const QStringList earlier = QDir(directory).entryList(QDir::Files | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    // Written whole or not at all, so that a copy cut short (a full disk) is
    // never taken for an installed guide; the guides of earlier releases stay
    // until this one is in place.
    const Result<QByteArray> guide = RegularFileReader::read(m_userGuideSource, kMaxUserGuideSize);
    if (!guide || !DurableSaveFile::writeWhole(finalPath, guide.value()))
        return;
    const QString finalName = QFileInfo(finalPath).fileName();
    for (const QString &entry : earlier) {
        if (entry != u".DS_Store"_s && entry != finalName)
            QFile::remove(directory + u'/' + entry);
    }
}

void LXAppDelegateBase::openUserGuide()
{
    const QString directory = m_userDataFolder + u'/' + getUserGuideName();
    const QString finalPath = installedUserGuidePath();
    if (!QFileInfo::exists(finalPath))
        installUserGuide(directory, finalPath);
    m_services.urlOpener.openFile(finalPath);
}

} // namespace quillcast
