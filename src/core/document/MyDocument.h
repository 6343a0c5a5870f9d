#pragma once

#include "document/ArrangedView.h"
#include "document/RecordList.h"
#include "merge/MergeTagCache.h"
#include "merge/RecordMerge.h"
#include "platform/QtMainLoop.h"
#include "document/PendingDeliveries.h"
#include "util/UndoManager.h"
#include "util/Value.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>

namespace quillcast {

class Clock;
class SearchPredicate;
class AlertPresenter;
class SendListRebuilder;
class SendProgress;

// One mailing: the recipient database (its DB keys and address records), the
// exception list, the send list, the mail form, the pause between messages,
// the log, and the transient state the window and the send run show.
//
// Every property notifies its observers through its NOTIFY signal, so the
// window can bind to it.
//
// Threads: the document belongs to the main thread, but a send run on a
// worker reads records and the mail form (its progress is its own object,
// sendProgress()). Every property is therefore read and written whole
// from any thread (strings, lists and the optional connection index under an
// internal lock, numbers and flags as atomics). A property set on the worker
// emits its signal on the document's thread, at the loop's next turn, so
// observers always hear it there. The views, the key-name rule and the record
// operations stay on the main thread.
class MyDocument : public QObject
{
    Q_OBJECT

    // Saved in the document file.
    Q_PROPERTY(quillcast::List addressArray READ addressArray WRITE setAddressArray NOTIFY addressArrayChanged)
    Q_PROPERTY(quillcast::List keyArray READ keyArray WRITE setKeyArray NOTIFY keyArrayChanged)
    Q_PROPERTY(quillcast::List exceptArray READ exceptArray WRITE setExceptArray NOTIFY exceptArrayChanged)
    Q_PROPERTY(quillcast::List sendArray READ sendArray WRITE setSendArray NOTIFY sendArrayChanged)
    Q_PROPERTY(quillcast::List attachmentBookmarks READ attachmentBookmarks WRITE setAttachmentBookmarks NOTIFY attachmentBookmarksChanged)
    Q_PROPERTY(QString mailFormFrom READ mailFormFrom WRITE setMailFormFrom NOTIFY mailFormFromChanged)
    Q_PROPERTY(QString mailFormTo READ mailFormTo WRITE setMailFormTo NOTIFY mailFormToChanged)
    Q_PROPERTY(QString mailFormReplyTo READ mailFormReplyTo WRITE setMailFormReplyTo NOTIFY mailFormReplyToChanged)
    Q_PROPERTY(QString mailFormSubject READ mailFormSubject WRITE setMailFormSubject NOTIFY mailFormSubjectChanged)
    Q_PROPERTY(QString mailFormBody READ mailFormBody WRITE setMailFormBody NOTIFY mailFormBodyChanged)
    Q_PROPERTY(QString mailFormBodyHtml READ mailFormBodyHtml WRITE setMailFormBodyHtml NOTIFY mailFormBodyHtmlChanged)
    Q_PROPERTY(QString mailFormBodyHtmlAltText READ mailFormBodyHtmlAltText WRITE setMailFormBodyHtmlAltText NOTIFY mailFormBodyHtmlAltTextChanged)
    Q_PROPERTY(QString mailFormAttachment READ mailFormAttachment WRITE setMailFormAttachment NOTIFY mailFormAttachmentChanged)
    Q_PROPERTY(qint64 sendPrepTimeInterval READ sendPrepTimeInterval WRITE setSendPrepTimeInterval NOTIFY sendPrepTimeIntervalChanged)
    Q_PROPERTY(qint64 emailKind READ emailKind WRITE setEmailKind NOTIFY emailKindChanged)
    Q_PROPERTY(qint64 useMailServerToSend READ useMailServerToSend WRITE setUseMailServerToSend NOTIFY useMailServerToSendChanged)
    // 1: an address the server refuses for good as unknown goes to the
    // exception list (RecipientRefusal); 0, the default: it does not.
    Q_PROPERTY(qint64 addRefusedToExceptions READ addRefusedToExceptions WRITE setAddRefusedToExceptions NOTIFY addRefusedToExceptionsChanged)
    Q_PROPERTY(std::optional<qint64> selectedIndexConnection READ selectedIndexConnection WRITE setSelectedIndexConnection NOTIFY selectedIndexConnectionChanged)
    Q_PROPERTY(QString myLog READ myLog WRITE setMyLog NOTIFY myLogChanged)

