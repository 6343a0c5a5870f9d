// Sends through the real SMTP client to a local server (smtp_server.py on
// aiosmtpd) started for this suite on 127.0.0.1, and checks each message as
// Python's email package reads it on arrival.

#include "platform/FixedClock.h"
#include "platform/QtMainLoop.h"
#include "send/CurlSmtpClient.h"
#include "send/LXMailCoreBridge.h"
#include "document/LogTimeStamp.h"
#include "send/SendmailMailClient.h"

#include "CapturedMessages.h"
#include "GMimeReading.h"
#include "LocalPorts.h"
#include "LocalSmtpServer.h"
#include "ParsedMessage.h"
#include "TestFiles.h"
#include "TestApplication.h"
#include "TestPrinters.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace quillcast {
namespace {

const QString kUser = u"quill"_s;
const QString kPassword = u"s3cret"_s;

using testing::attachmentEntry;
using testing::closedPort;
using testing::processEventsUntil;

struct Server
{
    int port = 0;
    qint32 connectionType = 0;
    bool usePw = false;
    QString username;
    QString password;
};

struct Mail
{
    QString from;
    QString to = u"rcpt@example.test"_s;
    QString fromName;
    QString subject = u"Hello"_s;
    QString text = u"Plain body\n"_s;
    std::optional<QString> html; // the HTML form when set, with text as its alternative
    List attachments;
};

// A message the server took: its envelope recipients, and the message as
// read_message.py read it on arrival.
struct Received
{
    QStringList rcptTos;
    testing::ParsedMessage message;
    QByteArray raw; // the bytes as they arrived
};

class SmtpIntegration : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // The client's answers reach the test through the event loop.
        testing::application();
        s_server = std::make_unique<testing::LocalSmtpServer>(QStringList{
            u"--user"_s, kUser, u"--password"_s, kPassword, u"--delay"_s, u"1.5"_s, u"--late"_s, u"100"_s});
        // What the client trusts besides the system's authorities.
        if (s_server->error().isEmpty())
            qputenv("QUILLCAST_SMTP_CA_FILE", s_server->certificate().toLocal8Bit());
    }

    static void TearDownTestSuite()
    {
        qunsetenv("QUILLCAST_SMTP_CA_FILE");
        s_server.reset();
    }

    void SetUp() override { ASSERT_TRUE(s_server->error().isEmpty()) << s_server->error().toStdString(); }

    static int port(const char *mode) { return s_server->port(mode); }
    static SmtpSettings settings(const char *mode)
    {
        SmtpSettings s;
        s.hostname = u"127.0.0.1"_s;
        s.port = port(mode);
        return s;
    }

    // Starts every mail at once through one bridge and waits for all answers,
    // then for linger more, in which any second answer would show.
    QList<LXMailCoreBridge::SendReport> sendAll(SmtpClient &client, const Server &server, const QList<Mail> &mails,
                                                std::chrono::seconds linger = 0s)
    {
        const LXMailCoreBridge bridge({client, loop, clock});
        auto reports = std::make_shared<QList<LXMailCoreBridge::SendReport>>();
        const auto collect = [reports](const LXMailCoreBridge::SendReport &r) { reports->append(r); };
        for (const Mail &m : mails) {
            if (m.html) {
                bridge.sendHtmlBody(*m.html, m.text, m.attachments, m.from, m.fromName, m.to, QString(), m.subject,
                                    u"127.0.0.1"_s, server.port, server.connectionType, server.usePw,
                                    server.username, server.password, collect);
            } else {
                bridge.sendTextBody(m.text, m.attachments, m.from, m.fromName, m.to, QString(), m.subject,
                                    u"127.0.0.1"_s, server.port, server.connectionType, server.usePw,
                                    server.username, server.password, collect);
            }
        }
        EXPECT_TRUE(processEventsUntil([&] { return reports->size() >= mails.size(); }, 120000));
        if (linger > 0s)
            processEventsUntil([] { return false; }, std::chrono::milliseconds(linger).count());
        return *reports;
    }

    LXMailCoreBridge::SendReport send(SmtpClient &client, const Server &server, const Mail &mail)
    {
        const QList<LXMailCoreBridge::SendReport> reports = sendAll(client, server, {mail});
        return reports.size() == 1 ? reports.first() : LXMailCoreBridge::SendReport{u"<no answer>"_s, false};
    }

    // The messages the server took from this envelope sender.
    static QList<Received> receivedFrom(const QString &from)
    {
        QList<Received> found;
        const QDir store(s_server->messagesFolder());
        for (const QString &name : store.entryList({u"*.json"_s}, QDir::Files, QDir::Name)) {
            const QJsonObject stored = QJsonDocument::fromJson(testing::fileContents(store.filePath(name))).object();
            if (stored[u"mail_from"_s].toString() != from)
                continue;
            QStringList rcptTos;
            for (const QJsonValue &v : stored[u"rcpt_tos"_s].toArray())
                rcptTos.append(v.toString());
            found.append({rcptTos, testing::ParsedMessage::fromJson(stored[u"parsed"_s].toObject()),
                          QByteArray::fromBase64(stored[u"raw_b64"_s].toString().toLatin1())});
        }
        return found;
    }

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = files.filePath(name);
        EXPECT_TRUE(testing::writeFile(path, bytes)) << path.toStdString();
        return path;
    }

    QtMainLoop loop;
    FixedClock clock{QDateTime(QDate(2025, 6, 2), QTime(8, 15), QTimeZone::utc())};
    QTemporaryDir files;

    static inline std::unique_ptr<testing::LocalSmtpServer> s_server;
};

