#pragma once

#include "send/ServerCredentials.h"

#include <QString>

#include <optional>

namespace quillcast {

class ConnectionProvider;
class LXMailCoreBridge;
class SystemMailClient;

// What a document's sending needs from outside: the SMTP transport, the
// user's own mail system and the application's connection list. A missing
// transport means messages for it go nowhere.
struct SendingServices
{
    const LXMailCoreBridge *mailCore = nullptr;
    SystemMailClient *mailClient = nullptr;
    ConnectionProvider *connections = nullptr;

    // How messages that are sent leave: as the mailing says, or through the
    // transport chosen for this run alone (on the command line). A choice
    // for one run never changes the mailing: its transport and its kind of
    // message stay as saved.
    enum class Transport { AsMailingSays, MailServer, MailClient };
    Transport transport = Transport::AsMailingSays;

    // The server given for this run alone (on the command line); none: the
    // document's chosen connection of the list, as it is when a send starts.
    std::optional<ServerCredentials> server;

    // Where each send run through the SMTP server keeps its journal
    // (RunJournalFolder), and the mailing's file the journals are named by;
    // an empty folder: runs keep no journal.
    QString journalFolder;
    QString mailingPath;
};

} // namespace quillcast
