#pragma once

#include "database/RecordListCommands.h"
#include "document/CommandEnablingState.h"

#include <QList>

#include <functional>
#include <optional>

namespace quillcast {

class MyDocument;

// The menu commands that act on the list of the selected tab: the database
// (tab 0), the exception list (tab 1) or, for check all and uncheck all, the
// send list (tab 4). On any other tab they do nothing.
class GeneralCommands
{
public:
    // The list a general command reaches from the selected tab.
    enum class Target { None, Database, ExceptionList, SendList };

    explicit GeneralCommands(MyDocument &document) : m_doc(document) {}

    // Import and export open their own dialogs: the window asks where to.
    Target importFromTextFileGeneral() const { return listTarget(); }
    Target exportToTextFileGeneral() const { return listTarget(); }

    void addRow();
    // Rows of the selected tab's shown view.
    void removeRow(const QList<qsizetype> &selectedRows);
    void checkAllGeneral();
    void uncheckAllGeneral();
    void checkUniqueEmailGeneral();
    void checkDuplicateEmailGeneral();
    void checkValidEmailGeneral();
    void checkUnvalidEmailGeneral();
    // done receives how many records were deleted, -1 when nothing was asked
    // or the user cancelled.
    void deleteCheckRecordsGeneral(std::function<void(qsizetype deleted)> done = {});

    // A checked database record on tab 0, a checked shown exception record on
    // tab 1, false elsewhere.
    bool atLeastOneRecordChecked() const;

    // What the command-enabling rules read now, with the window's selections.
    CommandEnablingState enablingState(bool keyListHasSelection, bool sendListHasSelection) const;

private:
    // Database or exception list only (import, export, add, remove, the address checks).
    Target listTarget() const;
    // The list the selected tab's check commands reach: the database, the
    // exception list, and with withSendList the send list.
    std::optional<RecordListCommands> checkTarget(bool withSendList) const;

    MyDocument &m_doc;
};

} // namespace quillcast