    // Never saved.
    Q_PROPERTY(QString previewFormFrom READ previewFormFrom WRITE setPreviewFormFrom NOTIFY previewFormFromChanged)
    Q_PROPERTY(QString previewFormTo READ previewFormTo WRITE setPreviewFormTo NOTIFY previewFormToChanged)
    Q_PROPERTY(QString previewFormReplyTo READ previewFormReplyTo WRITE setPreviewFormReplyTo NOTIFY previewFormReplyToChanged)
    Q_PROPERTY(QString previewFormSubject READ previewFormSubject WRITE setPreviewFormSubject NOTIFY previewFormSubjectChanged)
    Q_PROPERTY(QString previewFormBody READ previewFormBody WRITE setPreviewFormBody NOTIFY previewFormBodyChanged)
    Q_PROPERTY(QString previewFormBodyHtml READ previewFormBodyHtml WRITE setPreviewFormBodyHtml NOTIFY previewFormBodyHtmlChanged)
    Q_PROPERTY(QString previewFormBodyHtmlAltText READ previewFormBodyHtmlAltText WRITE setPreviewFormBodyHtmlAltText NOTIFY previewFormBodyHtmlAltTextChanged)
    Q_PROPERTY(QString previewFormAttach READ previewFormAttach WRITE setPreviewFormAttach NOTIFY previewFormAttachChanged)
    Q_PROPERTY(bool isCheckedRecords READ isCheckedRecords WRITE setIsCheckedRecords NOTIFY isCheckedRecordsChanged)
    Q_PROPERTY(bool isCheckedRecords4Exception READ isCheckedRecords4Exception WRITE setIsCheckedRecords4Exception NOTIFY isCheckedRecords4ExceptionChanged)
    Q_PROPERTY(bool isCheckedRecords4Send READ isCheckedRecords4Send WRITE setIsCheckedRecords4Send NOTIFY isCheckedRecords4SendChanged)
    Q_PROPERTY(bool canRemoveKeyListElement READ canRemoveKeyListElement WRITE setCanRemoveKeyListElement NOTIFY canRemoveKeyListElementChanged)
    Q_PROPERTY(QString searchFieldStr READ searchFieldStr WRITE setSearchFieldStr NOTIFY searchFieldStrChanged)
    Q_PROPERTY(QString searchFieldExceptStr READ searchFieldExceptStr WRITE setSearchFieldExceptStr NOTIFY searchFieldExceptStrChanged)
    Q_PROPERTY(QString searchFieldPreviewStr READ searchFieldPreviewStr WRITE setSearchFieldPreviewStr NOTIFY searchFieldPreviewStrChanged)
    Q_PROPERTY(QString searchFieldSendStr READ searchFieldSendStr WRITE setSearchFieldSendStr NOTIFY searchFieldSendStrChanged)

    // What the window shows that the logic keeps: the log text and one header per column.
    Q_PROPERTY(QString logViewText READ logViewText WRITE setLogViewText NOTIFY logViewTextChanged)
    Q_PROPERTY(QStringList columnHeaders READ columnHeaders NOTIFY columnHeadersChanged)
    Q_PROPERTY(bool documentEdited READ isDocumentEdited NOTIFY documentEditedChanged)
    Q_PROPERTY(int selectedTab READ selectedTab WRITE setSelectedTab NOTIFY selectedTabChanged)

public:
    // The platform's change kinds: Done marks the document edited, Cleared marks it saved.
    enum class ChangeKind { Done, Cleared };
    Q_ENUM(ChangeKind)

    // The views a re-evaluation can concern (see viewRearranged).
    enum class View { AddressShown, AddressChecked, ExceptShown, ExceptChecked, SendShown, SendChecked, PreviewShown };
    Q_ENUM(View)

