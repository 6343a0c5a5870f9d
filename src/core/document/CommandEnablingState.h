#pragma once

#include <QtGlobal>

namespace quillcast {

// What the command-enabling rules read of a document and its window at one
// moment (see CommandEnabling).
struct CommandEnablingState
{
    // 0 database, 1 exception list, 2 mail form, 3 preview, 4 send.
    int selectedTab = 0;
    // Records of the full lists, whatever the searches show, and attachments.
    qsizetype addressCount = 0;
    qsizetype exceptCount = 0;
    qsizetype sendCount = 0;
    qsizetype attachmentCount = 0;
    // atLeastOneRecordChecked: a checked database record on the database tab,
    // a checked shown exception record on the exception tab, else false.
    bool atLeastOneRecordChecked = false;
    bool isCheckedRecords4Send = false;
    bool preparingSending = false;
    bool canRemoveKeyListElement = false;
    // Window state: the key list has a selection; a send-list row is selected.
    bool keyListHasSelection = false;
    bool sendListHasSelection = false;
    // The results of the mailing's last send run shown: whether there are
    // any, the messages a retry sends again (failed, refused for now), and
    // the records whose message failed or was refused.
    bool lastRunHasResults = false;
    qint64 lastRunRetryable = 0;
    qint64 lastRunFailedRecords = 0;
};

} // namespace quillcast
