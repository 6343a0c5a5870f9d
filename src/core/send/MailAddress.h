#pragma once

#include <QString>

namespace quillcast {

// One address of a message header: an optional display name and a mailbox.
struct MailAddress
{
    QString displayName;
    QString mailbox;

    friend bool operator==(const MailAddress &, const MailAddress &) = default;
};

} // namespace quillcast
