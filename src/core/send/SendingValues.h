#pragma once

#include "send/ServerCredentials.h"
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
    // The same values as the server a send goes through.
    static ServerCredentials serverFromDict(const Dict &connection);
    // Stores the port choice that gives port: 25 and 465 have choices of
    // their own, any other port is a custom one.
    static void setPortChoice(Dict &connection, qint64 port);
};

} // namespace quillcast
