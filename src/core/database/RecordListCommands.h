#pragma once

#include "util/Dict.h"

#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <utility>
#include <vector>

namespace quillcast {

class MyDocument;
class RecordList;

// The commands every record list of a document shares (the database, the
// exception list, the send list), over the list's own keys: add and remove
// with undo, the check commands over the shown view, delete-checked with its
// confirmation, the checked count and the any-checked flag.
//
// What differs between the lists is read from the document: a change of the
// exception list is always an edit and touches the send list's flag, a change
// of the database follows the edited rule.
//
// A light handle; the undo steps it registers hold the document, not the
// handle. Main thread only.
class RecordListCommands
{
public:
    RecordListCommands(MyDocument &document, RecordList &list) : m_doc(document), m_list(list) {}

    // Appends record with undo and clears the search, so that it shows.
    // redo, when given, is what the undo's redo does instead of adding this
    // very record again (the database adds a freshly numbered record).
    void add(const Dict &record, std::function<void()> redo = {});
    // Removes the selected record that comes last in the shown view; rows are
    // positions in the shown view. False when nothing was selected.
    bool removeSelected(const QList<qsizetype> &selectedRows);
    // Removes this very record with undo; nothing when the list lacks it.
    void remove(const Dict &record);

    void checkAll();
    void uncheckAll();
    void invertChecks();
    // Checks exactly the records whose address passes (wantValid) or fails.
    void checkValid(bool wantValid);
    // Checks every later occurrence of an address (duplicates) or exactly the
    // first of each (!duplicates).
    void checkRepeated(bool duplicates);
    // Checks exactly the records whose number is among numbers and unchecks
    // every other one, over the whole list whatever its search shows, as one
    // step to undo named actionName (none when no flag changes). Returns how
    // many flags changed.
    qsizetype checkExactly(const QSet<QString> &numbers, const QString &actionName);

    // Asks, through the document's alert presenter, then deletes the checked
    // records of the shown view; the count asked about is the count deleted.
    // done (optional) receives how many were deleted, or -1 when the user
    // cancelled or nobody could be asked.
    void deleteChecked(std::function<void(qsizetype deleted)> done = {});
    // The answer "OK": deletes the checked records of the shown view.
    qsizetype deleteCheckedConfirmed();

    // The checked records of the shown view, which delete-checked removes.
    qsizetype checkedShownCount() const;
    // Over every record, shown or hidden by the search.
    qsizetype checkedCount() const;
    bool anyCheckedShown() const;
    bool anyChecked() const;
    // Over the records the list's any-checked flag covers.
    bool anyCheckedInFlagScope() const;
    // The largest number of the shown view; 0 when none.
    qint64 maxShownNumber() const;

    // Re-evaluates the checked view (for the send list with its shown view)
    // and sets the list's any-checked flag.
    void updateAnyChecked();

    // The undo of add(): takes the record out again; its redo is redo, or
    // adding this very record again.
    void undoAdd(const Dict &record, std::function<void()> redo = {});
    // The undo of remove(): the record goes back at the end of the list.
    void undoRemove(const Dict &record);

private:
    void finishChecks(qsizetype changed);
    // Sets each record's flag, with the step that sets them back.
    using Flags = std::vector<std::pair<Dict, bool>>;
    qsizetype setFlags(const Flags &flags, const QString &actionName);
    // Ends a single add or removal: the edit, the checked view and the flags.
    void finishRowEdit();
    // The list's change for the edited rule: always for the exception list,
    // under the rule for the others.
    void noteListEdited();
    bool isExceptionList() const;
    // After the exception list changed, the send list's flag is recomputed.
    void updateSendFlagAfterExceptions();
    // Records left or joined the list in place, in bulk.
    void announceRowsChanged();
    // Many records' values under key changed in place.
    void announceValuesChanged(const QString &key);
    void clearSearch();

    MyDocument &m_doc;
    RecordList &m_list;
};

} // namespace quillcast
