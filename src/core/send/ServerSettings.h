#pragma once

#include "send/ServerCredentials.h"

#include <QString>

#include <optional>

namespace quillcast {

class ConnectionProvider;
class MyDocument;

// A document's mail server for sending: the values of the chosen connection
// of the application's list, read anew before every send, checked for
// completeness, and a failed check reported in an alert that leads to the
// preferences.
class ServerSettings
{
public:
    // Check codes.
    enum Code { Complete = 0, EmptyServerName = 1, EmptyUsername = 2, EmptyPassword = 3, WrongPort = 4 };

    // connections may be null: then the list counts as empty.
    ServerSettings(MyDocument &document, ConnectionProvider *connections)
        : m_doc(document), m_connections(connections)
    {
    }

    // The values of the chosen connection; an index beyond the list is
    // repaired to the last connection. None when the list is empty.
    std::optional<ServerCredentials> adjustSendingValueFromPref();
    // The server a send goes through: the one given for the run, or else
    // the chosen connection; with no connection at all an empty server,
    // which the check refuses.
    ServerCredentials serverForSending(const std::optional<ServerCredentials> &given);
    // The first failing check, or Complete.
    static int checkForCorrectServerSetting(const ServerCredentials &server);
    // The alert for a failed check; its first button opens the preferences.
    void presentServerSettingErrorDialog(int code);
    static QString reasonText(int code);
    // After the user chose the transport: the system mail client takes plain
    // text only, so choosing it turns an HTML mailing into a text one.
    void fitMessageKindToTransport();

private:
    MyDocument &m_doc;
    ConnectionProvider *m_connections;
};

} // namespace quillcast
