#include "database/ExceptionCommands.h"

#include "database/RecordChecks.h"
#include "database/SendListCommands.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/AlertPresenter.h"
#include "platform/Clock.h"

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

Dict ExceptionCommands::addExcept()
{
    Dict record = getNewExceptRow();
    addTheExcept(record);
    m_doc.requestScrollToEnd(MyDocument::View::ExceptShown);
    return record;
}

void ExceptionCommands::addTheExcept(const Dict &record)
{
    MyDocument *doc = &m_doc;
    m_doc.undoManager().registerUndo([doc, record] { ExceptionCommands(*doc).addTheExceptUndo(record); });
    m_doc.undoManager().setActionName(addRecordAction());

    m_doc.exceptArray().append(Value(record));
    m_doc.exceptArrayDidChange();
    m_doc.filterExcepts();
    m_doc.setSearchFieldExceptStr(u""_s);
    m_doc.filterExcepts();
    m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
    // A redo brings back the record as it was, checked or not.
    updateIsCheckedRecords4Exception();
    SendListCommands(m_doc).updateIsCheckedRecords4Send();
}

void ExceptionCommands::addTheExceptUndo(const Dict &record)
{
    // Redo restores this very record, with its number and date.
    MyDocument *doc = &m_doc;
    m_doc.undoManager().registerUndo([doc, record] { ExceptionCommands(*doc).addTheExcept(record); });
    m_doc.undoManager().setActionName(addRecordAction());

    removeFromList(record);
    m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
    SendListCommands(m_doc).updateIsCheckedRecords4Send();
}

bool ExceptionCommands::removeExcept(const QList<qsizetype> &selectedRows)
{
    const qsizetype shown = m_doc.exceptArrayShown().size();
    qsizetype last = -1;
    for (qsizetype row : selectedRows) {
        if (row >= 0 && row < shown)
            last = std::max(last, row);
    }
    const std::optional<Dict> record = m_doc.exceptArrayShown().at(last);
    if (!record)
        return false;
    removeExceptObj(*record);
    return true;
}

void ExceptionCommands::removeExceptObj(const Dict &record)
{
    if (m_doc.exceptArray().indexOfObject(record.identity()) < 0)
        return;
    MyDocument *doc = &m_doc;
    m_doc.undoManager().registerUndo([doc, record] { ExceptionCommands(*doc).removeExceptObjUndo(record); });
    m_doc.undoManager().setActionName(deleteRecordAction());

    removeFromList(record);
    m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
    SendListCommands(m_doc).updateIsCheckedRecords4Send();
}

void ExceptionCommands::removeExceptObjUndo(const Dict &record)
{
    MyDocument *doc = &m_doc;
    m_doc.undoManager().registerUndo([doc, record] { ExceptionCommands(*doc).removeExceptObj(record); });
    m_doc.undoManager().setActionName(deleteRecordAction());

    // Back at the end of the list.
    m_doc.exceptArray().append(Value(record));
    m_doc.exceptArrayDidChange();
    m_doc.filterExcepts();
    updateIsCheckedRecords4Exception();
    m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
    SendListCommands(m_doc).updateIsCheckedRecords4Send();
}

void ExceptionCommands::removeFromList(const Dict &record)
{
    if (m_doc.exceptArray().removeAll(Value(record)) > 0)
        m_doc.exceptArrayDidChange();
    // The shown view must not go on offering a record the list no longer holds.
    m_doc.filterExcepts();
    updateIsCheckedRecords4Exception();
}

// --- Checks ------------------------------------------------------------------------

void ExceptionCommands::finishChecks(qsizetype changed)
{
    if (changed > 0)
        m_doc.exceptValuesDidChange();
    updateIsCheckedRecords4Exception();
}

void ExceptionCommands::checkAllRecords4Except()
{
    finishChecks(RecordChecks::setAll(*m_doc.exceptArrayShown().records(), DocumentKeys::exceptChecked(), true));
}

void ExceptionCommands::uncheckAllRecords4Except()
{
    finishChecks(RecordChecks::setAll(*m_doc.exceptArrayShown().records(), DocumentKeys::exceptChecked(), false));
}

void ExceptionCommands::invertCheckRecords4Except()
{
    finishChecks(RecordChecks::invert(*m_doc.exceptArrayShown().records(), DocumentKeys::exceptChecked()));
}

