#pragma once

#include "send/SendingServices.h"
#include "send/ServerCredentials.h"

#include <QString>

#include <memory>

namespace quillcast {

class Clock;
class ConnectionProvider;
class CurlSmtpClient;
class DraftFolderMailClient;
class LXMailCoreBridge;
class MyDocument;
class QtMainLoop;
class RoutingMailClient;
class SendmailMailClient;
class Sleeper;

// Builds the real sending services of one document and keeps them for as
// long as it lives: the SMTP client on libcurl with its bridge, whose answers
// reach the document's thread; the user's mail system, a drafts folder to
// prepare and sendmail to send; the connection list, or a server given for
// one run; and the system's sleeper and clock to pace a send run. A SendRun
// or a preparation that uses the services must be gone before this object.
class SendingServicesFactory
{
public:
    struct Options
    {
        // Where prepared messages are written as .eml drafts.
        QString draftsFolder;
        // The sendmail program; none: SendmailMailClient::defaultPath().
        std::optional<QString> sendmailPath;
        SendingServices::Transport transport = SendingServices::Transport::AsMailingSays;
        // Where send runs keep their journals; none: the user's state folder
        // (RunJournalFolder::standardFolder()), empty: no journal.
        std::optional<QString> journalFolder;
    };

    // Sends through the document's chosen connection of the user's list.
    // clock stamps the Date headers, the drafts and the log lines.
    static std::unique_ptr<SendingServicesFactory> forConnections(MyDocument &document, ConnectionProvider &connections,
                                                                  const Clock &clock, const Options &options);
    // Sends through server, for the runs of these services alone: the
    // document's chosen connection is neither used nor changed.
    static std::unique_ptr<SendingServicesFactory> forServer(MyDocument &document, const ServerCredentials &server,
                                                             const Clock &clock, const Options &options);

    ~SendingServicesFactory();
    SendingServicesFactory(const SendingServicesFactory &) = delete;
    SendingServicesFactory &operator=(const SendingServicesFactory &) = delete;

    SendingServices services() const;
    // The send run's pacing: the system's.
    Sleeper &sleeper() const;
    const Clock &pacingClock() const;

    // The server a send would go through now (the chosen connection is read
    // anew, an index beyond the list repaired).
    ServerCredentials server() const;
    // Whether messages that are sent go to the SMTP server rather than to
    // the user's mail system.
    bool sendsThroughServer() const;
    // Cuts off every SMTP delivery still waiting for the server's answer;
    // each is answered soon after as cancelled.
    void abortDeliveries();

private:
    SendingServicesFactory(MyDocument &document, ConnectionProvider *connections,
                           std::optional<ServerCredentials> server, const Clock &clock, const Options &options);

    MyDocument &m_doc;
    ConnectionProvider *m_connections;
    std::optional<ServerCredentials> m_server;
    SendingServices::Transport m_transport;
    QString m_journalFolder;
    // The main loop outlives the SMTP client, whose last answers are posted
    // to it while the client winds down.
    std::unique_ptr<QtMainLoop> m_mainLoop;
    std::unique_ptr<CurlSmtpClient> m_smtp;
    std::unique_ptr<LXMailCoreBridge> m_bridge;
    std::unique_ptr<DraftFolderMailClient> m_drafts;
    std::unique_ptr<SendmailMailClient> m_sendmail;
    std::unique_ptr<RoutingMailClient> m_mailClient;
};

} // namespace quillcast
