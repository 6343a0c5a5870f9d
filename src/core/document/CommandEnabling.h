#pragma once

#include "document/CommandEnablingState.h"

#include <optional>

namespace quillcast {

// The document's commands whose availability the document decides.
enum class Command {
    addAddress,
    addColumnInTable,
    addExcept,
    addRow,
    importFromTextFile,
    importFromTextFileGeneral,
    removeAddress,
    removeExcept,
    removeRow,
    exportToTextFile,
    exportToTextFileGeneral,
    checkUniqueEmailGeneral,
    checkDuplicateEmailGeneral,
    checkValidEmailGeneral,
    checkUnvalidEmailGeneral,
    checkAllGeneral,
    uncheckAllGeneral,
    checkAllRecords,
    uncheckAllRecords,
    checkDuplicateEmails,
    checkUniqueEmails,
    checkValidEmails,
    checkUnvalidEmails,
    deleteCheckRecords,
    deleteCheckRecordsGeneral,
    addAttachmentPath,
    removeAttachmentPath,
    deleteSelectedKey,
    prepareSelectedRecord,
    sendSelectedRecord,
    prepareCheckedRecords,
    sendCheckedRecords,
    prepareAllRecords,
    sendAllRecords,
    cancelOperation,
    // On the last run's results.
    retryFailedRecords,
    checkFailedRecords,
    exportRunResults,
};

// Which commands are available, from the selected tab and the contents of the
// lists. Menu items and the other controls (toolbar items, buttons) follow two
// rule sets that agree for most commands. Both are one pure function, asked
// afresh each time a menu opens or a control refreshes, by the GUI and the
// tests alike.
class CommandEnabling
{
public:
    enum class Control { MenuItem, ToolbarItem };

    // Whether the command is available; none when the rule set leaves the
    // command to the platform's standard rules for documents.
    static std::optional<bool> isEnabled(Command command, Control control, const CommandEnablingState &state);
};

} // namespace quillcast
