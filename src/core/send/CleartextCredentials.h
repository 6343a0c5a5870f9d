#pragma once

#include "util/Dict.h"

#include <QString>

namespace quillcast {

// Whether a mail server account would send its user name and password
// unencrypted over the network: authentication with credentials, the
// unencrypted connection type, and a server other than this machine's
// loopback address (where nothing leaves the machine).
class CleartextCredentials
{
public:
    static bool wouldTravelInClear(const QString &host, qint64 connectionType, bool useAuth, const QString &username,
                                   const QString &password);
    // From the sending values of a connection (SendingValues::GetSendingValueFromDict).
    static bool wouldTravelInClear(const Dict &sendingValues);
    // localhost, 127.0.0.0/8 and ::1 (also as an IPv4-mapped address or in brackets).
    static bool isLoopbackHost(const QString &host);
    // What to tell the user, naming the server.
    static QString warning(const QString &host);
};

} // namespace quillcast
