#include "session/DocumentSession.h"

#include "database/KeyCommands.h"
#include "database/RecordListCommands.h"
#include "database/SendListCommands.h"
#include "document/DocumentFile.h"
#include "document/MyDocument.h"
#include "export/DocumentExport.h"
#include "import/DocumentImport.h"
#include "platform/TimerFactory.h"
#include "send/Preview.h"
#include "send/RunJournalContents.h"
#include "send/RunJournalFolder.h"
#include "send/RunResults.h"
#include "send/RunResultsModel.h"
#include "send/SendRun.h"
#include "send/SendingServicesFactory.h"

#include <QFileInfo>
#include <QPointer>

#include <utility>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

bool samePath(const QString &a, const QString &b)
{
    const QFileInfo first(a);
    const QFileInfo second(b);
    if (first.exists() && second.exists())
        return first.canonicalFilePath() == second.canonicalFilePath();
    return first.absoluteFilePath() == second.absoluteFilePath();
}

} // namespace

DocumentSession::DocumentSession(Services services, QObject *parent)
    : QObject(parent), m_services(services), m_doc(makeDocument()), m_runResults(std::make_unique<RunResultsModel>())
{
    if (m_services.timers)
        m_autosaveTimer = m_services.timers->createTimer([this] { autosave(); });
    m_doc->setUpOpenedDocument();
    watchEdits();
}

DocumentSession::~DocumentSession()
{
    // Whoever wanted to hear of a failure is going away with the session;
    // the lock goes with its member either way.
    if (m_autosaveTimer)
        m_autosaveTimer->stop();
    if (m_autosaveTimer && m_access == Access::Editing && !m_path.isEmpty() && isEdited()) {
        const QSignalBlocker quiet(this);
        save();
    }
    dropHelpers();
}

std::unique_ptr<MyDocument> DocumentSession::makeDocument() const
{
    auto doc = std::make_unique<MyDocument>(m_services.clock);
    doc->setAlertPresenter(&m_services.alerts);
    return doc;
}

QString DocumentSession::displayName() const
{
    if (m_path.isEmpty())
        return m_untitledName;
    return QFileInfo(m_path).completeBaseName();
}

bool DocumentSession::isEdited() const
{
    return m_doc->isDocumentEdited();
}

// --- Opening ---------------------------------------------------------------------

Status DocumentSession::readInto(MyDocument &doc, const QString &path, const QByteArray *bytes,
                                 const std::function<void()> &pagesRead)
{
    const Status read = bytes ? DocumentFile::readFromData(doc, *bytes, m_services.alerts, m_services.urlOpener,
                                                           pagesRead)
                              : DocumentFile::readFromFile(doc, path, m_services.alerts, m_services.urlOpener);
    if (!read)
        return read;
    doc.setUpOpenedDocument();
    return success();
}

Status DocumentSession::newDocument(const std::function<Status(MyDocument &)> &fill)
{
    std::unique_ptr<MyDocument> doc = makeDocument();
    if (fill) {
        if (const Status filled = fill(*doc); !filled)
            return filled;
    }
    doc->setUpOpenedDocument();
    return adopt(std::move(doc), QString(), Access::Editing, nullptr);
}

Status DocumentSession::create(const QString &path)
{
    auto lock = std::make_unique<MailingLock>(path);
    if (const Status locked = lock->acquire(m_services.lockWait); !locked)
        return locked;
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        return Status::failure(u"%1 already exists; it was not replaced"_s.arg(path));
    std::unique_ptr<MyDocument> doc = makeDocument();
    doc->setUpOpenedDocument();
    if (const Status written = DocumentFile::writeToFile(*doc, path); !written)
        return written;
    doc->updateChangeCount(MyDocument::ChangeKind::Cleared);
    return adopt(std::move(doc), path, Access::Editing, std::move(lock));
}

