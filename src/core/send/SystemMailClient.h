#pragma once

#include "util/List.h"
#include "util/Result.h"

#include <QString>

namespace quillcast {

// The user's own mail system: creates a message as a visible draft (send
// false) or hands it over for delivery at once (send true). Plain text only;
// one recipient text, as given, also when it holds several comma-separated
// addresses. attachments are attachment entries (dictionaries with "path"
// and "bookmark"): each is resolved through its bookmark and attached; an
// entry that does not resolve to a regular file that can be read fails the
// message, which is never made without one of its files.
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
    virtual Result<QString> prepareEmailViaMailAppWithBody(const QString &body, const QString &email, const QString &title,
                                                           const QString &from, const List &attachments,
                                                           bool send) = 0;
};

} // namespace quillcast