    // A new document with every default, empty lists and no keys yet; its
    // merge tags and new records read the time from clock.
    explicit MyDocument(const Clock &clock, QObject *parent = nullptr);
    ~MyDocument() override;

    const Clock &clock() const { return m_clock; }

    // --- Set-up and DB keys ---------------------------------------------------

    // Sets up the model of a freshly opened or new document: fixed keys, the
    // any-checked flag, the column headers, the log text, a pause of at least
    // one second. Changes after it follow the edited rule.
    void setUpOpenedDocument();
    // Adds the fixed keys "1"/"#", "2"/"sel", "3"/"email" when keyArray is empty.
    void InitialSetupKeyArrayController();
    // The first of "2", "3", "4", ... that is the innerKey of no key.
    QString getUniqueNewInnerColName() const;
    // A user key whose inner key repeats an earlier one's gets a new inner
    // key (and so starts without values); the fixed keys are left alone.
    void makeInnerKeyUnique();
    // One header per key, from the keys' public names.
    void buildColumnHeaders();
    QStringList columnHeaders() const;

    // The key-name rule, for an edit of the public name of the key at index in
    // the key list: a name that is blank once leading white space is stripped
    // is refused and the key keeps its column's header (its previous name);
    // any other name is taken as typed, becomes the column's header and marks
    // the document edited. The fixed keys cannot be renamed. Returns whether
    // the new name was taken.
    bool setPublicKey(qsizetype index, const QString &newName);

    // --- Records and the edited rule -------------------------------------------

    // Stores value under innerKey in a record of the database, the send list
    // or the exception list (the null Value removes the entry); each list
    // holding the record announces its row, and a change of a list's checked
    // flag recomputes that list's any-checked flag. Once the window is set
    // up, a change under "2", "3" or a user key's innerKey marks the document
    // edited; the number "1" alone does not. Any change of an exception
    // record is an edit.
    void setRecordValue(const Dict &record, const QString &innerKey, const Value &value);
    // Changes of the database's list of records, announced row by row; each
    // marks the document edited once the window is set up.
    void appendRecord(const Dict &record);
    void insertRecord(qsizetype index, const Dict &record);
    bool removeRecord(const Dict &record);
    // For code that edits addressArray() in place (an import, say): reports the
    // change so that it counts as an edit and observers hear of it (the rows
    // as rearranged).
    void addressArrayDidChange();

    // --- Change count ------------------------------------------------------------

    void updateChangeCount(ChangeKind kind);
    bool isDocumentEdited() const { return m_edited.load(); }
    // Whether setUpOpenedDocument() has run (the log view exists).
    bool isWindowSetUp() const { return m_watchingChanges.load(); }
    // The format number of the file the document was read from; 0 for one
    // never read from a file.
    quint64 formatRead() const { return m_formatRead; }
    void setFormatRead(quint64 format) { m_formatRead = format; }
    // After the user chose the message kind: an HTML message (kind 1 or more)
    // is sent through the SMTP server.
    void changedMailType();
    // The user chooses the message kind, respectively the transport. The two
    // are tied, so that an HTML message never goes to the mail client, which
    // takes plain text only: an HTML kind chooses the SMTP server, the mail
    // client chooses plain text. Both are edits.
    void chooseEmailKind(qint64 kind);
    void chooseTransport(qint64 useMailServer);
    // After the user edited the pause.
    void changedTimeInterval();
    // Keeps the pause at one second or more; during a send run also
    // recomputes the remaining-time line for the records still to come.
    void recalculateTimeEstimation();

    // --- The log -----------------------------------------------------------------

    // Appends text at the end of the log, from any thread: the append always
    // runs later on the document's thread, in the order the calls arrived,
    // and marks the document edited. The caller supplies the time stamp and
    // the line feed.
    void appendToLogView(const QString &text);
    // Empties the log, undoably ("Clear Log").
    void clearLog();
    // The undo of clearLog(): puts text back as the whole log.
    void clearLogUndo(const QString &text);

    // --- The send run ------------------------------------------------------------

