#include "document/MyDocument.h"

#include "document/DocumentKeys.h"
#include "document/SearchPredicate.h"
#include "document/SendListRebuilder.h"
#include "merge/TagSubstitution.h"
#include "platform/Clock.h"
#include "document/LogTimeStamp.h"
#include "document/SendProgress.h"

#include <QSet>
#include <QThread>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

// A name the key list would show as empty. Line breaks count as white space
// too, so that no key ever ends up with a name nobody can see or type as a tag.
bool isBlankName(const QString &name)
{
    return std::all_of(name.cbegin(), name.cend(), [](QChar c) { return c.isSpace(); });
}

} // namespace

MyDocument::MyDocument(const Clock &clock, QObject *parent)
    : QObject(parent),
      m_clock(clock),
      m_mailFormFrom(u""_s),
      m_mailFormTo(u"_email_"_s),
      m_mailFormSubject(u""_s),
      m_mailFormBody(u""_s),
      m_mailFormBodyHtml(u""_s),
      m_mailFormBodyHtmlAltText(u""_s),
      m_mailFormAttachment(u""_s),
      m_myLog(u""_s),
      m_addresses({DocumentKeys::checkedInnerKey(), DocumentKeys::emailInnerKey(), DocumentKeys::numberInnerKey(),
                   RecordList::FlagScope::AllRecords},
                  [this](const QString &text) { return addressSearch(text); }),
      m_exceptions({DocumentKeys::exceptChecked(), DocumentKeys::exceptEmail(), DocumentKeys::exceptNumber(),
                    RecordList::FlagScope::ShownRecords},
                   [](const QString &text) {
                       return SearchPredicate::containsInEntries(
                           text, {DocumentKeys::exceptEmail(), DocumentKeys::exceptNote()});
                   }),
      m_sendList({DocumentKeys::checkedInnerKey(), DocumentKeys::emailInnerKey(), DocumentKeys::numberInnerKey(),
                  RecordList::FlagScope::AllRecords},
                 [](const QString &text) {
                     return SearchPredicate::containsInEntries(text, {DocumentKeys::emailInnerKey()});
                 }),
      m_undoManager(std::make_unique<UndoManager>()),
      m_ownThread(this),
      m_sendProgress(std::make_unique<SendProgress>(m_ownThread)),
      m_sendListRebuilder(std::make_unique<SendListRebuilder>(*this))
{
    m_self = this;
    announceViews(m_addresses, View::AddressShown, View::AddressChecked);
    announceViews(m_exceptions, View::ExceptShown, View::ExceptChecked);
    announceViews(m_sendList, View::SendShown, View::SendChecked);
}

void MyDocument::announceViews(const RecordList &list, View shown, View checked)
{
    connect(&list, &RecordList::rearranged, this, [this, shown, checked](RecordList::Part part) {
        if (part == RecordList::Part::Shown)
            Q_EMIT viewRearranged(shown);
        else if (part == RecordList::Part::Checked)
            Q_EMIT viewRearranged(checked);
    });
}

MyDocument::~MyDocument() = default;

// --- Set-up and DB keys --------------------------------------------------------

void MyDocument::setUpOpenedDocument()
{
    InitialSetupKeyArrayController();
    // From here on, key names, records and the database's list are watched.
    m_watchingChanges.store(true);
    updateIsCheckedRecords();
    // Duplicate inner keys among the user keys get repaired here, before the columns are built.
    makeInnerKeyUnique();
    buildColumnHeaders();
    // The user keys' columns are built here, from keyArray and the headers above.
    setLogViewText(myLog());
    if (sendPrepTimeInterval() < 1)
        setSendPrepTimeInterval(1);
}

