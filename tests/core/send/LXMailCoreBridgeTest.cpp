#include "platform/FixedClock.h"
#include "platform/LXBookmark.h"
#include "platform/ManualMainLoop.h"
#include "send/FakeSmtpClient.h"
#include "send/LXMailCoreBridge.h"
#include "send/LogTimeStamp.h"

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

struct SessionRow
{
    const char *name;
    qint32 connectionType;
    bool usePw;
    Security security;
    Auth auth;
    std::optional<QString> username;
    std::optional<QString> password;
};

class SessionTable : public ::testing::TestWithParam<SessionRow>
{
};

TEST_P(SessionTable, SendSessionFollowsTheConnection)
{
    const SessionRow &row = GetParam();
    const SmtpSettings s = LXMailCoreBridge::sessionForSend(u"smtp.example.test"_s, 587, row.connectionType,
                                                            row.usePw, u"ann"_s, u"pw"_s);
    EXPECT_EQ(s.connectionType, row.security);
    EXPECT_EQ(s.authType, row.auth);
    EXPECT_EQ(s.username, row.username);
    EXPECT_EQ(s.password, row.password);
}

TEST_P(SessionTable, CheckSessionFollowsTheConnectionToo)
{
    const SessionRow &row = GetParam();
    const SmtpSettings s = LXMailCoreBridge::sessionForCheck(u"smtp.example.test"_s, 587, row.connectionType,
                                                             row.usePw, u"ann"_s, u"pw"_s);
    EXPECT_EQ(s.connectionType, row.security);
    EXPECT_EQ(s.authType, row.auth);
    EXPECT_EQ(s.username, row.username);
    EXPECT_EQ(s.password, row.password);
}

INSTANTIATE_TEST_SUITE_P(
    Connections, SessionTable,
    ::testing::Values(
        SessionRow{"ClearWithoutAuthDropsTheCredentials", 0, false, Security::Clear, Auth::None, {}, {}},
        SessionRow{"ClearWithAuth", 0, true, Security::Clear, Auth::SaslPlain, u"ann"_s, u"pw"_s},
        SessionRow{"StartTlsWithoutAuth", 1, false, Security::StartTls, Auth::None, {}, {}},
        SessionRow{"StartTlsWithAuth", 1, true, Security::StartTls, Auth::SaslPlain, u"ann"_s, u"pw"_s},
        SessionRow{"TlsWithAuth", 2, true, Security::Tls, Auth::SaslPlain, u"ann"_s, u"pw"_s},
        SessionRow{"UnknownTypeReadsAsClear", 9, false, Security::Clear, Auth::None, {}, {}}),
    [](const ::testing::TestParamInfo<SessionRow> &row) { return std::string(row.param.name); });

TEST(SessionSettings, SendLeavesTimeOutToTheClientAndVerifiesCertificates)
{
    const SmtpSettings s = LXMailCoreBridge::sessionForSend(u"h"_s, 25, 0, false, {}, {});
    EXPECT_FALSE(s.timeoutSeconds.has_value());
    EXPECT_TRUE(s.checkCertificate);
    EXPECT_FALSE(s.oauth2Token.has_value());
}

TEST(SessionSettings, CheckWaitsFifteenSecondsGreetsWithIpAndHasEmptyToken)
{
    const SmtpSettings s = LXMailCoreBridge::sessionForCheck(u"h"_s, 25, 0, false, {}, {});
    EXPECT_EQ(s.timeoutSeconds, 15);
    EXPECT_TRUE(s.useHeloIp);
    EXPECT_EQ(s.oauth2Token, u""_s);
}

// A check that passes against an impostor would vouch for a server that then
// gets the password with every send.
TEST(SessionSettings, CheckVerifiesTheCertificate)
{
    EXPECT_TRUE(LXMailCoreBridge::sessionForCheck(u"h"_s, 465, 2, true, u"a"_s, u"b"_s).checkCertificate);
}

struct ProviderRow
{
    const char *name;
    QString host;
    Auth checkAuth;
};

class ProviderRule : public ::testing::TestWithParam<ProviderRow>
{
};

