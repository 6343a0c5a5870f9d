#pragma once

#include "database/RecordListCommands.h"
#include "document/SendListRebuilder.h"

#include <QtGlobal>

namespace quillcast {

class MyDocument;

// The commands of the send list that the general commands reach on the send
// tab. The send list holds the database's own record objects, so checking a
// record here checks it in the database.
class SendListCommands
{
public:
    explicit SendListCommands(MyDocument &document) : m_doc(document) {}

    // Set "2" of every record of the send list's shown view.
    void checkAllRecords4Send();
    void uncheckAllRecords4Send();
    // Re-evaluates the send list's views and sets isCheckedRecords4Send.
    void updateIsCheckedRecords4Send();
    // The checked records of the whole send list.
    qsizetype checkedRecordsSendN() const;
    // Rebuilds the send list from the database minus the exception list, on a
    // worker; done runs on the document's thread once it is in place.
    bool updateTheSendArray(SendListRebuilder::Completion done = {});

private:
    RecordListCommands list() const;

    MyDocument &m_doc;
};

} // namespace quillcast