void MyDocument::InitialSetupKeyArrayController()
{
    List keys = keyArray();
    if (!keys.isEmpty())
        return;
    keys.append({Value(DocumentKeys::makeDbKey(DocumentKeys::numberInnerKey(), DocumentKeys::numberPublicKey())),
                 Value(DocumentKeys::makeDbKey(DocumentKeys::checkedInnerKey(), DocumentKeys::checkedPublicKey())),
                 Value(DocumentKeys::makeDbKey(DocumentKeys::emailInnerKey(), DocumentKeys::emailPublicKey()))});
    Q_EMIT keyArrayChanged(keys);
}

QString MyDocument::getUniqueNewInnerColName() const
{
    QSet<QString> used;
    keyArray().read([&](const List::Items &keys) {
        for (const Value &key : keys) {
            if (key.isDict())
                used.insert(key.toDict().stringValue(DocumentKeys::innerKey()));
        }
    });
    // "1" is never handed out: it is the record number's column.
    for (int candidate = 2;; ++candidate) {
        QString name = QString::number(candidate);
        if (!used.contains(name))
            return name;
    }
}

void MyDocument::makeInnerKeyUnique()
{
    const List keys = keyArray();
    const qsizetype count = keys.size();
    if (count < 5)
        return;
    for (qsizetype i = DocumentKeys::fixedKeyCount; i < count - 1; ++i) {
        const QString inner = keys.at(i).toDict().stringValue(DocumentKeys::innerKey());
        for (qsizetype j = i + 1; j < count; ++j) {
            Dict later = keys.at(j).toDict();
            if (later.stringValue(DocumentKeys::innerKey()) == inner)
                later.set(DocumentKeys::innerKey(), getUniqueNewInnerColName());
        }
    }
}

void MyDocument::buildColumnHeaders()
{
    QStringList headers;
    keyArray().read([&](const List::Items &keys) {
        headers.reserve(qsizetype(keys.size()));
        for (const Value &key : keys)
            headers.append(key.toDict().stringValue(DocumentKeys::publicKey()));
    });
    {
        std::lock_guard lock(m_lock);
        m_columnHeaders = headers;
    }
    Q_EMIT columnHeadersChanged(headers);
}

QStringList MyDocument::columnHeaders() const
{
    return readGuarded(m_columnHeaders);
}

bool MyDocument::setPublicKey(qsizetype index, const QString &newName)
{
    if (index < DocumentKeys::fixedKeyCount)
        return false;
    const Value keyValue = keyArray().at(index);
    if (!keyValue.isDict())
        return false;
    Dict key = keyValue.toDict();

    if (isBlankName(newName)) {
        // The key keeps the name its column shows, which is its previous name.
        QString previous;
        {
            std::lock_guard lock(m_lock);
            if (index < m_columnHeaders.size())
                previous = m_columnHeaders.at(index);
        }
        if (previous.isNull())
            previous = key.stringValue(DocumentKeys::publicKey());
        key.set(DocumentKeys::publicKey(), previous);
        Q_EMIT keyNameChanged(index, previous);
        return false;
    }

    // Taken as typed: leading spaces are part of the name the user wants.
    key.set(DocumentKeys::publicKey(), newName);
    QStringList headers;
    bool hasColumn = false;
    {
        std::lock_guard lock(m_lock);
        if (index < m_columnHeaders.size()) {
            m_columnHeaders[index] = newName;
            headers = m_columnHeaders;
            hasColumn = true;
        }
    }
    Q_EMIT keyNameChanged(index, newName);
    if (hasColumn)
        Q_EMIT columnHeadersChanged(headers);
    noteWatchedChange();
    return true;
}

// --- Records and the edited rule -----------------------------------------------

void MyDocument::setRecordValue(const Dict &record, const QString &innerKey, const Value &value)
{
    if (record.value(innerKey) == value)
        return;
    Dict target = record;
    target.set(innerKey, value);

    // The send list holds the database's own records: a record ticked on the
    // send tab is ticked in the database too, and both rows are announced.
    bool inExceptions = false;
    for (RecordList *list : {&m_addresses, &m_sendList, &m_exceptions}) {
        if (!list->noteValueChanged(record, innerKey))
            continue;
        if (list == &m_exceptions)
            inExceptions = true;
        if (innerKey == list->keys().checked)
            setAnyChecked(*list, list->computeAnyCheckedAfterEdit(record));
    }

    if (inExceptions) {
        // Saved with the document like everything else.
        updateChangeCount(ChangeKind::Done);
        return;
    }
    // Renumbering ("1") happens in bulk and is not a change the user makes.
    if (isWatchedInnerKey(innerKey))
        noteWatchedChange();
}