    // The progress and the cancel of this document's send run (one at a time).
    SendProgress &sendProgress() { return *m_sendProgress; }
    const SendProgress &sendProgress() const { return *m_sendProgress; }
    // Whether a send run is active: the document then refuses to leave the
    // send tab and to rebuild the send list, as the run's list must not
    // change under it.
    bool preparingSending() const;

    // --- Messages handed to the SMTP server --------------------------------------

    // Sends whose answer has not arrived yet; callable from any thread.
    int deliveriesInFlight() const { return m_pendingDeliveries.count(); }
    // A send to host was handed to the server; callable from any thread.
    PendingDeliveries::Ticket noteDeliveryStarted(const QString &host) { return m_pendingDeliveries.start(host); }
    // On the document's thread, once per started delivery, when its answer
    // arrived: appends its log line and emits deliveryFinished, unless the
    // delivery was given up on (its line is written already).
    void noteDeliveryFinished(PendingDeliveries::Ticket ticket, bool succeeded, const QString &logLine);
    // Gives up on the deliveries still without an answer after a wait of
    // seconds: appends "no answer from HOST within N s: delivery unknown" for
    // each; their answers, should they come, are not logged. Returns how many.
    int giveUpOnDeliveries(qint64 seconds);
    // A guarded pointer to this document, for work that may outlive it;
    // copyable from any thread while the document exists.
    QPointer<MyDocument> selfPointer() const { return m_self; }

    // --- The three record lists -------------------------------------------------

    // The database ("2", "3", "1"; its search reads the address and the user
    // columns; the flag covers every record), the exception list ("sel",
    // "email", "num"; its search reads the address and the note; the flag
    // covers the shown records) and the send list (the database's keys; its
    // search reads the address; the flag covers every record).
    RecordList &addresses() { return m_addresses; }
    const RecordList &addresses() const { return m_addresses; }
    RecordList &exceptions() { return m_exceptions; }
    const RecordList &exceptions() const { return m_exceptions; }
    RecordList &sendList() { return m_sendList; }
    const RecordList &sendList() const { return m_sendList; }

    // Sets list's any-checked flag (isCheckedRecords, isCheckedRecords4Exception
    // or isCheckedRecords4Send) to what its records say now.
    void updateAnyChecked(RecordList &list);
    // Sets list's any-checked flag to value; a change is announced through
    // the flag's property signal, on the document's thread.
    void setAnyChecked(RecordList &list, bool value);

    // --- Views -------------------------------------------------------------------

    // Full views are the lists themselves: addressArray(), exceptArray(),
    // sendArray(), and previewArray(), which is the send list.
    List previewArray() const { return sendArray(); }

    const ArrangedView &addressArrayShown() const { return m_addresses.shown(); }
    const ArrangedView &exceptArrayShown() const { return m_exceptions.shown(); }
    const ArrangedView &sendArrayShown() const { return m_sendList.shown(); }
    // What the preview tab's own search lets through of the send list.
    SearchPredicate previewSearch() const;
    // The send list as the preview tab's own search shows it.
    const ArrangedView &previewArrayShown() const { return m_previewShown; }

    // Re-evaluate the shown view of the database, the exception list, the
    // preview list, the send list with its current search text.
    void filterAddresses() { m_addresses.filterShown(); }
    void filterExcepts() { m_exceptions.filterShown(); }
    void filterPreview();
    void filterSend() { m_sendList.filterShown(); }
    // isCheckedRecords: whether any record of the database is checked;
    // re-evaluates the database's checked view on the way.
    void updateIsCheckedRecords();

    // --- Merge tags --------------------------------------------------------------

    QString tagFromKey(const QString &name) const;
    // The time pass, read from the document's clock; null for null.
    QString performTextSubstitutionNoDB(const QString &text) const;
    // The record pass with the document's keys; null for null.
    QString performTextSubstitution(const QString &text, const Dict &record) const;
    // The record pass with the record at position of sendArray; the text
    // unchanged when there is no record there.
    QString performTextSubstitution(const QString &text, qsizetype position) const;
    // Both passes in one scan, for every text of one message: what preparation
    // and the preview merge with (the record and the clock are read once).
    RecordMerge recordMerge(const Dict &record) const;

    // --- What the commands work with ---------------------------------------------

