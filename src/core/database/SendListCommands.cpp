#include "database/SendListCommands.h"

#include "database/RecordChecks.h"
#include "document/DocumentKeys.h"
#include "document/MyDocument.h"

namespace quillcast {

void SendListCommands::checkAllRecords4Send()
{
    setAll(true);
}

void SendListCommands::uncheckAllRecords4Send()
{
    setAll(false);
}

void SendListCommands::setAll(bool value)
{
    const QString checked = DocumentKeys::checkedInnerKey();
    if (RecordChecks::setAll(*m_doc.sendArrayShown().records(), checked, value) > 0)
        m_doc.recordValuesDidChange(checked);
    updateIsCheckedRecords4Send();
}

void SendListCommands::updateIsCheckedRecords4Send()
{
    m_doc.filterSendAndChecked();
    m_doc.setIsCheckedRecords4Send(!m_doc.sendArrayChecked().isEmpty());
}

qsizetype SendListCommands::checkedRecordsSendN() const
{
    return RecordChecks::countChecked(m_doc.sendArray(), DocumentKeys::checkedInnerKey());
}

bool SendListCommands::updateTheSendArray(SendListRebuilder::Completion done)
{
    return m_doc.sendListRebuilder().request(std::move(done));
}

} // namespace quillcast