void MyDocument::appendRecord(const Dict &record)
{
    m_addresses.append(record);
    noteWatchedChange();
}

void MyDocument::insertRecord(qsizetype index, const Dict &record)
{
    m_addresses.insert(index, record);
    noteWatchedChange();
}

bool MyDocument::removeRecord(const Dict &record)
{
    if (!m_addresses.remove(record))
        return false;
    noteWatchedChange();
    return true;
}

void MyDocument::addressArrayDidChange()
{
    m_addresses.rowsChangedInBulk();
    Q_EMIT addressArrayChanged(addressArray());
    noteWatchedChange();
}

void MyDocument::updateAnyChecked(RecordList &list)
{
    setAnyChecked(list, list.computeAnyChecked());
}

void MyDocument::setAnyChecked(RecordList &list, bool value)
{
    if (list.exchangeAnyChecked(value) == value)
        return;
    if (&list == &m_addresses)
        notifyChange(&MyDocument::isCheckedRecordsChanged, value);
    else if (&list == &m_exceptions)
        notifyChange(&MyDocument::isCheckedRecords4ExceptionChanged, value);
    else
        notifyChange(&MyDocument::isCheckedRecords4SendChanged, value);
}

bool MyDocument::isWatchedInnerKey(const QString &innerKey) const
{
    if (innerKey == DocumentKeys::checkedInnerKey() || innerKey == DocumentKeys::emailInnerKey())
        return true;
    bool watched = false;
    keyArray().read([&](const List::Items &keys) {
        for (size_t i = size_t(DocumentKeys::fixedKeyCount); i < keys.size() && !watched; ++i)
            watched = keys[i].toDict().stringValue(DocumentKeys::innerKey()) == innerKey;
    });
    return watched;
}

void MyDocument::recordValuesDidChange(const QString &innerKey)
{
    m_addresses.valuesChangedInBulk();
    Q_EMIT recordValuesChanged(innerKey);
    if (isWatchedInnerKey(innerKey))
        noteWatchedChange();
}

void MyDocument::exceptValuesDidChange()
{
    m_exceptions.valuesChangedInBulk();
    Q_EMIT exceptValuesChanged();
    // The checks and notes of the exception list are saved with the document
    // like everything else: closing without asking would lose them.
    updateChangeCount(ChangeKind::Done);
}

void MyDocument::exceptArrayDidChange()
{
    m_exceptions.rowsChangedInBulk();
    Q_EMIT exceptArrayChanged(exceptArray());
}

void MyDocument::keyArrayDidChange()
{
    Q_EMIT keyArrayChanged(keyArray());
}

void MyDocument::attachmentBookmarksDidChange()
{
    Q_EMIT attachmentBookmarksChanged(attachmentBookmarks());
}

void MyDocument::setSelectedTab(int tab)
{
    if (m_selectedTab.exchange(tab) != tab)
        Q_EMIT selectedTabChanged(tab);
}

bool MyDocument::selectTab(int tab)
{
    if (preparingSending() && tab != selectedTab())
        return false;
    setSelectedTab(tab);
    if (tab == SendTab || tab == PreviewTab)
        m_sendListRebuilder->request();
    return true;
}

void MyDocument::noteWatchedChange()
{
    if (m_watchingChanges.load())
        updateChangeCount(ChangeKind::Done);
}

// --- Change count ----------------------------------------------------------------

void MyDocument::updateChangeCount(ChangeKind kind)
{
    const bool edited = kind == ChangeKind::Done;
    if (m_edited.exchange(edited) != edited)
        Q_EMIT documentEditedChanged(edited);
    if (edited)
        Q_EMIT editCounted();
}

