#include "platform/FixedClock.h"
#include "platform/ManualMainLoop.h"
#include "FakeSmtpClient.h"
#include "send/LXMailCoreBridge.h"
#include "document/LogTimeStamp.h"

#include "CapturedMessages.h"
#include "TestFiles.h"
#include "TestPrinters.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

using namespace Qt::StringLiterals;

namespace quillcast {
namespace {

using Security = SmtpSettings::Security;
using Auth = SmtpSettings::Auth;

// ---- Session settings -------------------------------------------------------

TEST(SessionSettings, SendAndCheckFollowTheConnection)
{
    const struct
    {
        const char *name;
        qint32 connectionType;
        bool usePw;
        Security security;
        Auth auth;
        std::optional<QString> username;
        std::optional<QString> password;
    } rows[] = {
        {"clear without auth drops the credentials", 0, false, Security::Clear, Auth::None, {}, {}},
        {"clear with auth", 0, true, Security::Clear, Auth::SaslPlain, u"ann"_s, u"pw"_s},
        {"STARTTLS without auth", 1, false, Security::StartTls, Auth::None, {}, {}},
        {"STARTTLS with auth", 1, true, Security::StartTls, Auth::SaslPlain, u"ann"_s, u"pw"_s},
        {"TLS with auth", 2, true, Security::Tls, Auth::SaslPlain, u"ann"_s, u"pw"_s},
        {"unknown type reads as clear", 9, false, Security::Clear, Auth::None, {}, {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        for (const SmtpSettings &s :
             {LXMailCoreBridge::sessionForSend(u"smtp.example.test"_s, 587, row.connectionType, row.usePw, u"ann"_s, u"pw"_s),
              LXMailCoreBridge::sessionForCheck(u"smtp.example.test"_s, 587, row.connectionType, row.usePw, u"ann"_s,
                                                u"pw"_s)}) {
            EXPECT_EQ(s.connectionType, row.security);
            EXPECT_EQ(s.authType, row.auth);
            EXPECT_EQ(s.username, row.username);
            EXPECT_EQ(s.password, row.password);
        }
    }
}

// A check that passes against an impostor would vouch for a server that then
// gets the password with every send: both verify the certificate.
TEST(SessionSettings, SendAndCheckDifferInTimeOutGreetingAndToken)
{
    const SmtpSettings send = LXMailCoreBridge::sessionForSend(u"h"_s, 465, 2, true, u"a"_s, u"b"_s);
    EXPECT_FALSE(send.timeoutSeconds.has_value());
    EXPECT_TRUE(send.checkCertificate);
    EXPECT_FALSE(send.oauth2Token.has_value());

    const SmtpSettings check = LXMailCoreBridge::sessionForCheck(u"h"_s, 465, 2, true, u"a"_s, u"b"_s);
    EXPECT_EQ(check.timeoutSeconds, 15);
    EXPECT_TRUE(check.useHeloIp);
    EXPECT_EQ(check.oauth2Token, u""_s);
    EXPECT_TRUE(check.checkCertificate);
}

// The Outlook rule applies to the account check only, with or without a login.
TEST(SessionSettings, ProviderRuleAppliesToTheCheckOnly)
{
    const struct { QString host; bool useAuth; Auth checkAuth; } rows[] = {
        {u"smtp-mail.outlook.com"_s, true, Auth::XOAuth2Outlook},
        {u" \tSMTP-Mail.Outlook.COM\r\n"_s, true, Auth::XOAuth2Outlook},
        {u"outlook.com"_s, true, Auth::XOAuth2Outlook},
        {u"smtp.outlook.com"_s, false, Auth::XOAuth2Outlook},
        {u"mail.notoutlook.com"_s, true, Auth::SaslPlain},
        {u"smtp.gmail.com"_s, true, Auth::SaslPlain},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.host.toStdString());
        EXPECT_EQ(LXMailCoreBridge::sessionForCheck(row.host, 587, 1, row.useAuth, u"a"_s, u"b"_s).authType, row.checkAuth);
        EXPECT_EQ(LXMailCoreBridge::sessionForSend(row.host, 587, 1, true, u"a"_s, u"b"_s).authType, Auth::SaslPlain);
    }
}

// ---- Message content -----------------------------------------------------------

// The recipient text is split at commas; a sender or recipient text in the
// named form gives its name and address, and names given apart are kept. A
// list of addresses stays a list. Both forms alike.
TEST(MessageContentForms, SenderAndRecipientTextsGiveNamesAndAddresses)
{
    const QString me = u"me@x.test"_s;
    const struct
    {
        const char *name;
        QString from;
        QString fromName;
        QString to;
        QString toName;
        MailAddress sender;
        QList<MailAddress> recipients;
    } rows[] = {
        {"one", me, QString(), u"ann@x.test"_s, QString(), {QString(), me}, {{QString(), u"ann@x.test"_s}}},
        {"spaces at both ends", me, QString(), u"  ann@x.test ,bob@y.test  "_s, QString(), {QString(), me},
         {{QString(), u"ann@x.test"_s}, {QString(), u"bob@y.test"_s}}},
        {"trailing comma gives an empty mailbox", me, QString(), u"ann@x.test,"_s, QString(), {QString(), me},
         {{QString(), u"ann@x.test"_s}, {QString(), QString()}}},
        {"tabs are not spaces", me, QString(), u"\tann@x.test"_s, QString(), {QString(), me},
         {{QString(), u"\tann@x.test"_s}}},
        {"names given apart", me, u"Office"_s, u"a@x.test"_s, u"Ann"_s, {u"Office"_s, me}, {{u"Ann"_s, u"a@x.test"_s}}},
        {"named sender", u"Bibliothèque Municipale <news@example.org>"_s, QString(), u"a@x.test"_s, QString(),
         {u"Bibliothèque Municipale"_s, u"news@example.org"_s}, {{QString(), u"a@x.test"_s}}},
        {"quoted names", u"\"Doe, Jane\" <jane@x.test>"_s, QString(), u" \"O'Brien, Seán\" <o'brien@y.test> "_s,
         QString(), {u"Doe, Jane"_s, u"jane@x.test"_s}, {{u"O'Brien, Seán"_s, u"o'brien@y.test"_s}}},
        {"brackets without a name", u"<jane@x.test>"_s, QString(), u"<a@x.test>"_s, QString(),
         {QString(), u"jane@x.test"_s}, {{QString(), u"a@x.test"_s}}},
        {"bare sender is kept as given", u" me@x.test"_s, QString(), u"a@x.test, b@y.test"_s, QString(),
         {QString(), u" me@x.test"_s}, {{QString(), u"a@x.test"_s}, {QString(), u"b@y.test"_s}}},
        {"named pieces of a list stay pieces", me, QString(), u"Ann <a@x.test>, b@y.test"_s, QString(),
         {QString(), me}, {{QString(), u"Ann <a@x.test>"_s}, {QString(), u"b@y.test"_s}}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const MessageContent text = LXMailCoreBridge::textMessageContent(u"b"_s, List(), row.from, row.fromName, row.to,
                                                                         row.toName, u"s"_s);
        EXPECT_EQ(text.from, row.sender);
        if (row.toName.isEmpty()) { // the text form takes no recipient name
            EXPECT_EQ(text.to, row.recipients);
        }
        const MessageContent html = LXMailCoreBridge::htmlMessageContent(u"h"_s, u"t"_s, List(), row.from,
                                                                         row.fromName, row.to, row.toName, u"s"_s);
        EXPECT_EQ(html.from, row.sender);
        EXPECT_EQ(html.to, row.recipients);
    }
}

// ---- Sends -------------------------------------------------------------------

class BridgeSend : public ::testing::Test
{
protected:
    BridgeSend() : clock(QDateTime(QDate(2025, 4, 1), QTime(12, 0), QTimeZone::utc())), bridge({client, loop, clock})
    {
    }

    void sendText(const QString &to, const List &attachments = List())
    {
        bridge.sendTextBody(u"Hello"_s, attachments, u"office@x.test"_s, QString(), to, QString(), u"Subject"_s,
                            u"smtp.example.test"_s, 587, 1, true, u"ann"_s, u"pw"_s,
                            [this](const LXMailCoreBridge::SendReport &r) { reports.append(r); });
    }

    FakeSmtpClient client;
    ManualMainLoop loop;
    FixedClock clock;
    LXMailCoreBridge bridge;
    QList<LXMailCoreBridge::SendReport> reports;
};

// The envelope goes to every non-empty recipient, and never carries a
// display name: the server would refuse "MAIL FROM:<Name <address>>", and
// the client refuses to send it at all.
TEST_F(BridgeSend, EnvelopeCarriesTheBareAddressesOfEveryNonEmptyRecipient)
{
    sendText(u"a@x.test, ,b@y.test"_s);
    ASSERT_EQ(client.calls().size(), 1);
    EXPECT_EQ(client.calls().first().envelopeFrom, u"office@x.test"_s);
    EXPECT_EQ(client.calls().first().envelopeTo, (QStringList{u"a@x.test"_s, u"b@y.test"_s}));
    bridge.sendHtmlBody(u"<p>Hello</p>"_s, u"Hello"_s, List(), u"Bibliothèque Municipale <news@example.org>"_s,
                        QString(), u"Seán O'Brien <o'brien@example.ie>"_s, QString(), u"Subject"_s,
                        u"smtp.example.test"_s, 587, 1, false, QString(), QString(),
                        [this](const LXMailCoreBridge::SendReport &r) { reports.append(r); });
    ASSERT_EQ(client.calls().size(), 2);
    EXPECT_EQ(client.calls().last().envelopeFrom, u"news@example.org"_s);
    EXPECT_EQ(client.calls().last().envelopeTo, QStringList{u"o'brien@example.ie"_s});
    const QByteArray message = client.calls().last().message;
    EXPECT_TRUE(message.contains("\r\nFrom: =?UTF-8?Q?Biblioth=C3=A8que?= Municipale <news@example.org>\r\n"))
        << message.toStdString();
    EXPECT_TRUE(message.contains("\r\nTo: =?UTF-8?Q?Se=C3=A1n?= O'Brien <o'brien@example.ie>\r\n"))
        << message.toStdString();
}

// The words of a failure are checked against a real server by the
// integration suite; here, the stamp is the time of the answer.
TEST_F(BridgeSend, SuccessIsLoggedWithTheStampOfTheAnswerAndTheRecipientTextAsGiven)
{
    sendText(u"a@x.test, b@y.test"_s);
    clock.advance(3 * 60 * 1000);
    client.complete(0);
    loop.runPending();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports.first().logLine,
              LogTimeStamp::now(clock) + u" Email sent via smtp.example.test to a@x.test, b@y.test\n"_s);
    EXPECT_TRUE(reports.first().succeeded);
}

// An answer given at once, or from a worker thread, runs on the main loop,
// and only once.
TEST_F(BridgeSend, AnswerArrivesOnTheMainLoopExactlyOnce)
{
    client.completeAtOnce(std::nullopt);
    sendText(u"a@x.test"_s);
    EXPECT_TRUE(reports.isEmpty());
    loop.runPending();
    loop.runPending();
    EXPECT_EQ(reports.size(), 1);

    client.holdCompletions();
    sendText(u"b@x.test"_s);
    std::thread worker([this] { client.complete(1); });
    worker.join();
    EXPECT_EQ(reports.size(), 1);
    EXPECT_EQ(loop.runPending(), 1);
    EXPECT_EQ(reports.size(), 2);
}

TEST_F(BridgeSend, UnreadableAttachmentIsLoggedWithoutContactingTheServer)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"gone.pdf"_s);
    ASSERT_TRUE(testing::writeFile(path, "%PDF"));
    const Value entry = testing::attachmentEntry(path);
    QFile::remove(path);

