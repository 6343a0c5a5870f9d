#include "SendingTestData.h"
#include "TestFiles.h"

#include "ScriptedAlertPresenter.h"
#include "platform/SystemClock.h"
#include "send/SendRun.h"
#include "send/SendingServicesFactory.h"
#include "send/StaticConnectionProvider.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace quillcast {
namespace {

using sendtest::record;

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

// A run on the real services: preparing writes a draft into the folder,
// sending through the mail system pipes the message to the sendmail program
// (here a script keeping what it was given).
TEST(SendingServicesFactory, RunsPrepareDraftsAndSendThroughSendmail)
{
    sendtest::application();
    QTemporaryDir dir;
    const QString drafts = dir.filePath(u"drafts"_s);
    ASSERT_TRUE(QDir().mkpath(drafts));
    const QString received = dir.filePath(u"received.eml"_s);
    const QString sendmail = dir.filePath(u"fake-sendmail"_s);
    ASSERT_TRUE(testing::writeScript(sendmail, u"cat > \"%1\"\n"_s.arg(received)));

    MyDocument doc{SystemClock::instance()};
    sendtest::setUp(doc, {record(1, true, u"ann@example.org"_s, u"Ann"_s)});
    doc.setMailFormFrom(u"office@example.org"_s);
    doc.setMailFormSubject(u"Hello _Name_"_s);
    doc.setMailFormBody(u"Dear _Name_"_s);
    ScriptedAlertPresenter presenter;
    doc.setAlertPresenter(&presenter);

    SendingServicesFactory::Options options;
    options.draftsFolder = drafts;
    options.sendmailPath = sendmail;
    options.transport = SendingServices::Transport::MailClient;
    const auto factory = SendingServicesFactory::forServer(
        doc, ServerCredentials{.name = u"127.0.0.1"_s, .port = 25}, SystemClock::instance(), options);
    SendRun run(doc, factory->services(), factory->sleeper(), factory->pacingClock());

    run.prepareAllRecords();
    run.waitForFinished();
    const QStringList written = QDir(drafts).entryList({u"*.eml"_s}, QDir::Files);
    ASSERT_EQ(written.size(), 1);
    EXPECT_TRUE(testing::fileContents(QDir(drafts).filePath(written.first())).contains("Subject: Hello Ann"));
    EXPECT_FALSE(QFile::exists(received));

    run.sendAllRecords();
    run.waitForFinished();
    EXPECT_TRUE(testing::fileContents(received).contains("Dear Ann"));
    EXPECT_EQ(QDir(drafts).entryList({u"*.eml"_s}, QDir::Files).size(), 1);
    EXPECT_EQ(run.launchedCount(), 2);
    EXPECT_EQ(run.handedToMailClientCount(), 1);
    sendtest::drainEvents();
}

} // namespace
} // namespace quillcast