    // The window's tabs, in order; the commands of the database and the
    // exception list consult the selected one.
    enum Tab : int { DatabaseTab = 0, ExceptionTab = 1, MailTab = 2, PreviewTab = 3, SendTab = 4 };

    UndoManager &undoManager() { return *m_undoManager; }
    const UndoManager &undoManager() const { return *m_undoManager; }

    // Where the commands show their alerts (sheets on the document window, or
    // the CLI's answers). Without one, a command that must ask does nothing.
    void setAlertPresenter(AlertPresenter *presenter) { m_alertPresenter = presenter; }
    AlertPresenter *alertPresenter() const { return m_alertPresenter; }

    int selectedTab() const { return m_selectedTab.load(); }
    void setSelectedTab(int tab);
    // The user selects a tab: refused (false) while a send run is active, as
    // the run's list must not change under it; selecting the send or the
    // preview tab rebuilds the send list.
    bool selectTab(int tab);

    // Where the commands defer work to the loop's next turn (the document's
    // own thread unless another loop was set, as tests do to step it).
    MainLoop &mainLoop() { return m_mainLoop ? *m_mainLoop : m_ownThread; }
    void setMainLoop(MainLoop *loop) { m_mainLoop = loop; }

    // Rebuilds the send list aside and puts it in place on this document's thread.
    SendListRebuilder &sendListRebuilder() { return *m_sendListRebuilder; }

    // Whether a change of the address records' values under innerKey counts
    // as an edit: "2", "3" and the inner keys of the user keys.
    bool isWatchedInnerKey(const QString &innerKey) const;
    // For commands that changed many address records at once (checks,
    // numbering): one notification instead of one per record, and an edit
    // under the edited rule.
    void recordValuesDidChange(const QString &innerKey);
    // The same for exception records; such a change is always an edit.
    void exceptValuesDidChange();
    // Changes of the lists made in place by the commands, reported once.
    void exceptArrayDidChange();
    void keyArrayDidChange();
    void attachmentBookmarksDidChange();
    // Asks the window to scroll a table to its last row, or the database
    // table to its last column.
    void requestScrollToEnd(View view) { Q_EMIT scrollToEndRequested(view); }
    void requestScrollToLastColumn() { Q_EMIT scrollToLastColumnRequested(); }

    // --- Properties --------------------------------------------------------------

    List addressArray() const;
    void setAddressArray(const List &value);
    List keyArray() const;
    void setKeyArray(const List &value);
    List exceptArray() const;
    void setExceptArray(const List &value);
    List sendArray() const;
    void setSendArray(const List &value);
    List attachmentBookmarks() const;
    void setAttachmentBookmarks(const List &value);

    QString mailFormFrom() const;
    void setMailFormFrom(const QString &value);
    QString mailFormTo() const;
    void setMailFormTo(const QString &value);
    QString mailFormReplyTo() const;
    void setMailFormReplyTo(const QString &value);
    QString mailFormSubject() const;
    void setMailFormSubject(const QString &value);
    QString mailFormBody() const;
    void setMailFormBody(const QString &value);
    QString mailFormBodyHtml() const;
    void setMailFormBodyHtml(const QString &value);
    QString mailFormBodyHtmlAltText() const;
    void setMailFormBodyHtmlAltText(const QString &value);
    QString mailFormAttachment() const;
    void setMailFormAttachment(const QString &value);

    qint64 sendPrepTimeInterval() const { return m_sendPrepTimeInterval.load(); }
    void setSendPrepTimeInterval(qint64 value);
    qint64 emailKind() const { return m_emailKind.load(); }
    void setEmailKind(qint64 value);
    qint64 useMailServerToSend() const { return m_useMailServerToSend.load(); }
    void setUseMailServerToSend(qint64 value);
    qint64 addRefusedToExceptions() const { return m_addRefusedToExceptions.load(); }
    void setAddRefusedToExceptions(qint64 value);
    std::optional<qint64> selectedIndexConnection() const;
    void setSelectedIndexConnection(std::optional<qint64> value);
    QString myLog() const;
    void setMyLog(const QString &value);

