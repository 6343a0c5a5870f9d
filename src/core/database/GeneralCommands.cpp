#include "database/GeneralCommands.h"

#include "database/ExceptionCommands.h"
#include "database/RecordListCommands.h"
#include "database/RecordCommands.h"
#include "document/MyDocument.h"

#include <optional>
#include <utility>

namespace quillcast {

GeneralCommands::Target GeneralCommands::listTarget() const
{
    switch (m_doc.selectedTab()) {
    case MyDocument::DatabaseTab:
        return Target::Database;
    case MyDocument::ExceptionTab:
        return Target::ExceptionList;
    default:
        return Target::None;
    }
}

void GeneralCommands::addRow()
{
    switch (listTarget()) {
    case Target::Database:
        RecordCommands(m_doc).addAddress();
        break;
    case Target::ExceptionList:
        ExceptionCommands(m_doc).addExcept();
        break;
    default:
        break;
    }
}

void GeneralCommands::removeRow(const QList<qsizetype> &selectedRows)
{
    if (auto list = checkTarget(false))
        list->removeSelected(selectedRows);
}

std::optional<RecordListCommands> GeneralCommands::checkTarget(bool withSendList) const
{
    switch (m_doc.selectedTab()) {
    case MyDocument::DatabaseTab:
        return RecordListCommands(m_doc, m_doc.addresses());
    case MyDocument::ExceptionTab:
        return RecordListCommands(m_doc, m_doc.exceptions());
    case MyDocument::SendTab:
        if (withSendList)
            return RecordListCommands(m_doc, m_doc.sendList());
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

void GeneralCommands::checkAllGeneral()
{
    if (auto list = checkTarget(true))
        list->checkAll();
}

void GeneralCommands::uncheckAllGeneral()
{
    if (auto list = checkTarget(true))
        list->uncheckAll();
}

void GeneralCommands::checkUniqueEmailGeneral()
{
    if (auto list = checkTarget(false))
        list->checkRepeated(false);
}

void GeneralCommands::checkDuplicateEmailGeneral()
{
    if (auto list = checkTarget(false))
        list->checkRepeated(true);
}

void GeneralCommands::checkValidEmailGeneral()
{
    if (auto list = checkTarget(false))
        list->checkValid(true);
}

void GeneralCommands::checkUnvalidEmailGeneral()
{
    if (auto list = checkTarget(false))
        list->checkValid(false);
}

void GeneralCommands::deleteCheckRecordsGeneral(std::function<void(qsizetype)> done)
{
    if (auto list = checkTarget(false))
        list->deleteChecked(std::move(done));
    else if (done)
        done(-1);
}

bool GeneralCommands::atLeastOneRecordChecked() const
{
    // Over the records the list's flag covers: every database record, the
    // exception records the search shows.
    if (auto list = checkTarget(false))
        return list->anyCheckedInFlagScope();
    return false;
}

CommandEnablingState GeneralCommands::enablingState(bool keyListHasSelection, bool sendListHasSelection) const
{
    CommandEnablingState state;
    state.selectedTab = m_doc.selectedTab();
    state.addressCount = m_doc.addressArray().size();
    state.exceptCount = m_doc.exceptArray().size();
    state.sendCount = m_doc.sendArray().size();
    state.attachmentCount = m_doc.attachmentBookmarks().size();
    state.atLeastOneRecordChecked = atLeastOneRecordChecked();
    state.isCheckedRecords4Send = m_doc.isCheckedRecords4Send();
    state.preparingSending = m_doc.preparingSending();
    state.canRemoveKeyListElement = m_doc.canRemoveKeyListElement();
    state.keyListHasSelection = keyListHasSelection;
    state.sendListHasSelection = sendListHasSelection;
    return state;
}

} // namespace quillcast
