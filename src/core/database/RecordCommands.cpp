#include "database/RecordCommands.h"

#include "database/RecordListCommands.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/MainLoop.h"

#include <QPointer>

#include <utility>

using namespace Qt::StringLiterals;

namespace quillcast {

RecordListCommands RecordCommands::list() const
{
    return RecordListCommands(m_doc, m_doc.addresses());
}

// --- Add and remove, with undo ---------------------------------------------------

Dict RecordCommands::addAddress()
{
    Dict record = getNewAddressRow();
    addTheAddress(record);
    m_doc.requestScrollToEnd(MyDocument::View::AddressShown);
    return record;
}

void RecordCommands::addTheAddress(const Dict &record)
{
    // Redo adds a fresh record numbered for the view at that time, not this one.
    MyDocument *doc = &m_doc;
    list().add(record, [doc] { RecordCommands(*doc).addAddress(); });
}

void RecordCommands::addTheAddressUndo(const Dict &record)
{
    MyDocument *doc = &m_doc;
    list().undoAdd(record, [doc] { RecordCommands(*doc).addAddress(); });
}

bool RecordCommands::removeAddress(const QList<qsizetype> &selectedRows)
{
    return list().removeSelected(selectedRows);
}

void RecordCommands::removeAddressObj(const Dict &record)
{
    list().remove(record);
}

void RecordCommands::removeAddressObjUndo(const Dict &record)
{
    list().undoRemove(record);
}

// --- Checks ------------------------------------------------------------------------

void RecordCommands::checkAllRecords()
{
    list().checkAll();
}

void RecordCommands::uncheckAllRecords()
{
    list().uncheckAll();
}

void RecordCommands::invertCheckRecords()
{
    list().invertChecks();
}

void RecordCommands::checkValidEmails()
{
    list().checkValid(true);
}

void RecordCommands::checkUnvalidEmails()
{
    list().checkValid(false);
}

void RecordCommands::checkDuplicateEmails()
{
    list().checkRepeated(true);
}

void RecordCommands::checkUniqueEmails()
{
    list().checkRepeated(false);
}

// --- Delete checked ----------------------------------------------------------------

void RecordCommands::deleteCheckRecords(std::function<void(qsizetype)> done)
{
    list().deleteChecked(std::move(done));
}

qsizetype RecordCommands::deleteCheckedRecordsConfirmed()
{
    return list().deleteCheckedConfirmed();
}

// --- Numbers and flags -------------------------------------------------------------

void RecordCommands::resetCounterField()
{
    const QString number = DocumentKeys::numberInnerKey();
    const auto records = m_doc.addressArrayShown().records();
    qint64 next = 1;
    bool changed = false;
    for (const Dict &record : *records) {
        // An equal integer stored already is left as it is.
        Dict target = record;
        if (target.set(number, Value(next++)))
            changed = true;
    }
    if (changed) {
        m_doc.recordValuesDidChange(number);
        // The numbers are saved: a renumbered mailing must be kept, by the
        // user's save or by autosave, like any other edit.
        m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
    }
    updateIsCheckedRecords();
}

void RecordCommands::updateIsCheckedRecords()
{
    m_doc.updateIsCheckedRecords();
}

qsizetype RecordCommands::checkedRecordsDataBaseN() const
{
    return list().checkedCount();
}

bool RecordCommands::atLeastOneRecordCheckedDataBase() const
{
    return list().anyChecked();
}

Dict RecordCommands::getNewAddressRow() const
{
    Dict::Entries entries;
    const QString innerKey = DocumentKeys::innerKey();
    m_doc.keyArray().read([&](const List::Items &keys) {
        entries.reserve(keys.size() + 2);
        for (const Value &key : keys)
            entries.emplace_back(key.toDict().stringValue(innerKey), Value(QString(u""_s)));
    });
    // The maximum over what the search shows now, before add clears the search.
    entries.emplace_back(DocumentKeys::numberInnerKey(), Value(getMaxValueOfField1() + 1));
    entries.emplace_back(DocumentKeys::checkedInnerKey(), Value(false));
    return Dict(std::move(entries));
}

qint64 RecordCommands::getMaxValueOfField1() const
{
    return list().maxShownNumber();
}

// --- Import ----------------------------------------------------------------------

void RecordCommands::justFinishedImporting()
{
    m_doc.setSearchFieldStr(u""_s);
    // The import appended to the list in place: its rows are new as a whole.
    m_doc.addressArrayDidChange();
    m_doc.filterAddresses();
    m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
    QPointer<MyDocument> doc(&m_doc);
    // At the next turn of the event loop, once the table shows the new rows.
    m_doc.mainLoop().post([doc] {
        if (!doc)
            return;
        doc->requestScrollToEnd(MyDocument::View::AddressShown);
        RecordCommands(*doc).updateIsCheckedRecords();
    });
}

} // namespace quillcast
