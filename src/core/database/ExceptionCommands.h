#pragma once

#include "database/RecordListCommands.h"
#include "util/Dict.h"

#include <QList>
#include <QString>

#include <functional>

namespace quillcast {

class MyDocument;

// The commands of the exception list, the addresses that must never be
// written to: the shared list commands on "sel", "email" and "num", new
// exception records and the exception test.
//
// Unlike the database, the checked count and the any-checked flag of this
// list cover only the records its search shows. Main thread only; a handle
// may be dropped at any time (undo steps hold the document).
class ExceptionCommands
{
public:
    explicit ExceptionCommands(MyDocument &document) : m_doc(document) {}

    Dict addExcept();
    void addTheExcept(const Dict &record);
    void addTheExceptUndo(const Dict &record);
    // Removes the selected record that comes last in the shown view.
    bool removeExcept(const QList<qsizetype> &selectedRows);
    void removeExceptObj(const Dict &record);
    void removeExceptObjUndo(const Dict &record);

    void checkAllRecords4Except();
    void uncheckAllRecords4Except();
    void invertCheckRecords4Except();
    void checkValidEmails4Except();
    void checkUnvalidEmails4Except();
    void checkDuplicateEmails4Except();
    void checkUniqueEmails4Except();

    // Asks, then deletes the checked records of the shown view; done receives
    // how many, or -1 when cancelled or nobody could be asked.
    void deleteCheckRecords4Except(std::function<void(qsizetype deleted)> done = {});
    qsizetype deleteCheckedRecordsConfirmed4Except();

    void updateIsCheckedRecords4Exception();
    qsizetype checkedRecordsExceptN() const;
    bool atLeastOneRecordChecked4Exception() const;
    bool atLeastOneRecordCheckedExcept() const { return atLeastOneRecordChecked4Exception(); }

    Dict getNewExceptRow() const;
    qint64 getMaxValueOfFieldNum() const;

    void justFinishedImportingExcept();

    // The user edited a cell of the exception table: "email" and "note" take
    // the text as typed, "sel" a flag. The number and the date are the list's
    // own (a typed date would be text where the file keeps a date), so they,
    // values of another type and records outside the list are refused
    // (false). A change is an edit of the document and is announced as the
    // record's row; no undo step, like every cell edit.
    bool setExceptionValue(const Dict &record, const QString &key, const Value &value);

    // Whether the address field is, character for character, the "email" of
    // a record of the whole exception list. No text gives false.
    bool emailInExceptionList(const Value &address) const;

private:
    RecordListCommands list() const;

    MyDocument &m_doc;
};

} // namespace quillcast
