#pragma once

#include "util/List.h"

namespace quillcast {

// What a document asks of the application about mail servers: the user's
// connection list, and the preferences window on a given tab.
class ConnectionProvider
{
public:
    // The tab of the preferences window that holds the mail servers.
    static constexpr int MailServerTab = 1;

    virtual ~ConnectionProvider() = default;
    // The connections in their displayed order, each a dictionary with its
    // password in clear text.
    virtual List connections() const = 0;
    virtual void openPreferencesAtTab(int tab) = 0;
};

} // namespace quillcast
