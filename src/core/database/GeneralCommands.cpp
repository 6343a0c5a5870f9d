#include "database/GeneralCommands.h"

#include "database/ExceptionCommands.h"
#include "database/RecordCommands.h"
#include "database/SendListCommands.h"
#include "document/MyDocument.h"

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
    switch (listTarget()) {
    case Target::Database:
        RecordCommands(m_doc).removeAddress(selectedRows);
        break;
    case Target::ExceptionList:
        ExceptionCommands(m_doc).removeExcept(selectedRows);
        break;
    default:
        break;
    }
}

void GeneralCommands::checkAllGeneral()
{
    switch (m_doc.selectedTab()) {
    case MyDocument::DatabaseTab:
        RecordCommands(m_doc).checkAllRecords();
        break;
    case MyDocument::ExceptionTab:
        ExceptionCommands(m_doc).checkAllRecords4Except();
        break;
    case MyDocument::SendTab:
        SendListCommands(m_doc).checkAllRecords4Send();
        break;
    default:
        break;
    }
}

void GeneralCommands::uncheckAllGeneral()
{
    switch (m_doc.selectedTab()) {
    case MyDocument::DatabaseTab:
        RecordCommands(m_doc).uncheckAllRecords();
        break;
    case MyDocument::ExceptionTab:
        ExceptionCommands(m_doc).uncheckAllRecords4Except();
        break;
    case MyDocument::SendTab:
        SendListCommands(m_doc).uncheckAllRecords4Send();
        break;
    default:
        break;
    }
}

void GeneralCommands::checkUniqueEmailGeneral()
{
    if (listTarget() == Target::Database)
        RecordCommands(m_doc).checkUniqueEmails();
    else if (listTarget() == Target::ExceptionList)
        ExceptionCommands(m_doc).checkUniqueEmails4Except();
}

void GeneralCommands::checkDuplicateEmailGeneral()
{
    if (listTarget() == Target::Database)
        RecordCommands(m_doc).checkDuplicateEmails();
    else if (listTarget() == Target::ExceptionList)
        ExceptionCommands(m_doc).checkDuplicateEmails4Except();
}

void GeneralCommands::checkValidEmailGeneral()
{
    if (listTarget() == Target::Database)
        RecordCommands(m_doc).checkValidEmails();
    else if (listTarget() == Target::ExceptionList)
        ExceptionCommands(m_doc).checkValidEmails4Except();
}

void GeneralCommands::checkUnvalidEmailGeneral()
{
    if (listTarget() == Target::Database)
        RecordCommands(m_doc).checkUnvalidEmails();
    else if (listTarget() == Target::ExceptionList)
        ExceptionCommands(m_doc).checkUnvalidEmails4Except();
}

void GeneralCommands::deleteCheckRecordsGeneral(std::function<void(qsizetype)> done)
{
    if (listTarget() == Target::Database)
        RecordCommands(m_doc).deleteCheckRecords(std::move(done));
    else if (listTarget() == Target::ExceptionList)
        ExceptionCommands(m_doc).deleteCheckRecords4Except(std::move(done));
    else if (done)
        done(-1);
}

bool GeneralCommands::atLeastOneRecordChecked() const
{
    switch (listTarget()) {
    case Target::Database:
        return RecordCommands(m_doc).atLeastOneRecordCheckedDataBase();
    case Target::ExceptionList:
        return ExceptionCommands(m_doc).atLeastOneRecordCheckedExcept();
    default:
        return false;
    }
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