void ExceptionCommands::checkValidEmails4Except()
{
    finishChecks(RecordChecks::checkValid(*m_doc.exceptArrayShown().records(), DocumentKeys::exceptChecked(),
                                          DocumentKeys::exceptEmail(), true));
}

void ExceptionCommands::checkUnvalidEmails4Except()
{
    finishChecks(RecordChecks::checkValid(*m_doc.exceptArrayShown().records(), DocumentKeys::exceptChecked(),
                                          DocumentKeys::exceptEmail(), false));
}

void ExceptionCommands::checkDuplicateEmails4Except()
{
    finishChecks(RecordChecks::checkRepeated(*m_doc.exceptArrayShown().records(), DocumentKeys::exceptChecked(),
                                             DocumentKeys::exceptEmail(), true));
}

void ExceptionCommands::checkUniqueEmails4Except()
{
    finishChecks(RecordChecks::checkRepeated(*m_doc.exceptArrayShown().records(), DocumentKeys::exceptChecked(),
                                             DocumentKeys::exceptEmail(), false));
}

// --- Delete checked ----------------------------------------------------------------

void ExceptionCommands::deleteCheckRecords4Except(std::function<void(qsizetype)> done)
{
    AlertPresenter *presenter = m_doc.alertPresenter();
    if (!presenter) {
        updateIsCheckedRecords4Exception();
        if (done)
            done(-1);
        return;
    }
    // The count covers only the records the search shows.
    Alert alert;
    alert.messageText = u"Do you want to delete all the %1 checked records?"_s.arg(checkedRecordsExceptN());
    alert.informativeText = u"It will not be possible to undo the action"_s;
    alert.buttons = {u"OK"_s, u"Cancel"_s};
    alert.kind = Alert::Kind::Sheet;

    QPointer<MyDocument> doc(&m_doc);
    presenter->present(alert, [doc, done = std::move(done)](int chosen) {
        qsizetype deleted = -1;
        if (doc) {
            if (chosen == 0)
                deleted = ExceptionCommands(*doc).deleteCheckedRecordsConfirmed4Except();
            else
                ExceptionCommands(*doc).updateIsCheckedRecords4Exception();
        }
        if (done)
            done(deleted);
    });
}

qsizetype ExceptionCommands::deleteCheckedRecordsConfirmed4Except()
{
    const RecordChecks::Records doomed =
        RecordChecks::checkedAmong(*m_doc.exceptArrayShown().records(), DocumentKeys::exceptChecked());
    List exceptions = m_doc.exceptArray();
    const qsizetype removed = RecordChecks::removeRecords(exceptions, doomed);
    if (removed > 0) {
        m_doc.exceptArrayDidChange();
        m_doc.filterExcepts();
    }
    m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
    updateIsCheckedRecords4Exception();
    return removed;
}

// --- Flags and numbers -------------------------------------------------------------

void ExceptionCommands::updateIsCheckedRecords4Exception()
{
    m_doc.rearrangeCheckedExcepts();
    m_doc.setIsCheckedRecords4Exception(atLeastOneRecordChecked4Exception());
}

qsizetype ExceptionCommands::checkedRecordsExceptN() const
{
    return RecordChecks::countChecked(*m_doc.exceptArrayShown().records(), DocumentKeys::exceptChecked());
}

bool ExceptionCommands::atLeastOneRecordChecked4Exception() const
{
    return RecordChecks::anyChecked(*m_doc.exceptArrayShown().records(), DocumentKeys::exceptChecked());
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
    return RecordChecks::maxNumber(*m_doc.exceptArrayShown().records(), DocumentKeys::exceptNumber());
}

// --- Import and the exception test -------------------------------------------------

void ExceptionCommands::justFinishedImportingExcept()
{
    m_doc.setSearchFieldExceptStr(u""_s);
    // Re-evaluated after the search is cleared, so the imported records show.
    m_doc.filterExcepts();
    m_doc.updateChangeCount(MyDocument::ChangeKind::Done);
    MyDocument *doc = &m_doc;
    QMetaObject::invokeMethod(
        doc,
        [doc] {
            doc->requestScrollToEnd(MyDocument::View::ExceptShown);
            SendListCommands(*doc).updateIsCheckedRecords4Send();
        },
        Qt::QueuedConnection);
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