Status DocumentSession::open(const QString &path, Access access)
{
    // A second lock on the file this session holds would wait for itself.
    if (isLocked() && samePath(path, m_path))
        return Status::failure(u"%1 is open already; revert it to read it again."_s.arg(path));
    std::unique_ptr<MailingLock> lock;
    if (access == Access::Editing) {
        lock = std::make_unique<MailingLock>(path);
        if (const Status locked = lock->acquire(m_services.lockWait); !locked)
            return locked;
    }
    std::unique_ptr<MyDocument> doc = makeDocument();
    if (const Status read = readInto(*doc, path, nullptr); !read)
        return read;
    return adopt(std::move(doc), path, access, std::move(lock));
}

Status DocumentSession::openToExport(const QString &path, qsizetype archivedFrom)
{
    if (isLocked() && samePath(path, m_path))
        return open(path, Access::Reading);
    Result<std::shared_ptr<ArchivedAddressList>> archived = ArchivedAddressList::open(path, archivedFrom);
    if (!archived)
        return open(path, Access::Reading);
    std::unique_ptr<MyDocument> doc = makeDocument();
    if (const Status read = DocumentFile::readFromRoot(*doc, archived.value()->root(), m_services.alerts,
                                                       m_services.urlOpener);
        !read) {
        // An open names a damaged structure before anything else.
        if (const Status check = archived.value()->checked(); !check)
            return check;
        return read;
    }
    doc->setUpOpenedDocument();
    if (const Status adopted = adopt(std::move(doc), path, Access::Reading, nullptr); !adopted)
        return adopted;
    m_archivedAddresses = std::move(archived.value());
    return success();
}

Status DocumentSession::openData(const QString &path, const QByteArray &bytes,
                                 const std::function<void()> &pagesRead)
{
    std::unique_ptr<MyDocument> doc = makeDocument();
    if (const Status read = readInto(*doc, path, &bytes, pagesRead); !read)
        return read;
    return adopt(std::move(doc), path, Access::Reading, nullptr);
}

Status DocumentSession::adopt(std::unique_ptr<MyDocument> doc, const QString &path, Access access,
                              std::unique_ptr<MailingLock> lock)
{
    // The mailing held so far is closed first, as closing its window would.
    if (const Status closed = close(); !closed)
        return closed;
    dropHelpers();
    // Another mailing: the results shown were of the one before.
    m_runResults->clear();
    m_doc = std::move(doc);
    m_lock = std::move(lock);
    m_path = path;
    m_access = access;
    m_lastSaveError.clear();
    watchEdits();
    Q_EMIT documentReplaced(m_doc.get());
    Q_EMIT filePathChanged(m_path);
    return success();
}

// --- Saving ----------------------------------------------------------------------

Status DocumentSession::writeTo(const QString &path)
{
    const Status written = DocumentFile::writeToFile(*m_doc, path);
    if (!written) {
        // Still edited: the changes are only in memory.
        m_lastSaveError = written.error();
        Q_EMIT saveFailed(m_lastSaveError);
        return written;
    }
    m_lastSaveError.clear();
    m_doc->updateChangeCount(MyDocument::ChangeKind::Cleared);
    Q_EMIT saved(path);
    return success();
}

Status DocumentSession::save()
{
    if (m_access != Access::Editing)
        return Status::failure(u"The mailing %1 was opened to be read only; it is not saved."_s.arg(m_path));
    if (m_path.isEmpty())
        return Status::failure(u"The mailing has no file yet; save it as one first."_s);
    if (m_autosaveTimer)
        m_autosaveTimer->stop();
    return writeTo(m_path);
}

Status DocumentSession::saveAs(const QString &path)
{
    if (m_access == Access::Editing && !m_path.isEmpty() && samePath(path, m_path))
        return save();
    auto lock = std::make_unique<MailingLock>(path);
    if (const Status locked = lock->acquire(m_services.lockWait); !locked)
        return locked;
    if (m_autosaveTimer)
        m_autosaveTimer->stop();
    if (const Status written = writeTo(path); !written)
        return written;
    // The old file is let go of only now that the new one holds the mailing.
    m_lock = std::move(lock);
    m_path = path;
    m_access = Access::Editing;
    Q_EMIT filePathChanged(m_path);
    return success();
}

