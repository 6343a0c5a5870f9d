#include "document/CommandEnabling.h"

namespace quillcast {

std::optional<bool> CommandEnabling::isEnabled(Command command, Control control, const CommandEnablingState &s)
{
    const bool menu = control == Control::MenuItem;
    const int t = s.selectedTab;
    const bool databaseWithRecords = t == 0 && s.addressCount > 0;
    const bool exceptionsWithRecords = t == 1 && s.exceptCount > 0;
    const bool databaseOrExceptions = t == 0 || t == 1;
    const bool databaseOrPreviewWithRecords = (t == 0 || t == 3) && s.addressCount > 0;
    const std::optional<bool> notListed;

    switch (command) {
    case Command::addAddress:
    case Command::addColumnInTable:
        return t == 0;
    case Command::addExcept:
        return t == 1;
    case Command::addRow:
    case Command::importFromTextFile:
        return databaseOrExceptions;
    case Command::importFromTextFileGeneral:
        return menu ? notListed : databaseOrExceptions;
    case Command::removeAddress:
        return databaseWithRecords;
    case Command::removeExcept:
        return exceptionsWithRecords;
    case Command::removeRow:
        return databaseWithRecords || exceptionsWithRecords;
    case Command::exportToTextFile:
        return menu ? (databaseWithRecords || exceptionsWithRecords) : databaseWithRecords;
    case Command::exportToTextFileGeneral:
    case Command::checkUniqueEmailGeneral:
    case Command::checkDuplicateEmailGeneral:
    case Command::checkValidEmailGeneral:
    case Command::checkUnvalidEmailGeneral:
        return menu ? notListed : std::optional<bool>(databaseWithRecords || exceptionsWithRecords);
    case Command::checkAllGeneral:
        if (menu)
            return t == 0 || t == 1 || t == 4;
        return databaseWithRecords || exceptionsWithRecords || (t == 4 && s.sendCount > 0);
    case Command::uncheckAllGeneral:
        if (menu)
            return notListed;
        return databaseWithRecords || exceptionsWithRecords || (t == 4 && s.sendCount > 0);
    case Command::checkAllRecords:
    case Command::uncheckAllRecords:
        return databaseOrPreviewWithRecords;
    case Command::checkDuplicateEmails:
    case Command::checkUniqueEmails:
    case Command::checkValidEmails:
    case Command::checkUnvalidEmails:
        return menu ? std::optional<bool>(databaseOrPreviewWithRecords) : notListed;
    case Command::deleteCheckRecords:
        return t == 0 && s.atLeastOneRecordChecked;
    case Command::deleteCheckRecordsGeneral:
        return menu ? notListed : std::optional<bool>(s.atLeastOneRecordChecked);
    case Command::addAttachmentPath:
        return t == 2;
    case Command::removeAttachmentPath:
        return t == 2 && s.attachmentCount > 0;
    case Command::deleteSelectedKey:
        if (menu)
            return notListed;
        return t == 0 && s.keyListHasSelection && s.canRemoveKeyListElement;
    case Command::prepareSelectedRecord:
    case Command::sendSelectedRecord:
        return menu ? std::optional<bool>(t == 4 && s.sendListHasSelection) : notListed;
    case Command::prepareCheckedRecords:
    case Command::sendCheckedRecords:
        return menu ? std::optional<bool>(t == 4 && s.isCheckedRecords4Send) : notListed;
    case Command::prepareAllRecords:
    case Command::sendAllRecords:
        return menu ? std::optional<bool>(t == 4 && s.sendCount > 0) : notListed;
    case Command::cancelOperation:
        return menu ? std::optional<bool>(t == 4 && s.preparingSending) : notListed;
    // A retry is a run; checking changes the flags a run reads.
    case Command::retryFailedRecords:
        return t == 4 && !s.preparingSending && s.lastRunRetryable > 0;
    case Command::checkFailedRecords:
        return t == 4 && !s.preparingSending && s.lastRunFailedRecords > 0;
    case Command::exportRunResults:
        return t == 4 && s.lastRunHasResults;
    }
    return notListed;
}

} // namespace quillcast
