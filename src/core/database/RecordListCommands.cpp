#include "database/RecordListCommands.h"

#include "database/RecordChecks.h"
#include "document/MyDocument.h"
#include "document/RecordList.h"
#include "platform/AlertPresenter.h"

#include <QPointer>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

QString addRecordAction()
{
    return u"Add Record"_s;
}

QString deleteRecordAction()
{
    return u"Delete Record"_s;
}

} // namespace

bool RecordListCommands::isExceptionList() const
{
    return &m_list == &m_doc.exceptions();
}

void RecordListCommands::noteListEdited()
{
    // The exception list is saved like everything else, set-up or not; the
    // database follows the edited rule.
    if (isExceptionList() || m_doc.isWindowSetUp())
        m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
}

void RecordListCommands::updateSendFlagAfterExceptions()
{
    if (isExceptionList())
        RecordListCommands(m_doc, m_doc.sendList()).updateAnyChecked();
}

void RecordListCommands::announceRowsChanged()
{
    if (&m_list == &m_doc.addresses())
        m_doc.addressArrayDidChange();
    else if (isExceptionList())
        m_doc.exceptArrayDidChange();
    else
        m_list.rowsChangedInBulk();
}

void RecordListCommands::announceValuesChanged(const QString &key)
{
    if (isExceptionList()) {
        m_doc.exceptValuesDidChange();
        return;
    }
    // The send list holds the database's records: both tables hear of it.
    if (&m_list == &m_doc.sendList())
        m_list.valuesChangedInBulk();
    m_doc.recordValuesDidChange(key);
}

void RecordListCommands::clearSearch()
{
    if (&m_list == &m_doc.addresses())
        m_doc.setSearchFieldStr(u""_s);
    else if (isExceptionList())
        m_doc.setSearchFieldExceptStr(u""_s);
    else
        m_doc.setSearchFieldSendStr(u""_s);
}

// --- Add and remove, with undo ---------------------------------------------------

void RecordListCommands::add(const Dict &record, std::function<void()> redo)
{
    MyDocument *doc = &m_doc;
    RecordList *list = &m_list;
    m_doc.undoManager().registerUndo([doc, list, record, redo] { RecordListCommands(*doc, *list).undoAdd(record, redo); });
    m_doc.undoManager().setActionName(addRecordAction());

    // The search is cleared so that the new record is visible. The shown view
    // is re-evaluated only when it showed less than every record; otherwise
    // it takes the new record as one more row.
    const QString search = m_list.searchText();
    clearSearch();
    if (!m_list.filterShownIfStale() && !search.isEmpty())
        m_list.filterShown();
    m_list.append(record);
    // A redo brings back the record as it was, checked or not.
    finishRowEdit();
}

void RecordListCommands::undoAdd(const Dict &record, std::function<void()> redo)
{
    MyDocument *doc = &m_doc;
    RecordList *list = &m_list;
    if (redo)
        m_doc.undoManager().registerUndo(redo);
    else
        m_doc.undoManager().registerUndo([doc, list, record] { RecordListCommands(*doc, *list).add(record); });
    m_doc.undoManager().setActionName(addRecordAction());

    if (m_list.remove(record))
        noteListEdited();
    m_list.rearrangeCheckedIfStale();
    m_doc.updateAnyChecked(m_list);
    if (isExceptionList())
        m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
    updateSendFlagAfterExceptions();
}

bool RecordListCommands::removeSelected(const QList<qsizetype> &selectedRows)
{
    const qsizetype shown = m_list.shown().size();
    qsizetype last = -1;
    for (qsizetype row : selectedRows) {
        if (row >= 0 && row < shown)
            last = std::max(last, row);
    }
    const std::optional<Dict> record = m_list.shown().at(last);
    if (!record)
        return false;
    remove(*record);
    return true;
}

void RecordListCommands::remove(const Dict &record)
{
    // A record that is not in the list (already removed) leaves no step:
    // undoing it would add a record that was never there.
    if (!m_list.contains(record))
        return;
    MyDocument *doc = &m_doc;
    RecordList *list = &m_list;
    m_doc.undoManager().registerUndo([doc, list, record] { RecordListCommands(*doc, *list).undoRemove(record); });
    m_doc.undoManager().setActionName(deleteRecordAction());

    m_list.remove(record);
    finishRowEdit();
}

void RecordListCommands::undoRemove(const Dict &record)
{
    MyDocument *doc = &m_doc;
    RecordList *list = &m_list;
    m_doc.undoManager().registerUndo([doc, list, record] { RecordListCommands(*doc, *list).remove(record); });
    m_doc.undoManager().setActionName(deleteRecordAction());

    // Back at the end of the list, not at its old place.
    m_list.filterShownIfStale();
    m_list.append(record);
    finishRowEdit();
}

void RecordListCommands::finishRowEdit()
{
    noteListEdited();
    m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
    m_list.rearrangeCheckedIfStale();
    m_doc.updateAnyChecked(m_list);
    updateSendFlagAfterExceptions();
}

// --- Checks ------------------------------------------------------------------------

void RecordListCommands::finishChecks(qsizetype changed)
{
    if (changed > 0)
        announceValuesChanged(m_list.keys().checked);
    updateAnyChecked();
}

