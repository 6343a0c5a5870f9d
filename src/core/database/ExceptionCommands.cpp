#include "database/ExceptionCommands.h"

#include "database/RecordListCommands.h"
#include "database/SendListCommands.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"

#include <QPointer>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace quillcast {

RecordListCommands ExceptionCommands::list() const
{
    return RecordListCommands(m_doc, m_doc.exceptions());
}

// --- Add and remove, with undo ---------------------------------------------------

Dict ExceptionCommands::addExcept()
{
    Dict record = getNewExceptRow();
    addTheExcept(record);
    m_doc.requestScrollToEnd(MyDocument::View::ExceptShown);
    return record;
}

void ExceptionCommands::addTheExcept(const Dict &record)
{
    list().add(record);
}

void ExceptionCommands::addTheExceptUndo(const Dict &record)
{
    // Redo restores this very record, with its number and date.
    list().undoAdd(record);
}

bool ExceptionCommands::removeExcept(const QList<qsizetype> &selectedRows)
{
    return list().removeSelected(selectedRows);
}

void ExceptionCommands::removeExceptObj(const Dict &record)
{
    list().remove(record);
}

void ExceptionCommands::removeExceptObjUndo(const Dict &record)
{
    list().undoRemove(record);
}

// --- Checks ------------------------------------------------------------------------

void ExceptionCommands::checkAllRecords4Except()
{
    list().checkAll();
}

void ExceptionCommands::uncheckAllRecords4Except()
{
    list().uncheckAll();
}

void ExceptionCommands::invertCheckRecords4Except()
{
    list().invertChecks();
}

void ExceptionCommands::checkValidEmails4Except()
{
    list().checkValid(true);
}

void ExceptionCommands::checkUnvalidEmails4Except()
{
    list().checkValid(false);
}

void ExceptionCommands::checkDuplicateEmails4Except()
{
    list().checkRepeated(true);
}

void ExceptionCommands::checkUniqueEmails4Except()
{
    list().checkRepeated(false);
}

// --- Delete checked ----------------------------------------------------------------

void ExceptionCommands::deleteCheckRecords4Except(std::function<void(qsizetype)> done)
{
    list().deleteChecked(std::move(done));
}

qsizetype ExceptionCommands::deleteCheckedRecordsConfirmed4Except()
{
    return list().deleteCheckedConfirmed();
}

// --- Flags and numbers -------------------------------------------------------------

void ExceptionCommands::updateIsCheckedRecords4Exception()
{
    list().updateAnyChecked();
}

qsizetype ExceptionCommands::checkedRecordsExceptN() const
{
    return list().checkedShownCount();
}

bool ExceptionCommands::atLeastOneRecordChecked4Exception() const
{
    return list().anyCheckedShown();
}

Dict ExceptionCommands::getNewExceptRow() const
{
    return Dict{{DocumentKeys::exceptNumber(), Value(getMaxValueOfFieldNum() + 1)},
                {DocumentKeys::exceptChecked(), Value(false)},
                {DocumentKeys::exceptEmail(), Value(QString(u""_s))},
                {DocumentKeys::exceptDate(), Value(m_doc.clock().now())},
                {DocumentKeys::exceptNote(), Value(QString(u""_s))}};
}

qint64 ExceptionCommands::getMaxValueOfFieldNum() const
{
    return list().maxShownNumber();
}

// --- Cell edits ------------------------------------------------------------------

bool ExceptionCommands::setExceptionValue(const Dict &record, const QString &key, const Value &value)
{
    const bool isFlag = key == DocumentKeys::exceptChecked();
    const bool isText = key == DocumentKeys::exceptEmail() || key == DocumentKeys::exceptNote();
    if (!(isFlag && value.type() == Value::Type::Bool) && !(isText && value.isString()))
        return false;
    if (!m_doc.exceptions().contains(record))
        return false;
    m_doc.setRecordValue(record, key, value);
    return true;
}

// --- Import and the exception test -------------------------------------------------

void ExceptionCommands::justFinishedImportingExcept()
{
    m_doc.setSearchFieldExceptStr(u""_s);
    // The import appended to the list in place: its rows are new as a whole.
    m_doc.exceptArrayDidChange();
    // Re-evaluated after the search is cleared, so the imported records show.
    m_doc.filterExcepts();
    m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
    QPointer<MyDocument> doc(&m_doc);
    m_doc.mainLoop().post([doc] {
        if (!doc)
            return;
        doc->requestScrollToEnd(MyDocument::View::ExceptShown);
        SendListCommands(*doc).updateIsCheckedRecords4Send();
    });
}

bool ExceptionCommands::emailInExceptionList(const Value &address) const
{
    if (!address.isString())
        return false;
    const QString text = address.toString();
    const QString email = DocumentKeys::exceptEmail();
    bool found = false;
    m_doc.exceptArray().read([&](const List::Items &items) {
        found = std::any_of(items.begin(), items.end(), [&](const Value &item) {
            if (!item.isDict())
                return false;
            const Dict::Snapshot record = item.toDict().snapshot();
            const Value &candidate = record.value(email);
            return candidate.isString() && candidate.toString() == text;
        });
    });
    return found;
}

} // namespace quillcast
