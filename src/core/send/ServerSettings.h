#pragma once

#include <QString>

namespace quillcast {

class ConnectionProvider;
class MyDocument;

// A document's mail server for sending: the chosen connection of the
// application's list is copied into the document's server properties before
// every send, checked for completeness, and a failed check is reported in an
// alert that leads to the preferences.
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

    // Refreshes the server properties from the chosen connection; an index
    // beyond the list is repaired to the last connection.
    void adjustSendingValueFromPref();
    // The first failing check, or Complete.
    int checkForCorrectServerSetting() const;
    // The alert for a failed check; its first button opens the preferences.
    void presentServerSettingErrorDialog(int code);
    static QString reasonText(int code);
    // After the user chose the transport: the system mail client takes plain
    // text only.
    void changedMetodToSend();

private:
    MyDocument &m_doc;
    ConnectionProvider *m_connections;
};

} // namespace quillcast
