#pragma once

#include "database/RecordListCommands.h"
#include "util/Dict.h"

#include <QList>
#include <QString>

#include <functional>

namespace quillcast {

class MyDocument;

// The commands that edit the recipient database of a document: the shared
// list commands on the database's keys, renumbering and the numbering of new
// records.
//
// A RecordCommands is a light handle on its document; the undo steps it
// registers hold the document, not the handle, so any handle may be dropped.
// Main thread only.
class RecordCommands
{
public:
    explicit RecordCommands(MyDocument &document) : m_doc(document) {}

    // A new record (getNewAddressRow), added with undo; the table scrolls to it.
    Dict addAddress();
    void addTheAddress(const Dict &record);
    void addTheAddressUndo(const Dict &record);
    // Removes the selected record that comes last in the shown view; rows are
    // positions in the shown view. False when nothing was selected.
    bool removeAddress(const QList<qsizetype> &selectedRows);
    void removeAddressObj(const Dict &record);
    void removeAddressObjUndo(const Dict &record);

    void checkAllRecords();
    void uncheckAllRecords();
    void invertCheckRecords();
    void checkValidEmails();
    void checkUnvalidEmails();
    void checkDuplicateEmails();
    void checkUniqueEmails();

    // Asks, through the document's alert presenter, then deletes the checked
    // records of the shown view; the count asked about is the count deleted.
    // done (optional) receives how many were deleted, or -1 when the user
    // cancelled or nobody could be asked.
    void deleteCheckRecords(std::function<void(qsizetype deleted)> done = {});
    // Deletes the checked records of the shown view without asking; the
    // answer "OK" of deleteCheckRecords.
    qsizetype deleteCheckedRecordsConfirmed();

    // Numbers the shown records 1, 2, 3, ... in view order; an edit.
    void resetCounterField();
    void updateIsCheckedRecords();
    // Over every record, shown or hidden by the search.
    qsizetype checkedRecordsDataBaseN() const;
    bool atLeastOneRecordCheckedDataBase() const;

    Dict getNewAddressRow() const;
    qint64 getMaxValueOfField1() const;

    void justFinishedImporting();

private:
    RecordListCommands list() const;

    MyDocument &m_doc;
};

} // namespace quillcast
