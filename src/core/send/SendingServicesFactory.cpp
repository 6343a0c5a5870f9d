#include "send/SendingServicesFactory.h"

#include "document/MyDocument.h"
#include "platform/QtMainLoop.h"
#include "platform/SystemClock.h"
#include "platform/SystemSleeper.h"
#include "send/CurlSmtpClient.h"
#include "send/DraftFolderMailClient.h"
#include "send/LXMailCoreBridge.h"
#include "send/MessagePreparation.h"
#include "send/RoutingMailClient.h"
#include "send/RunJournalFolder.h"
#include "send/SendmailMailClient.h"
#include "send/ServerSettings.h"

namespace quillcast {

std::unique_ptr<SendingServicesFactory> SendingServicesFactory::forConnections(MyDocument &document,
                                                                               ConnectionProvider &connections,
                                                                               const Clock &clock,
                                                                               const Options &options)
{
    return std::unique_ptr<SendingServicesFactory>(
        new SendingServicesFactory(document, &connections, std::nullopt, clock, options));
}

std::unique_ptr<SendingServicesFactory> SendingServicesFactory::forServer(MyDocument &document,
                                                                          const ServerCredentials &server,
                                                                          const Clock &clock, const Options &options)
{
    return std::unique_ptr<SendingServicesFactory>(
        new SendingServicesFactory(document, nullptr, server, clock, options));
}

SendingServicesFactory::SendingServicesFactory(MyDocument &document, ConnectionProvider *connections,
                                               std::optional<ServerCredentials> server, const Clock &clock,
                                               const Options &options)
    : m_doc(document),
      m_connections(connections),
      m_server(std::move(server)),
      m_transport(options.transport),
      m_journalFolder(options.journalFolder.value_or(RunJournalFolder::standardFolder())),
      m_mainLoop(std::make_unique<QtMainLoop>(&document)),
      m_smtp(std::make_unique<CurlSmtpClient>(CurlSmtpClient::Options::fromEnvironment())),
      m_bridge(std::make_unique<LXMailCoreBridge>(LXMailCoreBridge::Services{*m_smtp, *m_mainLoop, clock})),
      m_drafts(std::make_unique<DraftFolderMailClient>(options.draftsFolder, clock)),
      m_sendmail(std::make_unique<SendmailMailClient>(
          clock, options.sendmailPath.value_or(SendmailMailClient::defaultPath()))),
      m_mailClient(std::make_unique<RoutingMailClient>(*m_drafts, *m_sendmail))
{
}

// Members go in reverse order: the mail clients and the bridge before the
// SMTP client, which ends its workers, before the main loop.
SendingServicesFactory::~SendingServicesFactory() = default;

SendingServices SendingServicesFactory::services() const
{
    SendingServices services;
    services.mailCore = m_bridge.get();
    services.mailClient = m_mailClient.get();
    services.connections = m_connections;
    services.transport = m_transport;
    services.server = m_server;
    services.journalFolder = m_journalFolder;
    return services;
}

Sleeper &SendingServicesFactory::sleeper() const
{
    return SystemSleeper::instance();
}

const Clock &SendingServicesFactory::pacingClock() const
{
    return SystemClock::instance();
}

ServerCredentials SendingServicesFactory::server() const
{
    return ServerSettings(m_doc, m_connections).serverForSending(m_server);
}

bool SendingServicesFactory::sendsThroughServer() const
{
    return MessagePreparation(m_doc, services()).sendsThroughServer();
}

void SendingServicesFactory::abortDeliveries()
{
    m_smtp->abortAll();
}

} // namespace quillcast
