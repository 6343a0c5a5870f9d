#pragma once

#include "send/MessageContent.h"
#include "util/Result.h"

#include <QString>

namespace quillcast {

// The user's own mail system: creates a message as a visible draft (send
// false) or hands it over for delivery at once (send true). The content is
// the message exactly as the SMTP transport would send it (HTML with its
// text alternative, attachments by their files); a client that can carry a
// whole message (a drafts folder, sendmail) builds it with the same builder,
// so that the same record gives the same MIME whatever the transport.
// email is the recipient text as the user gave it, for the outcome line.
//
// Called on the send run's worker or on the main thread; returns when the
// message has been handed over. The outcome is what the document's log says
// of the message, without time stamp and line feed: on success what was done
// ("Email sent via sendmail to …", "Email to …: draft written to …"), on
// failure the error with its reason ("Error sending email via sendmail to …
// : …").
class SystemMailClient
{
public:
    virtual ~SystemMailClient() = default;
    virtual Result<QString> prepareEmailViaMailApp(const MessageContent &content, const QString &email,
                                                   bool send) = 0;
};

} // namespace quillcast