void MyDocument::changedMailType()
{
    if (emailKind() >= 1)
        setUseMailServerToSend(1);
    // The kind is saved with the document: choosing another one is an edit
    // like any other, or closing the window would silently drop it.
    updateChangeCount(ChangeKind::Done);
}

void MyDocument::chooseEmailKind(qint64 kind)
{
    setEmailKind(kind);
    changedMailType();
}

void MyDocument::chooseTransport(qint64 useMailServer)
{
    setUseMailServerToSend(useMailServer);
    if (useMailServer == 0)
        setEmailKind(0);
    updateChangeCount(ChangeKind::Done);
}

void MyDocument::changedTimeInterval()
{
    updateChangeCount(ChangeKind::Done);
    recalculateTimeEstimation();
}

void MyDocument::recalculateTimeEstimation()
{
    if (sendPrepTimeInterval() < 1)
        setSendPrepTimeInterval(1);
    m_sendProgress->recalculateEstimation(sendPrepTimeInterval());
}

bool MyDocument::preparingSending() const
{
    return m_sendProgress->isRunning();
}

// --- The log ---------------------------------------------------------------------

void MyDocument::appendToLogView(const QString &text)
{
    // Always deferred, also on the document's own thread, so lines keep the
    // order in which they were handed in whoever hands them in.
    m_ownThread.post([this, text] {
        {
            const std::lock_guard guard(m_lock);
            m_logViewText.append(text);
        }
        Q_EMIT logAppended(text);
        updateChangeCount(ChangeKind::Done);
    });
}

void MyDocument::noteDeliveryFinished(PendingDeliveries::Ticket ticket, bool succeeded, const QString &logLine)
{
    if (!m_pendingDeliveries.settle(ticket))
        return;
    appendToLogView(logLine);
    Q_EMIT deliveryFinished(succeeded);
}

int MyDocument::giveUpOnDeliveries(qint64 seconds)
{
    const QStringList lines = m_pendingDeliveries.giveUp(LogTimeStamp::now(clock()), seconds);
    for (const QString &line : lines)
        appendToLogView(line);
    return int(lines.size());
}

void MyDocument::clearLog()
{
    const QString previous = logViewText();
    m_undoManager->registerUndo([this, previous] { clearLogUndo(previous); });
    m_undoManager->setActionName(u"Clear Log"_s);
    // The empty text, not no text: the saved file keeps its "log" key.
    setLogViewText(u""_s);
    updateChangeCount(ChangeKind::Done);
}

void MyDocument::clearLogUndo(const QString &text)
{
    m_undoManager->registerUndo([this] { clearLog(); });
    m_undoManager->setActionName(u"Clear Log"_s);
    setLogViewText(text);
    updateChangeCount(ChangeKind::Done);
}

// --- Searches and views ------------------------------------------------------------

SearchPredicate MyDocument::addressSearch(const QString &text) const
{
    if (text.isEmpty())
        return SearchPredicate::all();
    QStringList searched;
    qsizetype keyCount = 0;
    keyArray().read([&](const List::Items &keys) {
        keyCount = qsizetype(keys.size());
        // From the address column on: the number and the checked flag are never searched.
        for (size_t i = 2; i < keys.size(); ++i)
            searched.append(keys[i].toDict().stringValue(DocumentKeys::innerKey()));
    });
    if (keyCount < 3)
        return SearchPredicate::none();
    return SearchPredicate::containsInEntries(text, searched);
}

SearchPredicate MyDocument::previewSearch() const
{
    return SearchPredicate::containsInEntries(searchFieldPreviewStr(), {DocumentKeys::emailInnerKey()});
}

void MyDocument::filterPreview()
{
    const SearchPredicate search = previewSearch();
    ArrangedView::Predicate predicate;
    if (!search.matchesEverything())
        predicate = [search](const Dict &record) { return search.matches(record.snapshot()); };
    m_previewShown.rearrange(previewArray(), predicate);
    Q_EMIT viewRearranged(View::PreviewShown);
}

