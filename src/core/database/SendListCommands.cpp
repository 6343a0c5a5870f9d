#include "database/SendListCommands.h"

#include "database/RecordListCommands.h"
#include "document/MyDocument.h"

namespace quillcast {

RecordListCommands SendListCommands::list() const
{
    return RecordListCommands(m_doc, m_doc.sendList());
}

void SendListCommands::checkAllRecords4Send()
{
    list().checkAll();
}

void SendListCommands::uncheckAllRecords4Send()
{
    list().uncheckAll();
}

void SendListCommands::updateIsCheckedRecords4Send()
{
    list().updateAnyChecked();
}

qsizetype SendListCommands::checkedRecordsSendN() const
{
    return list().checkedCount();
}

bool SendListCommands::updateTheSendArray(SendListRebuilder::Completion done)
{
    return m_doc.sendListRebuilder().request(std::move(done));
}

} // namespace quillcast