void RecordListCommands::checkAll()
{
    finishChecks(RecordChecks::setAll(*m_list.shown().records(), m_list.keys().checked, true));
}

void RecordListCommands::uncheckAll()
{
    finishChecks(RecordChecks::setAll(*m_list.shown().records(), m_list.keys().checked, false));
}

void RecordListCommands::invertChecks()
{
    finishChecks(RecordChecks::invert(*m_list.shown().records(), m_list.keys().checked));
}

void RecordListCommands::checkValid(bool wantValid)
{
    finishChecks(RecordChecks::checkValid(*m_list.shown().records(), m_list.keys().checked, m_list.keys().address,
                                          wantValid));
}

void RecordListCommands::checkRepeated(bool duplicates)
{
    finishChecks(RecordChecks::checkRepeated(*m_list.shown().records(), m_list.keys().checked, m_list.keys().address,
                                             duplicates));
}

qsizetype RecordListCommands::checkExactly(const QSet<QString> &numbers, const QString &actionName)
{
    const QString checked = m_list.keys().checked;
    const QString number = m_list.keys().number;
    Flags flags;
    m_list.items().read([&](const List::Items &items) {
        for (const Value &item : items) {
            const Dict record = item.toDict();
            const bool wanted = numbers.contains(record.value(number).toString());
            if (record.boolValue(checked) != wanted)
                flags.emplace_back(record, wanted);
        }
    });
    return setFlags(flags, actionName);
}

qsizetype RecordListCommands::setFlags(const Flags &flags, const QString &actionName)
{
    const QString checked = m_list.keys().checked;
    Flags before;
    for (const auto &[record, value] : flags) {
        const bool was = record.boolValue(checked);
        Dict target = record;
        if (target.set(checked, Value(value)))
            before.emplace_back(record, was);
    }
    if (before.empty())
        return 0;
    MyDocument *doc = &m_doc;
    RecordList *list = &m_list;
    m_doc.undoManager().registerUndo(
        [doc, list, before, actionName] { RecordListCommands(*doc, *list).setFlags(before, actionName); });
    m_doc.undoManager().setActionName(actionName);
    finishChecks(qsizetype(before.size()));
    noteListEdited();
    return qsizetype(before.size());
}

// --- Delete checked ----------------------------------------------------------------

void RecordListCommands::deleteChecked(std::function<void(qsizetype)> done)
{
    AlertPresenter *presenter = m_doc.alertPresenter();
    if (!presenter) {
        updateAnyChecked();
        if (done)
            done(-1);
        return;
    }
    // The records the search shows, exactly those that OK deletes.
    Alert alert;
    alert.messageText = u"Do you want to delete all the %1 checked records?"_s.arg(checkedShownCount());
    alert.informativeText = u"It will not be possible to undo the action"_s;
    alert.buttons = {u"OK"_s, u"Cancel"_s};
    alert.kind = Alert::Kind::Sheet;

    QPointer<MyDocument> doc(&m_doc);
    RecordList *list = &m_list;
    presenter->present(alert, [doc, list, done = std::move(done)](int chosen) {
        qsizetype deleted = -1;
        // The list lives as long as its document.
        if (doc) {
            if (chosen == 0)
                deleted = RecordListCommands(*doc, *list).deleteCheckedConfirmed();
            else
                RecordListCommands(*doc, *list).updateAnyChecked();
        }
        if (done)
            done(deleted);
    });
}

qsizetype RecordListCommands::deleteCheckedConfirmed()
{
    // Only what the user sees: checked records hidden by the search stay.
    const RecordChecks::Records doomed = RecordChecks::checkedAmong(*m_list.shown().records(), m_list.keys().checked);
    List items = m_list.items();
    const qsizetype removed = RecordChecks::removeRecords(items, doomed);
    if (removed > 0) {
        announceRowsChanged();
        m_list.filterShownAndChecked();
        m_doc.updateAnyChecked(m_list);
    } else {
        updateAnyChecked();
    }
    if (isExceptionList())
        m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
    return removed;
}

// --- Counts and flags --------------------------------------------------------------

qsizetype RecordListCommands::checkedShownCount() const
{
    return RecordChecks::countChecked(*m_list.shown().records(), m_list.keys().checked);
}

qsizetype RecordListCommands::checkedCount() const
{
    return RecordChecks::countChecked(m_list.items(), m_list.keys().checked);
}

bool RecordListCommands::anyCheckedShown() const
{
    return RecordChecks::anyChecked(*m_list.shown().records(), m_list.keys().checked);
}

bool RecordListCommands::anyChecked() const
{
    return RecordChecks::anyChecked(m_list.items(), m_list.keys().checked);
}

bool RecordListCommands::anyCheckedInFlagScope() const
{
    return m_list.keys().flagScope == RecordList::FlagScope::ShownRecords ? anyCheckedShown() : anyChecked();
}

qint64 RecordListCommands::maxShownNumber() const
{
    return RecordChecks::maxNumber(*m_list.shown().records(), m_list.keys().number);
}

void RecordListCommands::updateAnyChecked()
{
    if (&m_list == &m_doc.sendList())
        m_list.filterShownAndChecked();
    else
        m_list.rearrangeChecked();
    m_doc.updateAnyChecked(m_list);
}

} // namespace quillcast