void MyDocument::updateIsCheckedRecords()
{
    m_addresses.rearrangeChecked();
    updateAnyChecked(m_addresses);
}

// --- Merge tags ------------------------------------------------------------------

QString MyDocument::tagFromKey(const QString &name) const
{
    return TagSubstitution::tagFromKey(name);
}

QString MyDocument::performTextSubstitutionNoDB(const QString &text) const
{
    return TagSubstitution::performTextSubstitutionNoDB(text, m_clock);
}

QString MyDocument::performTextSubstitution(const QString &text, const Dict &record) const
{
    if (text.isNull())
        return QString();
    const std::shared_ptr<const MergeTags> tags = m_mergeTags.tagsFor(keyArray());
    const Dict::Snapshot values = record.snapshot();
    return tags->merge(text, MergeTags::Kinds::Record, tags->values(&values, nullptr));
}

QString MyDocument::performTextSubstitution(const QString &text, qsizetype position) const
{
    const Value record = sendArray().at(position);
    if (!record.isDict())
        return text;
    return performTextSubstitution(text, record.toDict());
}

RecordMerge MyDocument::recordMerge(const Dict &record) const
{
    return RecordMerge(m_mergeTags.tagsFor(keyArray()), record, m_clock);
}

// --- Properties --------------------------------------------------------------------

template<typename Arg, typename V>
void MyDocument::notifyChange(void (MyDocument::*signal)(Arg), const V &value)
{
    if (QThread::currentThread() == thread()) {
        Q_EMIT(this->*signal)(value);
        return;
    }
    // Through the document's own queue rather than a queued connection, whose
    // copy of the value crosses threads unseen by the race checker. Observers
    // on the document's thread heard it at the loop's next turn before too.
    m_ownThread.post([this, signal, value] { Q_EMIT(this->*signal)(value); });
}

template<typename T>
T MyDocument::readGuarded(const T &field) const
{
    std::lock_guard lock(m_lock);
    return field;
}

void MyDocument::assignString(QString &field, const QString &value, void (MyDocument::*notify)(const QString &))
{
    // Swapped in rather than assigned: the old text is then released after
    // the lock, by whoever holds the last reference.
    QString replaced = value;
    {
        std::lock_guard lock(m_lock);
        // "No value" and "" are different states (a search field never used, say).
        if (field == value && field.isNull() == value.isNull())
            return;
        field.swap(replaced);
    }
    notifyChange(notify, value);
}

bool MyDocument::assignList(List &field, const List &value, void (MyDocument::*notify)(const List &))
{
    List replaced = value;
    {
        std::lock_guard lock(m_lock);
        if (List::sameObject(field, value))
            return false;
        std::swap(field, replaced);
    }
    notifyChange(notify, value);
    return true;
}

template<typename T>
void MyDocument::assignAtomic(std::atomic<T> &field, T value, void (MyDocument::*notify)(T))
{
    if (field.exchange(value) != value)
        notifyChange(notify, value);
}

List MyDocument::addressArray() const
{
    return m_addresses.items();
}

void MyDocument::setAddressArray(const List &value)
{
    if (!m_addresses.replaceItems(value))
        return;
    notifyChange(&MyDocument::addressArrayChanged, value);
    noteWatchedChange();
}

List MyDocument::keyArray() const
{
    return readGuarded(m_keyArray);
}

void MyDocument::setKeyArray(const List &value)
{
    assignList(m_keyArray, value, &MyDocument::keyArrayChanged);
}

List MyDocument::exceptArray() const
{
    return m_exceptions.items();
}

void MyDocument::setExceptArray(const List &value)
{
    if (m_exceptions.replaceItems(value))
        notifyChange(&MyDocument::exceptArrayChanged, value);
}

List MyDocument::sendArray() const
{
    return m_sendList.items();
}

