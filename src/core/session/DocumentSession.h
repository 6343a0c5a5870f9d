#pragma once

#include "document/ArchivedAddressList.h"
#include "document/MailingLock.h"
#include "document/MyDocument.h"
#include "util/Result.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace quillcast {

class AlertPresenter;
class Clock;
class DocumentExport;
class DocumentImport;
class DocumentOpener;
class FilePanel;
class FileRevealer;
class MainLoop;
class Preview;
class RunResultsModel;
class SendRun;
class Timer;
class TimerFactory;
class UrlOpener;
class SendingServicesFactory;

// One mailing from its opening to its closing, as a window holds it: the
// document, the file it lives in and the name it shows, open / save / save
// as / revert, the lock that keeps other processes from changing the file
// meanwhile, autosave, and the import, export, preview and send objects that
// work on the document.
//
// A mailing opened for editing is locked until the session closes (or saves
// as another file, which moves the lock there). With a timer factory the
// session autosaves in place: a moment after the last edit and on close. A
// failed save leaves the session edited, keeps the reason for the window to
// show and emits saveFailed().
//
// Main thread only.
class DocumentSession : public QObject
{
    Q_OBJECT

public:
    struct Services
    {
        const Clock &clock;
        // Where the document's alerts go (the newer-release alert of an open,
        // and the commands' sheets).
        AlertPresenter &alerts;
        UrlOpener &urlOpener;
        // None: no autosave; the caller saves when it means to.
        TimerFactory *timers = nullptr;
        // How long an open for editing waits for another process to let go.
        std::chrono::milliseconds lockWait = MailingLock::kDefaultWait;
    };

    // What the import, export and preview dialogs need of the window.
    struct DialogServices
    {
        FilePanel &filePanel;
        AlertPresenter &alerts;
        MainLoop &mainLoop;
        FileRevealer *revealer = nullptr;
        DocumentOpener *opener = nullptr;
        // Where the sheets attach (none: free-standing).
        QObject *window = nullptr;
    };

    // Editing locks the file and may save it; Reading only looks.
    enum class Access { Editing, Reading };

    static constexpr std::chrono::milliseconds kDefaultAutosaveDelay{3000};

    // A session with a new untitled document, set up.
    explicit DocumentSession(Services services, QObject *parent = nullptr);
    // Closes the session (an autosave on close whose failure nobody hears).
    ~DocumentSession() override;
    DocumentSession(const DocumentSession &) = delete;
    DocumentSession &operator=(const DocumentSession &) = delete;

    // Replaces the document with a new untitled one. fill, when given, fills
    // the new document before it is set up; its failure leaves the session
    // as it was.
    Status newDocument(const std::function<Status(MyDocument &)> &fill = {});
    // A new mailing file at path, set up and saved, and kept open for
    // editing. An existing file is never replaced.
    Status create(const QString &path);
    // Reads the mailing at path and sets it up; for editing, locks it first.
    // A damaged file, one of a newer release (after its alert) or one that
    // another process is changing is refused and leaves the session as it
    // was.
    Status open(const QString &path, Access access = Access::Editing);
    // Reads the mailing at path to export it, only looking: as open() does,
    // except that a large mailing's records are left in its file and read
    // from there as the export of the address list writes them
    // (ArchivedAddressList), so that they are never all built at once;
    // a file smaller than archivedFrom is read as open() reads it.
    Status openToExport(const QString &path, qsizetype archivedFrom = ArchivedAddressList::defaultFrom);
    // The same for the bytes of the file at path, read already: only looking.
    // pagesRead: see KeyedUnarchiver::unarchive (for bytes of a mapped file).
    Status openData(const QString &path, const QByteArray &bytes, const std::function<void()> &pagesRead = {});
    // Writes the mailing to its file; an untitled or only-looked-at mailing
    // has none to write to.
    Status save();
    // Writes the mailing to path and continues there (the lock moves with it).
    Status saveAs(const QString &path);
    // Throws the edits away and reads the file again. Refused while a send run
    // is active, as the run works on the document it would replace.
    Status revert();
    // Saves an edited mailing when autosaving, and lets go of its file and
    // its lock; the document stays, untitled. A failed save is refused and
    // keeps the file and the lock, so that the window can offer another place.
    Status close();

    MyDocument &document() { return *m_doc; }
    const MyDocument &document() const { return *m_doc; }
    // Empty for an untitled mailing.
    const QString &filePath() const { return m_path; }
    // The file's name without its extension, or the untitled name.
    QString displayName() const;
    // What an untitled mailing is called ("Untitled", "Untitled 2"...: the
    // windows tell their untitled mailings apart).
    void setUntitledName(const QString &name) { m_untitledName = name; }
    Access access() const { return m_access; }
    bool isLocked() const { return m_lock && m_lock->isHeld(); }
    bool isEdited() const;
    // Why the last save failed; empty after a save that worked.
    const QString &lastSaveError() const { return m_lastSaveError; }

