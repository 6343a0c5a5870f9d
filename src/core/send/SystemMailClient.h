#pragma once

#include "util/List.h"
#include "util/Result.h"

#include <QString>

namespace quillcast {

// The user's own mail system: creates a message as a visible draft (send
// false) or hands it over for delivery at once (send true). Plain text only;
// one recipient text, as given, also when it holds several comma-separated
// addresses. attachments are attachment entries (dictionaries with "path"
// and "bookmark"): each is resolved through its bookmark, and attached when
// a regular file exists there; other entries are left out without notice.
//
// Called on the send run's worker or on the main thread; returns when the
// message has been handed over. The sending code ignores the result (nothing
// of this path is logged); the command line reports it.
class SystemMailClient
{
public:
    virtual ~SystemMailClient() = default;
    virtual Status prepareEmailViaMailAppWithBody(const QString &body, const QString &email, const QString &title,
                                                  const QString &from, const List &attachments, bool send) = 0;
};

} // namespace quillcast