void MyDocument::setSendArray(const List &value)
{
    if (m_sendList.replaceItems(value))
        notifyChange(&MyDocument::sendArrayChanged, value);
}

List MyDocument::attachmentBookmarks() const
{
    return readGuarded(m_attachmentBookmarks);
}

void MyDocument::setAttachmentBookmarks(const List &value)
{
    assignList(m_attachmentBookmarks, value, &MyDocument::attachmentBookmarksChanged);
}

std::optional<qint64> MyDocument::selectedIndexConnection() const
{
    return readGuarded(m_selectedIndexConnection);
}

void MyDocument::setSelectedIndexConnection(std::optional<qint64> value)
{
    {
        std::lock_guard lock(m_lock);
        if (m_selectedIndexConnection == value)
            return;
        m_selectedIndexConnection = value;
    }
    notifyChange(&MyDocument::selectedIndexConnectionChanged, value);
}

QString MyDocument::mailFormFrom() const
{
    return readGuarded(m_mailFormFrom);
}

void MyDocument::setMailFormFrom(const QString &value)
{
    assignString(m_mailFormFrom, value, &MyDocument::mailFormFromChanged);
}

QString MyDocument::mailFormTo() const
{
    return readGuarded(m_mailFormTo);
}

void MyDocument::setMailFormTo(const QString &value)
{
    assignString(m_mailFormTo, value, &MyDocument::mailFormToChanged);
}

QString MyDocument::mailFormReplyTo() const
{
    return readGuarded(m_mailFormReplyTo);
}

void MyDocument::setMailFormReplyTo(const QString &value)
{
    assignString(m_mailFormReplyTo, value, &MyDocument::mailFormReplyToChanged);
}

QString MyDocument::mailFormSubject() const
{
    return readGuarded(m_mailFormSubject);
}

void MyDocument::setMailFormSubject(const QString &value)
{
    assignString(m_mailFormSubject, value, &MyDocument::mailFormSubjectChanged);
}

QString MyDocument::mailFormBody() const
{
    return readGuarded(m_mailFormBody);
}

void MyDocument::setMailFormBody(const QString &value)
{
    assignString(m_mailFormBody, value, &MyDocument::mailFormBodyChanged);
}

QString MyDocument::mailFormBodyHtml() const
{
    return readGuarded(m_mailFormBodyHtml);
}

void MyDocument::setMailFormBodyHtml(const QString &value)
{
    assignString(m_mailFormBodyHtml, value, &MyDocument::mailFormBodyHtmlChanged);
}

QString MyDocument::mailFormBodyHtmlAltText() const
{
    return readGuarded(m_mailFormBodyHtmlAltText);
}

void MyDocument::setMailFormBodyHtmlAltText(const QString &value)
{
    assignString(m_mailFormBodyHtmlAltText, value, &MyDocument::mailFormBodyHtmlAltTextChanged);
}

QString MyDocument::mailFormAttachment() const
{
    return readGuarded(m_mailFormAttachment);
}

void MyDocument::setMailFormAttachment(const QString &value)
{
    assignString(m_mailFormAttachment, value, &MyDocument::mailFormAttachmentChanged);
}

QString MyDocument::myLog() const
{
    return readGuarded(m_myLog);
}

void MyDocument::setMyLog(const QString &value)
{
    assignString(m_myLog, value, &MyDocument::myLogChanged);
}

QString MyDocument::previewFormFrom() const
{
    return readGuarded(m_previewFormFrom);
}

void MyDocument::setPreviewFormFrom(const QString &value)
{
    assignString(m_previewFormFrom, value, &MyDocument::previewFormFromChanged);
}

QString MyDocument::previewFormTo() const
{
    return readGuarded(m_previewFormTo);
}

void MyDocument::setPreviewFormTo(const QString &value)
{
    assignString(m_previewFormTo, value, &MyDocument::previewFormToChanged);
}

QString MyDocument::previewFormReplyTo() const
{
    return readGuarded(m_previewFormReplyTo);
}

