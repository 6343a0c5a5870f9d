#include "SendingTestData.h"

#include "platform/SystemClock.h"
#include "send/SendingServicesFactory.h"
#include "send/StaticConnectionProvider.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace quillcast {
namespace {

Dict connection(const QString &host, qint64 customPort)
{
    return Dict{{u"mailServerName"_s, Value(host)},
                {u"useCustomPort"_s, Value(qint64(1))},
                {u"customPortUsed"_s, Value(customPort)},
                {u"connectionType"_s, Value(qint64(2))}};
}

// The services send through the chosen connection of the list (its index
// repaired), or through the server given, which leaves the mailing's choice
// alone; the transport given decides where sent messages go.
TEST(SendingServicesFactory, StoredConnectionOrGivenServer)
{
    StaticConnectionProvider list(
        List({Value(connection(u"first.example.org"_s, 587)), Value(connection(u"second.example.org"_s, 2525))}));
    const ServerCredentials given{.name = u"given.example.org"_s, .port = 465, .connectionType = 2};
    using Transport = SendingServices::Transport;
    const struct
    {
        const char *name;
        bool fromList;
        Transport transport;
        qint64 mailingTransport;
        QString host;
        std::optional<qint64> indexAfter;
        bool throughServer;
    } rows[] = {
        {"list, as the mailing says (server)", true, Transport::AsMailingSays, 1, u"second.example.org"_s, 1, true},
        {"list, as the mailing says (mail client)", true, Transport::AsMailingSays, 0, u"second.example.org"_s, 1,
         false},
        {"given server, to the server", false, Transport::MailServer, 0, u"given.example.org"_s, 7, true},
        {"given server, to sendmail", false, Transport::MailClient, 1, u"given.example.org"_s, 7, false},
    };
    for (const auto &row : rows) {
        MyDocument doc{SystemClock::instance()};
        doc.setSelectedIndexConnection(7);
        doc.setUseMailServerToSend(row.mailingTransport);
        SendingServicesFactory::Options options;
        options.transport = row.transport;
        const auto factory = row.fromList
            ? SendingServicesFactory::forConnections(doc, list, SystemClock::instance(), options)
            : SendingServicesFactory::forServer(doc, given, SystemClock::instance(), options);

        EXPECT_EQ(factory->server().name, row.host) << row.name;
        EXPECT_EQ(doc.selectedIndexConnection(), row.indexAfter) << row.name;
        EXPECT_EQ(factory->sendsThroughServer(), row.throughServer) << row.name;
        const SendingServices services = factory->services();
        EXPECT_TRUE(services.mailCore && services.mailClient) << row.name;
        EXPECT_EQ(services.connections, row.fromList ? &list : nullptr) << row.name;
        EXPECT_EQ(services.server.has_value(), !row.fromList) << row.name;
        EXPECT_EQ(services.transport, row.transport) << row.name;
    }
}

} // namespace
} // namespace quillcast
