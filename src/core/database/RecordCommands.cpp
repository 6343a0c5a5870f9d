#include "database/RecordCommands.h"

#include "database/RecordChecks.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/AlertPresenter.h"

#include <QMetaObject>
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
    MyDocument *doc = &m_doc;
    m_doc.undoManager().registerUndo([doc, record] { RecordCommands(*doc).addTheAddressUndo(record); });
    m_doc.undoManager().setActionName(addRecordAction());

    m_doc.appendRecord(record);
    // The search is cleared so that the new record is visible.
    m_doc.setSearchFieldStr(u""_s);
    m_doc.filterAddresses();
    m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
    updateIsCheckedRecords();
}

void RecordCommands::addTheAddressUndo(const Dict &record)
{
    // Redo adds a fresh record numbered for the view at that time, not this one.
    MyDocument *doc = &m_doc;
    m_doc.undoManager().registerUndo([doc] { RecordCommands(*doc).addAddress(); });
    m_doc.undoManager().setActionName(addRecordAction());

    m_doc.removeRecord(record);
    // The shown view must not go on offering a record the list no longer holds.
    m_doc.filterAddresses();
    updateIsCheckedRecords();
}

bool RecordCommands::removeAddress(const QList<qsizetype> &selectedRows)
{
    const qsizetype shown = m_doc.addressArrayShown().size();
    qsizetype last = -1;
    for (qsizetype row : selectedRows) {
        if (row >= 0 && row < shown)
            last = std::max(last, row);
    }
    const std::optional<Dict> record = m_doc.addressArrayShown().at(last);
    if (!record)
        return false;
    removeAddressObj(*record);
    return true;
}

void RecordCommands::removeAddressObj(const Dict &record)
{
    // A record that is not in the database (already removed) leaves no step:
    // undoing it would add a record that was never there.
    if (m_doc.addressArray().indexOfObject(record.identity()) < 0)
        return;
    MyDocument *doc = &m_doc;
    m_doc.undoManager().registerUndo([doc, record] { RecordCommands(*doc).removeAddressObjUndo(record); });
    m_doc.undoManager().setActionName(deleteRecordAction());

    m_doc.removeRecord(record);
    m_doc.filterAddresses();
    m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
    updateIsCheckedRecords();
}

void RecordCommands::removeAddressObjUndo(const Dict &record)
{
    MyDocument *doc = &m_doc;
    m_doc.undoManager().registerUndo([doc, record] { RecordCommands(*doc).removeAddressObj(record); });
    m_doc.undoManager().setActionName(deleteRecordAction());

    // Back at the end of the list, not at its old place.
    m_doc.appendRecord(record);
    m_doc.filterAddresses();
    m_doc.filterSend();
    m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
    updateIsCheckedRecords();
}

// --- Checks ------------------------------------------------------------------------

void RecordCommands::finishChecks(qsizetype changed)
{
    if (changed > 0)
        m_doc.recordValuesDidChange(DocumentKeys::checkedInnerKey());
    updateIsCheckedRecords();
}

void RecordCommands::checkAllRecords()
{
    finishChecks(RecordChecks::setAll(*m_doc.addressArrayShown().records(), DocumentKeys::checkedInnerKey(), true));
}

void RecordCommands::uncheckAllRecords()
{
    finishChecks(RecordChecks::setAll(*m_doc.addressArrayShown().records(), DocumentKeys::checkedInnerKey(), false));
}

void RecordCommands::invertCheckRecords()
{
    finishChecks(RecordChecks::invert(*m_doc.addressArrayShown().records(), DocumentKeys::checkedInnerKey()));
}

void RecordCommands::checkValidEmails()
{
    finishChecks(RecordChecks::checkValid(*m_doc.addressArrayShown().records(), DocumentKeys::checkedInnerKey(),
                                          DocumentKeys::emailInnerKey(), true));
}

void RecordCommands::checkUnvalidEmails()
{
    finishChecks(RecordChecks::checkValid(*m_doc.addressArrayShown().records(), DocumentKeys::checkedInnerKey(),
                                          DocumentKeys::emailInnerKey(), false));
}

void RecordCommands::checkDuplicateEmails()
{
    finishChecks(RecordChecks::checkRepeated(*m_doc.addressArrayShown().records(), DocumentKeys::checkedInnerKey(),
                                             DocumentKeys::emailInnerKey(), true));
}

void RecordCommands::checkUniqueEmails()
{
    finishChecks(RecordChecks::checkRepeated(*m_doc.addressArrayShown().records(), DocumentKeys::checkedInnerKey(),
                                             DocumentKeys::emailInnerKey(), false));
}

// --- Delete checked ----------------------------------------------------------------

void RecordCommands::deleteCheckRecords(std::function<void(qsizetype)> done)
{
    AlertPresenter *presenter = m_doc.alertPresenter();
    if (!presenter) {
        updateIsCheckedRecords();
        if (done)
            done(-1);
        return;
    }
    // The count covers every checked record, hidden by the search or not.
    Alert alert;
    alert.messageText = u"Do you want to delete all the %1 checked records?"_s.arg(checkedRecordsDataBaseN());
    alert.informativeText = u"It will not be possible to undo the action"_s;
    alert.buttons = {u"OK"_s, u"Cancel"_s};
    alert.kind = Alert::Kind::Sheet;

    QPointer<MyDocument> doc(&m_doc);
    presenter->present(alert, [doc, done = std::move(done)](int chosen) {
        qsizetype deleted = -1;
        if (doc) {
            if (chosen == 0)
                deleted = RecordCommands(*doc).deleteCheckedRecordsConfirmed();
            else
                RecordCommands(*doc).updateIsCheckedRecords();
        }
        if (done)
            done(deleted);
    });
}

qsizetype RecordCommands::deleteCheckedRecordsConfirmed()
{
    // Only what the user sees: checked records hidden by the search stay.
    const RecordChecks::Records doomed =
        RecordChecks::checkedAmong(*m_doc.addressArrayShown().records(), DocumentKeys::checkedInnerKey());
    List addresses = m_doc.addressArray();
    const qsizetype removed = RecordChecks::removeRecords(addresses, doomed);
    if (removed > 0) {
        m_doc.addressArrayDidChange();
        m_doc.filterAddressesAndChecked();
    } else {
        updateIsCheckedRecords();
    }
    return removed;
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
    if (changed)
        m_doc.recordValuesDidChange(number);
    updateIsCheckedRecords();
}

void RecordCommands::updateIsCheckedRecords()
{
    m_doc.updateIsCheckedRecords();
}

qsizetype RecordCommands::checkedRecordsDataBaseN() const
{
    return RecordChecks::countChecked(m_doc.addressArray(), DocumentKeys::checkedInnerKey());
}

bool RecordCommands::atLeastOneRecordCheckedDataBase() const
{
    return RecordChecks::anyChecked(m_doc.addressArray(), DocumentKeys::checkedInnerKey());
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
    return RecordChecks::maxNumber(*m_doc.addressArrayShown().records(), DocumentKeys::numberInnerKey());
}

// --- Import ----------------------------------------------------------------------

void RecordCommands::justFinishedImporting()
{
    m_doc.setSearchFieldStr(u""_s);
    m_doc.filterAddresses();
    m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
    MyDocument *doc = &m_doc;
    // At the next turn of the event loop, once the table shows the new rows.
    QMetaObject::invokeMethod(
        doc,
        [doc] {
            doc->requestScrollToEnd(MyDocument::View::AddressShown);
            RecordCommands(*doc).updateIsCheckedRecords();
        },
        Qt::QueuedConnection);
}

} // namespace quillcast