    QString previewFormFrom() const;
    void setPreviewFormFrom(const QString &value);
    QString previewFormTo() const;
    void setPreviewFormTo(const QString &value);
    QString previewFormReplyTo() const;
    void setPreviewFormReplyTo(const QString &value);
    QString previewFormSubject() const;
    void setPreviewFormSubject(const QString &value);
    QString previewFormBody() const;
    void setPreviewFormBody(const QString &value);
    QString previewFormBodyHtml() const;
    void setPreviewFormBodyHtml(const QString &value);
    QString previewFormBodyHtmlAltText() const;
    void setPreviewFormBodyHtmlAltText(const QString &value);
    QString previewFormAttach() const;
    void setPreviewFormAttach(const QString &value);

    bool isCheckedRecords() const { return m_addresses.anyChecked(); }
    void setIsCheckedRecords(bool value) { setAnyChecked(m_addresses, value); }
    bool isCheckedRecords4Exception() const { return m_exceptions.anyChecked(); }
    void setIsCheckedRecords4Exception(bool value) { setAnyChecked(m_exceptions, value); }
    bool isCheckedRecords4Send() const { return m_sendList.anyChecked(); }
    void setIsCheckedRecords4Send(bool value) { setAnyChecked(m_sendList, value); }
    bool canRemoveKeyListElement() const { return m_canRemoveKeyListElement.load(); }
    void setCanRemoveKeyListElement(bool value);

    QString searchFieldStr() const;
    void setSearchFieldStr(const QString &value);
    QString searchFieldExceptStr() const;
    void setSearchFieldExceptStr(const QString &value);
    QString searchFieldPreviewStr() const;
    void setSearchFieldPreviewStr(const QString &value);
    QString searchFieldSendStr() const;
    void setSearchFieldSendStr(const QString &value);

    QString logViewText() const;
    void setLogViewText(const QString &value);

Q_SIGNALS:
    void addressArrayChanged(const quillcast::List &value);
    void keyArrayChanged(const quillcast::List &value);
    void exceptArrayChanged(const quillcast::List &value);
    void sendArrayChanged(const quillcast::List &value);
    void attachmentBookmarksChanged(const quillcast::List &value);
    void mailFormFromChanged(const QString &value);
    void mailFormToChanged(const QString &value);
    void mailFormReplyToChanged(const QString &value);
    void mailFormSubjectChanged(const QString &value);
    void mailFormBodyChanged(const QString &value);
    void mailFormBodyHtmlChanged(const QString &value);
    void mailFormBodyHtmlAltTextChanged(const QString &value);
    void mailFormAttachmentChanged(const QString &value);
    void sendPrepTimeIntervalChanged(qint64 value);
    void emailKindChanged(qint64 value);
    void useMailServerToSendChanged(qint64 value);
    void addRefusedToExceptionsChanged(qint64 value);
    void selectedIndexConnectionChanged(std::optional<qint64> value);
    void myLogChanged(const QString &value);

    void previewFormFromChanged(const QString &value);
    void previewFormToChanged(const QString &value);
    void previewFormReplyToChanged(const QString &value);
    void previewFormSubjectChanged(const QString &value);
    void previewFormBodyChanged(const QString &value);
    void previewFormBodyHtmlChanged(const QString &value);
    void previewFormBodyHtmlAltTextChanged(const QString &value);
    void previewFormAttachChanged(const QString &value);
    void isCheckedRecordsChanged(bool value);
    void isCheckedRecords4ExceptionChanged(bool value);
    void isCheckedRecords4SendChanged(bool value);
    void canRemoveKeyListElementChanged(bool value);
    void searchFieldStrChanged(const QString &value);
    void searchFieldExceptStrChanged(const QString &value);
    void searchFieldPreviewStrChanged(const QString &value);
    void searchFieldSendStrChanged(const QString &value);

    void logViewTextChanged(const QString &value);
    // Text was appended at the end of the log (logViewTextChanged is not
    // emitted for appends, so a long log is not copied once per line).
    void logAppended(const QString &text);
    // The SMTP server answered a send.
    void deliveryFinished(bool succeeded);
    void columnHeadersChanged(const QStringList &headers);
    void documentEditedChanged(bool edited);
    // An edit was counted (every one, also while the document is edited
    // already): what autosave waits to go quiet.
    void editCounted();