Status DocumentSession::revert()
{
    if (m_path.isEmpty())
        return Status::failure(u"The mailing has no file to go back to."_s);
    if (m_sendRun && m_sendRun->isRunning())
        return Status::failure(u"The mailing cannot be reverted while it is being sent."_s);
    std::unique_ptr<MyDocument> doc = makeDocument();
    if (const Status read = readInto(*doc, m_path, nullptr); !read)
        return read;
    if (m_autosaveTimer)
        m_autosaveTimer->stop();
    dropHelpers();
    m_doc = std::move(doc);
    m_lastSaveError.clear();
    watchEdits();
    Q_EMIT documentReplaced(m_doc.get());
    return success();
}

Status DocumentSession::close()
{
    if (m_autosaveTimer)
        m_autosaveTimer->stop();
    if (m_autosaveTimer && m_access == Access::Editing && !m_path.isEmpty() && isEdited()) {
        // The file and its lock are kept, so that the window can still offer
        // to save elsewhere.
        if (const Status savedNow = save(); !savedNow)
            return savedNow;
    }
    if (m_lock)
        m_lock->release();
    m_lock.reset();
    m_path.clear();
    m_access = Access::Editing;
    return success();
}

// --- Autosave --------------------------------------------------------------------

void DocumentSession::watchEdits()
{
    connect(m_doc.get(), &MyDocument::editCounted, this, &DocumentSession::editCounted);
    // The mail form and the settings are saved with the mailing: changing them
    // is an edit, whoever changes them.
    auto counts = [this] { m_doc->updateChangeCount(MyDocument::ChangeKind::Done); };
    MyDocument *doc = m_doc.get();
    connect(doc, &MyDocument::mailFormFromChanged, this, counts);
    connect(doc, &MyDocument::mailFormToChanged, this, counts);
    connect(doc, &MyDocument::mailFormReplyToChanged, this, counts);
    connect(doc, &MyDocument::mailFormSubjectChanged, this, counts);
    connect(doc, &MyDocument::mailFormBodyChanged, this, counts);
    connect(doc, &MyDocument::mailFormBodyHtmlChanged, this, counts);
    connect(doc, &MyDocument::mailFormBodyHtmlAltTextChanged, this, counts);
    connect(doc, &MyDocument::mailFormAttachmentChanged, this, counts);
    connect(doc, &MyDocument::sendPrepTimeIntervalChanged, this, counts);
    connect(doc, &MyDocument::emailKindChanged, this, counts);
    connect(doc, &MyDocument::useMailServerToSendChanged, this, counts);
    connect(doc, &MyDocument::selectedIndexConnectionChanged, this, counts);
    connect(doc, &MyDocument::addRefusedToExceptionsChanged, this, counts);
}

void DocumentSession::editCounted()
{
    // Started over at every edit: the save comes once the edits pause.
    if (m_autosaveTimer && m_access == Access::Editing && !m_path.isEmpty())
        m_autosaveTimer->start(m_autosaveDelay);
}

void DocumentSession::autosave()
{
    if (isEdited())
        save();
}

// --- What works on the document ----------------------------------------------------

void DocumentSession::dropHelpers()
{
    // The run first: its destructor stops its worker, which may still read
    // the document.
    m_sendRun.reset();
    m_transports.reset();
    m_preview.reset();
    m_export.reset();
    m_import.reset();
    m_archivedAddresses.reset();
}

void DocumentSession::setDialogServices(const DialogServices &services)
{
    m_preview.reset();
    m_export.reset();
    m_import.reset();
    m_dialogs = std::make_unique<DialogServices>(services);
}

DocumentImport &DocumentSession::documentImport()
{
    Q_ASSERT_X(m_dialogs, "DocumentSession::documentImport", "setDialogServices() first");
    if (!m_import)
        m_import = std::make_unique<DocumentImport>(
            *m_doc, LXDataImportManager::Services{m_dialogs->filePanel, m_dialogs->alerts, m_dialogs->mainLoop},
            m_dialogs->window);
    return *m_import;
}

DocumentExport &DocumentSession::documentExport()
{
    Q_ASSERT_X(m_dialogs, "DocumentSession::documentExport", "setDialogServices() first");
    if (!m_export)
        m_export = std::make_unique<DocumentExport>(
            *m_doc, LXDataExportManager::Services{m_dialogs->filePanel, m_dialogs->alerts, &m_dialogs->mainLoop}, m_dialogs->window);
    m_export->setArchivedAddresses(m_archivedAddresses);
    return *m_export;
}