// ---- Connection security, authentication, refusals ------------------------------

// Each row sends one mail from its own sender, so that what the server took
// can be told apart. A log line that ends in "…" is a prefix.
TEST_F(SmtpIntegration, EachSendIsDeliveredOrRefusedWithTheServersWords)
{
    const int down = closedPort();
    const QString sent = u" Email sent via 127.0.0.1 to rcpt@example.test\n"_s;
    const struct
    {
        const char *name;
        Server server;
        Mail mail;
        QString logLine; // after the time stamp
        bool delivered;
    } rows[] = {
        {"clear text", {port("clear"), 0}, {.from = u"clear@sender.test"_s}, sent, true},
        {"STARTTLS", {port("starttls"), 1}, {.from = u"starttls@sender.test"_s}, sent, true},
        {"implicit TLS", {port("tls"), 2}, {.from = u"tls@sender.test"_s}, sent, true},
        {"AUTH PLAIN with the right password", {port("auth"), 0, true, kUser, kPassword},
         {.from = u"authok@sender.test"_s}, sent, true},
        // Asking for STARTTLS never falls back to clear text.
        {"STARTTLS against a server without it", {port("clear"), 1}, {.from = u"nostarttls@sender.test"_s},
         u" Error sending email via 127.0.0.1 : "
         u"The server 127.0.0.1 does not offer STARTTLS, so the connection cannot be secured\n"_s,
         false},
        {"AUTH PLAIN with a wrong password", {port("auth"), 0, true, kUser, u"wrong"_s},
         {.from = u"authbad@sender.test"_s},
         u" Error sending email via 127.0.0.1 : Login denied by the server "
         u"(535 5.7.8 Authentication credentials invalid)\n"_s,
         false},
        {"no login where the server wants one", {port("auth"), 0}, {.from = u"noauth@sender.test"_s},
         u" Error sending email via 127.0.0.1 : The server refused the sender <noauth@sender.test>: 530…"_s, false},
        {"rejected recipient", {port("clear"), 0}, {.from = u"rejected@sender.test"_s, .to = u"nobody@reject.test"_s},
         u" Error sending email via 127.0.0.1 : The server refused the recipient <nobody@reject.test>: "
         u"550 5.1.1 <nobody@reject.test>: Recipient address rejected\n"_s,
         false},
        // One refused recipient stops the whole message: a log line saying
        // "sent to" both would not be true.
        {"one rejected recipient among several", {port("clear"), 0},
         {.from = u"partly@sender.test"_s, .to = u"ok@example.test, nobody@reject.test"_s},
         u" Error sending email via 127.0.0.1 : …"_s, false},
        {"server that is down", {down, 0}, {.from = u"down@sender.test"_s},
         u" Error sending email via 127.0.0.1 : Could not connect to 127.0.0.1 port %1: "
         u"Connection refused\n"_s.arg(down),
         false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        CurlSmtpClient client;
        const QString expected = LogTimeStamp::now(clock) + row.logLine;
        const LXMailCoreBridge::SendReport report = send(client, row.server, row.mail);
        if (expected.endsWith(u'…')) {
            EXPECT_TRUE(report.logLine.startsWith(expected.chopped(1))) << report.logLine.toStdString();
        } else {
            EXPECT_EQ(report.logLine, expected);
        }
        EXPECT_EQ(report.succeeded, row.delivered);
        const QList<Received> received = receivedFrom(row.mail.from);
        ASSERT_EQ(received.size(), row.delivered ? 1 : 0);
        if (row.delivered) {
            EXPECT_EQ(received.first().rcptTos, QStringList{row.mail.to});
        }
    }
}

// Without the test authority the server's certificate is unknown: the send
// must fail rather than talk to a server it cannot verify.
TEST_F(SmtpIntegration, UnverifiableCertificateRefusesTheSend)
{
    CurlSmtpClient client{CurlSmtpClient::Options()};
    const Mail mail{.from = u"unverified@sender.test"_s};
    EXPECT_TRUE(send(client, {port("tls"), 2}, mail)
                    .logLine.startsWith(LogTimeStamp::now(clock) + u" Error sending email via 127.0.0.1 : "_s
                                        + u"The server's certificate could not be verified"_s));
    EXPECT_TRUE(receivedFrom(mail.from).isEmpty());
}

// The server takes 1.5 s per message while five sends start back to back:
// all are in flight together, and every one is answered exactly once.
TEST_F(SmtpIntegration, SlowServerAnswersEverySendInFlightOnce)
{
    CurlSmtpClient client;
    QList<Mail> mails;
    QStringList expected;
    for (int i = 0; i < 5; ++i) {
        const QString to = u"slow%1@example.test"_s.arg(i);
        mails.append(Mail{.from = u"slow@sender.test"_s, .to = to});
        expected.append(LogTimeStamp::now(clock) + u" Email sent via 127.0.0.1 to "_s + to + u'\n');
    }
    QStringList lines;
    for (const LXMailCoreBridge::SendReport &r : sendAll(client, {port("slow"), 0}, mails, 2s))
        lines.append(r.logLine);
    lines.sort();
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(receivedFrom(u"slow@sender.test"_s).size(), 5);
}

// The late server holds its answer to the end of the message for 100 s.
// abortAll() cuts the send off at once instead (libcurl waits there without
// looking at its abort callback); a send started afterwards goes through.
TEST_F(SmtpIntegration, AbortCutsOffASendWaitingForTheServersAnswer)
{
    std::mutex lock;
    std::condition_variable changed;
    QList<std::optional<SmtpFailure>> outcomes;
    const auto collect = [&](const std::optional<SmtpFailure> &failure) {
        const std::lock_guard guard(lock);
        outcomes.append(failure);
        changed.notify_all();
    };
    const auto answers = [&](qsizetype count, std::chrono::seconds limit) {
        std::unique_lock guard(lock);
        return changed.wait_for(guard, limit, [&] { return outcomes.size() >= count; });
    };
    QElapsedTimer elapsed;
    elapsed.start();
    {
        CurlSmtpClient client;
        client.sendMessage(settings("late"), u"late@sender.test"_s, {u"rcpt@example.test"_s},
                           "Subject: late\r\n\r\nx\r\n", collect);
        std::this_thread::sleep_for(1500ms); // the message is sent, the answer is due
        client.abortAll();
        ASSERT_TRUE(answers(1, 10s));
        client.sendMessage(settings("clear"), u"after@sender.test"_s, {u"rcpt@example.test"_s},
                           "Subject: after\r\n\r\nx\r\n", collect);
        ASSERT_TRUE(answers(2, 60s));
    }
    EXPECT_LT(elapsed.elapsed(), 30000);
    ASSERT_EQ(outcomes.size(), 2);
    ASSERT_TRUE(outcomes[0].has_value());
    EXPECT_EQ(outcomes[0]->localizedDescription, u"The operation was cancelled before the server had answered"_s);
    EXPECT_FALSE(outcomes[1].has_value()) << outcomes[1]->localizedDescription.toStdString();
    EXPECT_EQ(receivedFrom(u"after@sender.test"_s).size(), 1);
}

// Destroying the client, as the program does when it ends, does not wait
// for a server that holds its answer either.
TEST_F(SmtpIntegration, DestroyingTheClientDoesNotWaitForALateAnswer)
{
    auto outcome = std::make_shared<std::optional<QString>>();
    auto lock = std::make_shared<std::mutex>();
    QElapsedTimer elapsed;
    {
        CurlSmtpClient client;
        client.sendMessage(settings("late"), u"late@sender.test"_s, {u"rcpt@example.test"_s},
                           "Subject: late\r\n\r\nx\r\n", [outcome, lock](const std::optional<SmtpFailure> &failure) {
                               const std::lock_guard guard(*lock);
                               *outcome = failure ? failure->localizedDescription : u"<success>"_s;
                           });
        std::this_thread::sleep_for(1500ms);
        elapsed.start();
    }
    EXPECT_LT(elapsed.elapsed(), 5000);
    const std::lock_guard guard(*lock);
    EXPECT_EQ(*outcome, u"The operation was cancelled before the server had answered"_s);
}

// ---- The message as it arrives -------------------------------------------------

class ReceivedMessage : public SmtpIntegration
{
protected:
    // Sends one mail over the clear port and returns what the server stored
    // from the envelope sender (by default the sender text itself).
    Received deliver(const Mail &mail, const QString &envelopeFrom = QString())
    {
        CurlSmtpClient client;
        const LXMailCoreBridge::SendReport report = send(client, {port("clear"), 0}, mail);
        EXPECT_TRUE(report.succeeded) << report.logLine.toStdString();
        const QList<Received> received = receivedFrom(envelopeFrom.isEmpty() ? mail.from : envelopeFrom);
        return received.size() == 1 ? received.first() : Received();
    }
};

// A named sender, an emoji and accented subject and two recipients, in the
// HTML form: as Python reads the message on arrival, from header lines within
// the limits of RFC 5322 and RFC 2047, with the bare addresses on the
// envelope and the text alternative before the HTML. (The encodings of names
// and subjects of every kind are checked on the built message by the message
// builder's tests.)
TEST_F(ReceivedMessage, AnHtmlMessageArrivesAsTheUserWroteIt)
{
    const Mail mail{.from = u"Bibliothèque Municipale <news@sender.test>"_s,
                    .to = u"ann@example.test, bob@example.test"_s,
                    .subject = QString(u"🎉"_s).repeated(40) + u" Grüße – 5 € für Zoë"_s,
                    .text = u"Grüße in Text\n"_s,
                    .html = u"<p>Grüße in <b>HTML</b></p>"_s};
    const Received r = deliver(mail, u"news@sender.test"_s);
    const QStringList both{u"ann@example.test"_s, u"bob@example.test"_s};
    EXPECT_EQ(r.rcptTos, both);
    EXPECT_EQ(testing::headerLimitProblems(r.raw), QStringList());
    EXPECT_EQ(testing::sevenBitProblem(r.raw), QString());
    EXPECT_TRUE(r.message.defects.isEmpty()) << r.message.defects.join(u", "_s).toStdString();
    EXPECT_EQ(r.message.subject, mail.subject);
    ASSERT_EQ(r.message.from.size(), 1);
    EXPECT_EQ(r.message.from[0].name, u"Bibliothèque Municipale"_s);
    EXPECT_EQ(r.message.from[0].addr, u"news@sender.test"_s);
    EXPECT_EQ(r.message.toMailboxes(), both);

    const QList<testing::ParsedMessage::Part> &parts = r.message.parts;
    ASSERT_EQ(parts.size(), 3);
    EXPECT_EQ(parts[0].contentType, u"multipart/alternative"_s);
    EXPECT_EQ(parts[1].contentType, u"text/plain"_s);
    EXPECT_EQ(parts[1].text.trimmed(), u"Grüße in Text"_s);
    EXPECT_EQ(parts[2].contentType, u"text/html"_s);
    EXPECT_EQ(parts[2].text.trimmed(), u"<p>Grüße in <b>HTML</b></p>"_s);
}

TEST_F(ReceivedMessage, AttachmentsArriveByteForByte)
{
    QByteArray binary;
    for (int round = 0; round < 40; ++round) {
        for (int b = 0; b < 256; ++b)
            binary.append(static_cast<char>(b));
    }
    const QByteArray text = "Zeile 1\r\n.\r\n..Zeile mit Punkt\nÄÖÜ\n";
    List entries({attachmentEntry(writeFile(u"data.bin"_s, binary)),
                  attachmentEntry(writeFile(u"Übersicht.txt"_s, text))});
    const QList<testing::ParsedMessage::Part> parts =
        deliver(Mail{.from = u"attach@sender.test"_s, .attachments = entries}).message.parts;
    ASSERT_EQ(parts.size(), 4);
    EXPECT_EQ(parts[0].contentType, u"multipart/mixed"_s);
    EXPECT_EQ(parts[1].contentType, u"text/plain"_s);
    EXPECT_EQ(parts[2].filename, u"data.bin"_s);
    EXPECT_EQ(parts[2].payload, binary);
    EXPECT_EQ(parts[3].filename, u"Übersicht.txt"_s);
    EXPECT_EQ(parts[3].payload, text);
}

// ---- Account check -------------------------------------------------------------

class AccountCheck : public SmtpIntegration
{
protected:
    std::optional<bool> check(int serverPort, qint32 connectionType, bool useAuth, const QString &password)
    {
        CurlSmtpClient client;
        const LXMailCoreBridge bridge({client, loop, clock});
        auto result = std::make_shared<std::optional<bool>>();
        bridge.canConnectToServer(u"127.0.0.1"_s, kUser, password, serverPort, connectionType, useAuth,
                                  [result](bool ok, const QString &) { *result = ok; }, u"req"_s);
        processEventsUntil([&] { return result->has_value(); }, 60000);
        return *result;
    }
};

TEST_F(AccountCheck, PassesOnlyWithAServerThatTakesTheLogin)
{
    const struct
    {
        const char *name;
        int port;
        qint32 connectionType;
        bool useAuth;
        QString password;
        bool passes;
    } rows[] = {
        {"right credentials", port("auth"), 0, true, kPassword, true},
        {"wrong password", port("auth"), 0, true, u"wrong"_s, false},
        {"STARTTLS server", port("starttls"), 1, false, QString(), true},
        {"server that is down", closedPort(), 0, false, QString(), false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(check(row.port, row.connectionType, row.useAuth, row.password), row.passes);
    }
    // A check takes no message.
    EXPECT_TRUE(receivedFrom(kUser).isEmpty());
}

// The system log gets libcurl's detail of the failed login: neither the
// password nor the AUTH PLAIN line that carries it may be in it.
TEST_F(AccountCheck, FailedLoginLogsThePasswordNowhere)
{
    const testing::CapturedMessages systemLog;
    check(port("auth"), 0, true, u"Wr0ngPassw0rd"_s);
    const QString credentials =
        QString::fromLatin1(QByteArray('\0' + kUser.toUtf8() + '\0' + QByteArray("Wr0ngPassw0rd")).toBase64());
    ASSERT_EQ(systemLog.lines().size(), 2);
    EXPECT_FALSE(systemLog.lines().join(u'\n').contains(u"Wr0ngPassw0rd"_s));
    EXPECT_FALSE(systemLog.lines().join(u'\n').contains(credentials));
}

// ---- The sendmail path through msmtp --------------------------------------------

TEST_F(SmtpIntegration, SendmailThroughMsmtpDelivers)
{
    const QString msmtp = QStandardPaths::findExecutable(u"msmtp"_s);
    if (msmtp.isEmpty())
        GTEST_SKIP() << "msmtp is not installed";
    const QString config = writeFile(u"msmtprc"_s, u"defaults\nauth off\ntls off\n"
                                                   u"account default\nhost 127.0.0.1\nport %1\n"
                                                   u"from msmtp@sender.test\n"_s.arg(port("clear")).toUtf8());
    // msmtp refuses a configuration that others may read.
    QFile::setPermissions(config, QFile::ReadOwner | QFile::WriteOwner);
    const QString wrapper = files.filePath(u"sendmail"_s);
    ASSERT_TRUE(testing::writeScript(wrapper, u"exec '%1' -C '%2' \"$@\"\n"_s.arg(msmtp, config)));

    SendmailMailClient sendmail(clock, wrapper);
    MessageContent content;
    content.from = {QString(), u"msmtp@sender.test"_s};
    content.to = {{QString(), u"rcpt@example.test"_s}};
    content.subject = u"Über sendmail"_s;
    content.textBody = u"Body via sendmail\n"_s;
    const Result<QString> sent = sendmail.prepareEmailViaMailApp(content, u"rcpt@example.test"_s, true);
    ASSERT_TRUE(sent.ok()) << sent.error().toStdString();
    const QList<Received> received = receivedFrom(u"msmtp@sender.test"_s);
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(received.first().rcptTos, QStringList{u"rcpt@example.test"_s});
    EXPECT_EQ(received.first().message.headerValues(u"Subject"_s), QStringList{u"Über sendmail"_s});
}

} // namespace
} // namespace quillcast