TEST_P(ProviderRule, AppliesToTheCheckOnly)
{
    const ProviderRow &row = GetParam();
    EXPECT_EQ(LXMailCoreBridge::sessionForCheck(row.host, 587, 1, true, u"a"_s, u"b"_s).authType, row.checkAuth);
    EXPECT_EQ(LXMailCoreBridge::sessionForSend(row.host, 587, 1, true, u"a"_s, u"b"_s).authType, Auth::SaslPlain);
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, ProviderRule,
    ::testing::Values(ProviderRow{"OutlookHost", u"smtp-mail.outlook.com"_s, Auth::XOAuth2Outlook},
                      ProviderRow{"SpacesLineEndsAndCapitals", u" \tSMTP-Mail.Outlook.COM\r\n"_s,
                                  Auth::XOAuth2Outlook},
                      ProviderRow{"TheDomainItself", u"outlook.com"_s, Auth::XOAuth2Outlook},
                      ProviderRow{"SameLettersOtherDomain", u"mail.notoutlook.com"_s, Auth::SaslPlain},
                      ProviderRow{"OtherProvider", u"smtp.gmail.com"_s, Auth::SaslPlain}),
    [](const ::testing::TestParamInfo<ProviderRow> &row) { return std::string(row.param.name); });

TEST(SessionSettings, ProviderRuleAppliesEvenWithoutAuthentication)
{
    EXPECT_EQ(LXMailCoreBridge::sessionForCheck(u"smtp.outlook.com"_s, 587, 1, false, u"a"_s, u"b"_s).authType,
              Auth::XOAuth2Outlook);
}

// ---- Recipients --------------------------------------------------------------

QStringList mailboxes(const QList<MailAddress> &addresses)
{
    QStringList out;
    for (const MailAddress &a : addresses)
        out.append(a.mailbox);
    return out;
}

struct RecipientRow
{
    const char *name;
    QString to;
    QStringList mailboxes;
};

class RecipientSplitting : public ::testing::TestWithParam<RecipientRow>
{
};

TEST_P(RecipientSplitting, TextForm)
{
    const MessageContent c = LXMailCoreBridge::textMessageContent(u"b"_s, List(), u"me@x.test"_s, QString(),
                                                                  GetParam().to, QString(), u"s"_s);
    EXPECT_EQ(mailboxes(c.to), GetParam().mailboxes);
}

TEST_P(RecipientSplitting, HtmlFormDeliversToEveryAddressAlike)
{
    const MessageContent c = LXMailCoreBridge::htmlMessageContent(
        u"<p>b</p>"_s, u"b"_s, List(), u"me@x.test"_s, QString(), GetParam().to, QString(), u"s"_s);
    EXPECT_EQ(mailboxes(c.to), GetParam().mailboxes);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RecipientSplitting,
    ::testing::Values(
        RecipientRow{"One", u"ann@x.test"_s, {u"ann@x.test"_s}},
        RecipientRow{"TwoWithSpace", u"ann@x.test, bob@y.test"_s, {u"ann@x.test"_s, u"bob@y.test"_s}},
        RecipientRow{"SpacesAtBothEnds", u"  ann@x.test ,bob@y.test  "_s, {u"ann@x.test"_s, u"bob@y.test"_s}},
        RecipientRow{"TrailingCommaGivesEmptyMailbox", u"ann@x.test,"_s, {u"ann@x.test"_s, u""_s}},
        RecipientRow{"TabsAreNotSpaces", u"\tann@x.test"_s, {u"\tann@x.test"_s}}),
    [](const ::testing::TestParamInfo<RecipientRow> &row) { return std::string(row.param.name); });

TEST(MessageContentForms, SenderCarriesItsDisplayName)
{
    const MessageContent c = LXMailCoreBridge::textMessageContent(u"b"_s, List(), u"me@x.test"_s, u"Office"_s,
                                                                  u"a@x.test"_s, QString(), u"s"_s);
    EXPECT_EQ(c.from, (MailAddress{u"Office"_s, u"me@x.test"_s}));
}