Preview &DocumentSession::preview()
{
    if (!m_preview)
        m_preview = std::make_unique<Preview>(*m_doc, m_dialogs ? m_dialogs->revealer : nullptr,
                                              m_dialogs ? m_dialogs->opener : nullptr);
    return *m_preview;
}

SendRun &DocumentSession::startSendRun(std::unique_ptr<SendingServicesFactory> transports)
{
    // The services of a run are fixed when it is made; a new choice needs a
    // new run (the old one is cancelled and waited for).
    m_sendRun.reset();
    m_transports = std::move(transports);
    SendingServices services = m_transports->services();
    services.mailingPath = m_path;
    m_sendRun = std::make_unique<SendRun>(*m_doc, services, m_transports->sleeper(), m_transports->pacingClock());
    m_sendRun->setJournalObserver(m_runResults->observer());
    return *m_sendRun;
}

Status DocumentSession::showLastRunResults(const QString &journalFolder)
{
    const std::optional<QString> last = m_path.isEmpty() ? std::nullopt : lastRunJournal(journalFolder);
    if (!last) {
        m_runResults->clear();
        return success();
    }
    return m_runResults->load(*last);
}

qsizetype DocumentSession::checkFailedRecords()
{
    const QStringList failed = m_runResults->failedRecordIds();
    const QSet<QString> numbers(failed.begin(), failed.end());
    RecordListCommands(*m_doc, m_doc->addresses()).checkExactly(numbers, u"Check Failed"_s);
    return RecordListCommands(*m_doc, m_doc->addresses()).checkedCount();
}

Status DocumentSession::exportRunResults(const QString &csvPath) const
{
    if (m_runResults->journalPath().isEmpty())
        return Status::failure(u"There are no results of a send run to export."_s);
    const Result<RunResults> results = RunResults::read(m_runResults->journalPath());
    if (!results)
        return Status::failure(results.error());
    if (const Status written = results->writeCsv(csvPath); !written)
        return Status::failure(u"The results could not be written to %1: %2"_s.arg(csvPath, written.error()));
    return success();
}

std::optional<QString> DocumentSession::lastRunJournal(const QString &journalFolder) const
{
    return RunJournalFolder(journalFolder.isEmpty() ? RunJournalFolder::standardFolder() : journalFolder)
        .latestRunOf(m_path);
}

std::optional<QString> DocumentSession::unfinishedRunJournal(const QString &journalFolder) const
{
    const std::optional<QString> last = lastRunJournal(journalFolder);
    if (!last)
        return std::nullopt;
    const Result<RunJournalContents> run = RunJournalContents::read(*last);
    if (!run || run->finished())
        return std::nullopt;
    return last;
}

// --- The tabs ----------------------------------------------------------------------

bool DocumentSession::selectTab(int tab)
{
    MyDocument &doc = *m_doc;
    if (doc.preparingSending() && tab != doc.selectedTab())
        return false;
    doc.setSelectedTab(tab);
    switch (tab) {
    case MyDocument::MailTab: {
        // The fixed items of both menus are the window's; what follows them,
        // one tag per user key, is the same in both.
        const QStringList tags = KeyCommands(doc).adjustDBKey({});
        if (tags != m_dbKeyTags) {
            m_dbKeyTags = tags;
            Q_EMIT tagMenuChanged(m_dbKeyTags);
        }
        break;
    }
    case MyDocument::PreviewTab: {
        Preview &shown = preview();
        shown.updateThePreviewArray();
        // After the switch completes, so the preview tab is the one refreshed.
        QPointer<DocumentSession> self(this);
        MyDocument *current = m_doc.get();
        doc.mainLoop().post([self, current] {
            if (self && self->m_doc.get() == current && self->m_preview)
                self->m_preview->previewTableChanged();
        });
        break;
    }
    case MyDocument::SendTab:
        SendListCommands(doc).updateTheSendArray();
        break;
    default:
        break;
    }
    return true;
}

} // namespace quillcast