    // The public name of the key at index changed (the key list rows).
    void keyNameChanged(qsizetype index, const QString &name);
    // A view was re-evaluated; its records may differ now.
    void viewRearranged(quillcast::MyDocument::View view);

    void selectedTabChanged(int tab);
    // Many address records changed their value under innerKey at once.
    void recordValuesChanged(const QString &innerKey);
    // Many exception records changed at once.
    void exceptValuesChanged();
    void scrollToEndRequested(quillcast::MyDocument::View view);
    void scrollToLastColumnRequested();

private:
    SearchPredicate addressSearch(const QString &text) const;
    // Re-announces a list's whole re-evaluations as the document's views.
    void announceViews(const RecordList &list, View shown, View checked);
    // A change that the edited rule counts, once the window is set up.
    void noteWatchedChange();

    template<typename T>
    T readGuarded(const T &field) const;
    void assignString(QString &field, const QString &value, void (MyDocument::*notify)(const QString &));
    bool assignList(List &field, const List &value, void (MyDocument::*notify)(const List &));
    template<typename T>
    void assignAtomic(std::atomic<T> &field, T value, void (MyDocument::*notify)(T));
    // Emits a change signal on the document's thread: at once when called
    // there, else (a send run's worker setting the progress) posted to it.
    template<typename Arg, typename V>
    void notifyChange(void (MyDocument::*signal)(Arg), const V &value);

    const Clock &m_clock;
    MergeTagCache m_mergeTags;

    // Guards every string, list and optional member below; numbers and flags are atomics.
    mutable std::mutex m_lock;

    List m_keyArray;
    List m_attachmentBookmarks;
    QString m_mailFormFrom;
    QString m_mailFormTo;
    QString m_mailFormReplyTo;
    QString m_mailFormSubject;
    QString m_mailFormBody;
    QString m_mailFormBodyHtml;
    QString m_mailFormBodyHtmlAltText;
    QString m_mailFormAttachment;
    std::atomic<qint64> m_sendPrepTimeInterval{5};
    std::atomic<qint64> m_emailKind{0};
    std::atomic<qint64> m_useMailServerToSend{0};
    std::atomic<qint64> m_addRefusedToExceptions{0};
    std::optional<qint64> m_selectedIndexConnection;
    QString m_myLog;

    QString m_previewFormFrom;
    QString m_previewFormTo;
    QString m_previewFormReplyTo;
    QString m_previewFormSubject;
    QString m_previewFormBody;
    QString m_previewFormBodyHtml;
    QString m_previewFormBodyHtmlAltText;
    QString m_previewFormAttach;
    PendingDeliveries m_pendingDeliveries;
    QPointer<MyDocument> m_self;
    std::atomic<bool> m_canRemoveKeyListElement{false};
    QString m_searchFieldPreviewStr;

    QString m_logViewText;
    QStringList m_columnHeaders;

    std::atomic<bool> m_edited{false};
    // Set once the window is set up: from then on the edited rule applies.
    std::atomic<bool> m_watchingChanges{false};
    quint64 m_formatRead = 0;

    // Each with its own lock; their views re-evaluated on the main thread and
    // readable from any thread.
    RecordList m_addresses;
    RecordList m_exceptions;
    RecordList m_sendList;
    ArrangedView m_previewShown;

    std::unique_ptr<UndoManager> m_undoManager;
    AlertPresenter *m_alertPresenter = nullptr;
    std::atomic<int> m_selectedTab{DatabaseTab};
    // Where the log appends and the change signals of other threads go.
    QtMainLoop m_ownThread;
    MainLoop *m_mainLoop = nullptr;
    // Announces on the document's thread, through m_ownThread.
    std::unique_ptr<SendProgress> m_sendProgress;
    // Its destructor stops the worker before the QObject goes, so no result
    // is ever posted to a document being destroyed.
    std::unique_ptr<SendListRebuilder> m_sendListRebuilder;
};

} // namespace quillcast