    // How long autosave waits after the last edit.
    void setAutosaveDelay(std::chrono::milliseconds delay) { m_autosaveDelay = delay; }
    std::chrono::milliseconds autosaveDelay() const { return m_autosaveDelay; }

    // The dialogs' services, given once the window exists; import, export
    // and preview are made on first use and live as long as the document.
    void setDialogServices(const DialogServices &services);
    DocumentImport &documentImport();
    DocumentExport &documentExport();
    Preview &preview();

    // The send run of the document through the transports the factory built;
    // the session keeps them as long as the run. A run still going is
    // cancelled and waited for first.
    SendRun &startSendRun(std::unique_ptr<SendingServicesFactory> transports);
    // The journal of the mailing's last send run through a server, in the
    // folder of the journals (the user's state folder unless given); and
    // the same only when that run did not finish (crashed, cancelled or
    // stopped): what can be resumed, and what the window offers to resume.
    std::optional<QString> lastRunJournal(const QString &journalFolder = QString()) const;
    std::optional<QString> unfinishedRunJournal(const QString &journalFolder = QString()) const;
    // The current run, or null.
    SendRun *sendRun() const { return m_sendRun.get(); }
    // The results of the mailing's last run per recipient: empty for a new
    // document until showLastRunResults(), then following every run started
    // here.
    RunResultsModel &runResults() { return *m_runResults; }
    // Loads the results of the last run's journal (lastRunJournal), or
    // empties them when there is none or it cannot be read (said).
    Status showLastRunResults(const QString &journalFolder = QString());
    // Checks exactly the database's records whose message failed or was
    // refused in the run shown, as one step to undo; returns how many
    // records are checked now.
    qsizetype checkFailedRecords();
    // The run shown as CSV (RunResults), read anew from its journal.
    Status exportRunResults(const QString &csvPath) const;

    // The user selects a tab of the window (MyDocument::Tab). Refused (false)
    // while a send run is active, as the run's list must not change under it.
    // Otherwise the tab's own lists are brought up to date: the mail tab
    // rebuilds the tag menus of the DB keys, the preview tab rebuilds the
    // send list and refreshes the preview, the send tab rebuilds the send
    // list.
    bool selectTab(int tab);
    // The merge tags of the user keys, as the tag menus last rebuilt them.
    const QStringList &dbKeyTags() const { return m_dbKeyTags; }

Q_SIGNALS:
    // The session holds another document (new, opened, reverted): whoever
    // shows the old one lets go of it.
    void documentReplaced(quillcast::MyDocument *document);
    void filePathChanged(const QString &path);
    void saved(const QString &path);
    void saveFailed(const QString &reason);
    // The tag menus were rebuilt (selecting the mail tab): the user keys' tags.
    void tagMenuChanged(const QStringList &tags);

private:
    Status adopt(std::unique_ptr<MyDocument> doc, const QString &path, Access access,
                 std::unique_ptr<MailingLock> lock);
    std::unique_ptr<MyDocument> makeDocument() const;
    Status readInto(MyDocument &doc, const QString &path, const QByteArray *bytes,
                    const std::function<void()> &pagesRead = {});
    Status writeTo(const QString &path);
    void watchEdits();
    void editCounted();
    void autosave();
    // The objects that work on the document, dropped before it goes.
    void dropHelpers();

    Services m_services;
    std::unique_ptr<DialogServices> m_dialogs;
    std::chrono::milliseconds m_autosaveDelay = kDefaultAutosaveDelay;
    std::unique_ptr<Timer> m_autosaveTimer;

    QString m_path;
    QString m_untitledName = QStringLiteral("Untitled");
    Access m_access = Access::Editing;
    QString m_lastSaveError;
    std::unique_ptr<MailingLock> m_lock;
    QStringList m_dbKeyTags;

    // The helpers keep references to the document: declared after it, so
    // that they go first.
    std::unique_ptr<MyDocument> m_doc;
    std::unique_ptr<DocumentImport> m_import;
    std::unique_ptr<DocumentExport> m_export;
    // The records of a mailing opened to be exported, still in its file.
    std::shared_ptr<const ArchivedAddressList> m_archivedAddresses;
    std::unique_ptr<Preview> m_preview;
    // The run's transports outlive the run, which is destroyed first.
    std::unique_ptr<SendingServicesFactory> m_transports;
    std::unique_ptr<SendRun> m_sendRun;
    std::unique_ptr<RunResultsModel> m_runResults;
};

} // namespace quillcast