void MyDocument::setPreviewFormReplyTo(const QString &value)
{
    assignString(m_previewFormReplyTo, value, &MyDocument::previewFormReplyToChanged);
}

QString MyDocument::previewFormSubject() const
{
    return readGuarded(m_previewFormSubject);
}

void MyDocument::setPreviewFormSubject(const QString &value)
{
    assignString(m_previewFormSubject, value, &MyDocument::previewFormSubjectChanged);
}

QString MyDocument::previewFormBody() const
{
    return readGuarded(m_previewFormBody);
}

void MyDocument::setPreviewFormBody(const QString &value)
{
    assignString(m_previewFormBody, value, &MyDocument::previewFormBodyChanged);
}

QString MyDocument::previewFormBodyHtml() const
{
    return readGuarded(m_previewFormBodyHtml);
}

void MyDocument::setPreviewFormBodyHtml(const QString &value)
{
    assignString(m_previewFormBodyHtml, value, &MyDocument::previewFormBodyHtmlChanged);
}

QString MyDocument::previewFormBodyHtmlAltText() const
{
    return readGuarded(m_previewFormBodyHtmlAltText);
}

void MyDocument::setPreviewFormBodyHtmlAltText(const QString &value)
{
    assignString(m_previewFormBodyHtmlAltText, value, &MyDocument::previewFormBodyHtmlAltTextChanged);
}

QString MyDocument::previewFormAttach() const
{
    return readGuarded(m_previewFormAttach);
}

void MyDocument::setPreviewFormAttach(const QString &value)
{
    assignString(m_previewFormAttach, value, &MyDocument::previewFormAttachChanged);
}

QString MyDocument::searchFieldStr() const
{
    return m_addresses.searchText();
}

void MyDocument::setSearchFieldStr(const QString &value)
{
    if (m_addresses.replaceSearchText(value))
        notifyChange(&MyDocument::searchFieldStrChanged, value);
}

QString MyDocument::searchFieldExceptStr() const
{
    return m_exceptions.searchText();
}

void MyDocument::setSearchFieldExceptStr(const QString &value)
{
    if (m_exceptions.replaceSearchText(value))
        notifyChange(&MyDocument::searchFieldExceptStrChanged, value);
}

QString MyDocument::searchFieldPreviewStr() const
{
    return readGuarded(m_searchFieldPreviewStr);
}

void MyDocument::setSearchFieldPreviewStr(const QString &value)
{
    assignString(m_searchFieldPreviewStr, value, &MyDocument::searchFieldPreviewStrChanged);
}

QString MyDocument::searchFieldSendStr() const
{
    return m_sendList.searchText();
}

void MyDocument::setSearchFieldSendStr(const QString &value)
{
    if (m_sendList.replaceSearchText(value))
        notifyChange(&MyDocument::searchFieldSendStrChanged, value);
}

QString MyDocument::logViewText() const
{
    return readGuarded(m_logViewText);
}

void MyDocument::setLogViewText(const QString &value)
{
    assignString(m_logViewText, value, &MyDocument::logViewTextChanged);
}

void MyDocument::setSendPrepTimeInterval(qint64 value)
{
    assignAtomic(m_sendPrepTimeInterval, value, &MyDocument::sendPrepTimeIntervalChanged);
}

void MyDocument::setEmailKind(qint64 value)
{
    assignAtomic(m_emailKind, value, &MyDocument::emailKindChanged);
}

void MyDocument::setUseMailServerToSend(qint64 value)
{
    assignAtomic(m_useMailServerToSend, value, &MyDocument::useMailServerToSendChanged);
}

void MyDocument::setAddRefusedToExceptions(qint64 value)
{
    assignAtomic(m_addRefusedToExceptions, value, &MyDocument::addRefusedToExceptionsChanged);
}

void MyDocument::setCanRemoveKeyListElement(bool value)
{
    assignAtomic(m_canRemoveKeyListElement, value, &MyDocument::canRemoveKeyListElementChanged);
}

} // namespace quillcast
