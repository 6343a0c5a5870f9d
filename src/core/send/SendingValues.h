#pragma once

#include "util/Dict.h"

namespace quillcast {

// The effective values with which a connection is used: the description,
// server, user name, password, port, encryption and whether to authenticate.
class SendingValues
{
public:
    // Exactly seven keys: mailServerDescription, mailServerName, username,
    // password, port, connectionType, useAuth.
    static Dict GetSendingValueFromDict(const Dict &connection);
};

} // namespace quillcast