TEST(MessageContentForms, HtmlFormNamesASingleRecipient)
{
    const MessageContent c = LXMailCoreBridge::htmlMessageContent(u"h"_s, u"t"_s, List(), u"me@x.test"_s,
                                                                  QString(), u"a@x.test"_s, u"Ann"_s, u"s"_s);
    EXPECT_EQ(c.to, (QList<MailAddress>{{u"Ann"_s, u"a@x.test"_s}}));
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

TEST_F(BridgeSend, EnvelopeGoesFromTheSenderToEveryNonEmptyRecipient)
{
    sendText(u"a@x.test, ,b@y.test"_s);
    ASSERT_EQ(client.calls().size(), 1);
    EXPECT_EQ(client.calls().first().envelopeFrom, u"office@x.test"_s);
    EXPECT_EQ(client.calls().first().envelopeTo, (QStringList{u"a@x.test"_s, u"b@y.test"_s}));
}

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

TEST_F(BridgeSend, FailureIsLoggedWithTheServersWords)
{
    sendText(u"x@reject.test"_s);
    client.complete(0, SmtpFailure{u"The server refused the recipient <x@reject.test>: 550 5.1.1 no"_s, u"full"_s});
    loop.runPending();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(reports.first().logLine,
              LogTimeStamp::now(clock)
                  + u" Error sending email via smtp.example.test : "
                    u"The server refused the recipient <x@reject.test>: 550 5.1.1 no\n"_s);
    EXPECT_FALSE(reports.first().succeeded);
}

TEST_F(BridgeSend, AnswerWaitsForTheMainLoop)
{
    client.completeAtOnce(std::nullopt);
    sendText(u"a@x.test"_s);
    EXPECT_TRUE(reports.isEmpty());
}

TEST_F(BridgeSend, AnswerArrivesExactlyOnce)
{
    client.completeAtOnce(std::nullopt);
    sendText(u"a@x.test"_s);
    loop.runPending();
    loop.runPending();
    EXPECT_EQ(reports.size(), 1);
}

TEST_F(BridgeSend, AnswerFromAWorkerThreadStillRunsOnTheMainLoop)
{
    sendText(u"a@x.test"_s);
    std::thread worker([this] { client.complete(0); });
    worker.join();
    EXPECT_TRUE(reports.isEmpty());
    EXPECT_EQ(loop.runPending(), 1);
}

TEST_F(BridgeSend, UnreadableAttachmentIsLoggedWithoutContactingTheServer)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"gone.pdf"_s);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("%PDF");
    }
    const std::optional<QByteArray> bookmark = LXBookmark::bookmarkForURL_RO(path);
    ASSERT_TRUE(bookmark.has_value());
    QFile::remove(path);

    sendText(u"a@x.test"_s, List({Value(Dict{{u"path"_s, path}, {u"bookmark"_s, *bookmark}})}));
    loop.runPending();
    EXPECT_TRUE(client.calls().isEmpty());
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports.first().logLine.startsWith(LogTimeStamp::now(clock)
                                                   + u" Error sending email via smtp.example.test : "_s));
}

// ---- Account check -----------------------------------------------------------

QStringList &systemLog()
{
    static QStringList lines;
    return lines;
}

void collectSystemLog(QtMsgType, const QMessageLogContext &, const QString &message)
{
    systemLog().append(message);
}

class BridgeCheck : public BridgeSend
{
protected:
    void check()
    {
        bridge.canConnectToServer(u"smtp.example.test"_s, u"ann@x.test"_s, u"pw"_s, 465, 2, true,
                                  [this](bool ok, const QString &id) { results.append({ok, id}); }, u"req-7"_s);
    }

    void SetUp() override
    {
        systemLog().clear();
        previous = qInstallMessageHandler(collectSystemLog);
    }
    void TearDown() override { qInstallMessageHandler(previous); }

    QtMessageHandler previous = nullptr;
    QList<QPair<bool, QString>> results;
};

TEST_F(BridgeCheck, AsksFromTheUserName)
{
    check();
    ASSERT_EQ(client.calls().size(), 1);
    EXPECT_EQ(client.calls().first().envelopeFrom, u"ann@x.test"_s);
}

TEST_F(BridgeCheck, PassReportsYesWithTheRequestAndLogsNothing)
{
    check();
    client.complete(0);
    loop.runPending();
    EXPECT_EQ(results, (QList<QPair<bool, QString>>{{true, u"req-7"_s}}));
    EXPECT_TRUE(systemLog().isEmpty());
}

TEST_F(BridgeCheck, FailureReportsNoOnTheMainLoop)
{
    check();
    client.complete(0, SmtpFailure{u"short"_s, u"long"_s});
    EXPECT_TRUE(results.isEmpty());
    loop.runPending();
    EXPECT_EQ(results, (QList<QPair<bool, QString>>{{false, u"req-7"_s}}));
}

TEST_F(BridgeCheck, FailureGoesToTheSystemLogFullThenLocalized)
{
    check();
    client.complete(0, SmtpFailure{u"short"_s, u"long"_s});
    loop.runPending();
    EXPECT_EQ(systemLog(), (QStringList{u"Failed check SMTP account at smtp.example.test : long"_s,
                                        u"Failed check SMTP account at smtp.example.test : short"_s}));
}

} // namespace
} // namespace quillcast