    sendText(u"a@x.test"_s, List({entry}));
    loop.runPending();
    EXPECT_TRUE(client.calls().isEmpty());
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports.first().logLine.startsWith(LogTimeStamp::now(clock)
                                                   + u" Error sending email via smtp.example.test : "_s));
}

// ---- Account check -----------------------------------------------------------

class BridgeCheck : public BridgeSend
{
protected:
    void check()
    {
        bridge.canConnectToServer(u"smtp.example.test"_s, u"ann@x.test"_s, u"pw"_s, 465, 2, true,
                                  [this](bool ok, const QString &id) { results.append({ok, id}); }, u"req-7"_s);
    }

    testing::CapturedMessages systemLog;
    QList<QPair<bool, QString>> results;
};

TEST_F(BridgeCheck, PassAsksFromTheUserNameAndLogsNothing)
{
    check();
    ASSERT_EQ(client.calls().size(), 1);
    EXPECT_EQ(client.calls().first().envelopeFrom, u"ann@x.test"_s);
    client.complete(0);
    loop.runPending();
    EXPECT_EQ(results, (QList<QPair<bool, QString>>{{true, u"req-7"_s}}));
    EXPECT_TRUE(systemLog.lines().isEmpty());
}

TEST_F(BridgeCheck, FailureReportsNoOnTheMainLoopAndGoesToTheSystemLogFullThenLocalized)
{
    check();
    client.complete(0, SmtpFailure{u"short"_s, u"long"_s});
    EXPECT_TRUE(results.isEmpty());
    loop.runPending();
    EXPECT_EQ(results, (QList<QPair<bool, QString>>{{false, u"req-7"_s}}));
    EXPECT_EQ(systemLog.lines(), (QStringList{u"Failed check SMTP account at smtp.example.test : long"_s,
                                              u"Failed check SMTP account at smtp.example.test : short"_s}));
}

} // namespace
} // namespace quillcast
