// Sends through the real SMTP client to a local server (smtp_server.py on
// aiosmtpd) started for this suite on 127.0.0.1, and checks each message as
// Python's email package reads it on arrival.

#include "platform/FixedClock.h"
#include "platform/LXBookmark.h"
#include "platform/MainLoop.h"
#include "send/CurlSmtpClient.h"
#include "send/LXMailCoreBridge.h"
#include "send/LogTimeStamp.h"
#include "send/SendmailMailClient.h"

#include "TestPrinters.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace quillcast {
namespace {

const QString kUser = u"quill"_s;
const QString kPassword = u"s3cret"_s;

// A main loop that client threads may post to while the test thread turns it.
class ThreadedMainLoop final : public MainLoop
{
public:
    void post(std::function<void()> work) override
    {
        std::lock_guard lock(m_mutex);
        m_pending.push_back(std::move(work));
        m_posted.notify_all();
    }

    // Runs posted work until done() holds or the time is up.
    bool turnUntil(const std::function<bool()> &done, std::chrono::seconds limit)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            std::unique_lock lock(m_mutex);
            if (!m_posted.wait_until(lock, deadline, [this] { return !m_pending.empty(); }))
                return false;
            std::function<void()> work = std::move(m_pending.front());
            m_pending.pop_front();
            lock.unlock();
            work();
        }
        return true;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_pending;
};

// A port of 127.0.0.1 on which nothing listens.
int closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

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

// The MIME tree of a received message, depth first, the message itself first.
QList<QJsonObject> flatParts(const QJsonObject &part)
{
    QList<QJsonObject> parts{part};
    for (const QJsonValue &child : part[u"parts"_s].toArray())
        parts.append(flatParts(child.toObject()));
    return parts;
}

QStringList headerValues(const QJsonObject &message, const QString &name)
{
    QStringList values;
    for (const QJsonValue &header : message[u"parsed"_s][u"headers"_s].toArray()) {
        if (header[0].toString().compare(name, Qt::CaseInsensitive) == 0)
            values.append(header[1].toString());
    }
    return values;
}

QStringList strings(const QJsonValue &array)
{
    QStringList out;
    for (const QJsonValue &v : array.toArray())
        out.append(v.toString());
    return out;
}

class SmtpIntegration : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_workdir = std::make_unique<QTemporaryDir>();
        s_server = std::make_unique<QProcess>();
        s_server->start(QString::fromUtf8(QUILLCAST_PYTHON3),
                        {QString::fromUtf8(QUILLCAST_SMTP_SERVER_SCRIPT), u"--workdir"_s, s_workdir->path(),
                         u"--user"_s, kUser, u"--password"_s, kPassword, u"--delay"_s, u"1.5"_s});
        if (!s_server->waitForStarted(30000)) {
            s_startError = u"the SMTP test server did not start: "_s + s_server->errorString();
            return;
        }
        while (!s_server->canReadLine() && s_server->state() == QProcess::Running)
            s_server->waitForReadyRead(30000);
        const QByteArray line = s_server->readLine();
        s_info = QJsonDocument::fromJson(line).object();
        if (s_info.isEmpty()) {
            s_startError = u"the SMTP test server did not report its ports: "_s
                + QString::fromUtf8(s_server->readAllStandardError());
            return;
        }
        // What the client trusts besides the system's authorities.
        qputenv("QUILLCAST_SMTP_CA_FILE", s_info[u"cert"_s].toString().toLocal8Bit());
    }

    static void TearDownTestSuite()
    {
        qunsetenv("QUILLCAST_SMTP_CA_FILE");
        if (s_server && s_server->state() != QProcess::NotRunning) {
            s_server->closeWriteChannel();
            s_server->terminate();
            if (!s_server->waitForFinished(10000)) {
                s_server->kill();
                s_server->waitForFinished(10000);
            }
        }
        s_server.reset();
        s_workdir.reset();
    }

    void SetUp() override { ASSERT_TRUE(s_startError.isEmpty()) << s_startError.toStdString(); }

    static int port(const char *mode) { return s_info[QString::fromLatin1(mode)].toInt(); }

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
        const bool allAnswered = loop.turnUntil([&] { return reports->size() >= mails.size(); }, 120s);
        EXPECT_TRUE(allAnswered);
        if (linger > 0s)
            loop.turnUntil([] { return false; }, linger);
        return *reports;
    }

    LXMailCoreBridge::SendReport send(SmtpClient &client, const Server &server, const Mail &mail)
    {
        const QList<LXMailCoreBridge::SendReport> reports = sendAll(client, server, {mail});
        return reports.size() == 1 ? reports.first() : LXMailCoreBridge::SendReport{u"<no answer>"_s, false};
    }

    QString sentLine(const QString &to) const
    {
        return LogTimeStamp::now(clock) + u" Email sent via 127.0.0.1 to "_s + to + u'\n';
    }
    QString errorLinePrefix() const { return LogTimeStamp::now(clock) + u" Error sending email via 127.0.0.1 : "_s; }

    // The messages the server took from this envelope sender.
    static QList<QJsonObject> receivedFrom(const QString &from)
    {
        QList<QJsonObject> found;
        const QDir store(s_info[u"messages"_s].toString());
        for (const QString &name : store.entryList({u"*.json"_s}, QDir::Files, QDir::Name)) {
            QFile file(store.filePath(name));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QJsonObject message = QJsonDocument::fromJson(file.readAll()).object();
            if (message[u"mail_from"_s].toString() == from)
                found.append(message);
        }
        return found;
    }

    QString writeFile(const QString &name, const QByteArray &bytes)
    {
        const QString path = files.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    }
    static Value attachmentEntry(const QString &path)
    {
        return Value(Dict{{u"path"_s, path}, {u"bookmark"_s, LXBookmark::bookmarkForURL_RO(path).value_or(QByteArray())}});
    }

    ThreadedMainLoop loop;
    FixedClock clock{QDateTime(QDate(2025, 6, 2), QTime(8, 15), QTimeZone::utc())};
    QTemporaryDir files;

    static inline std::unique_ptr<QTemporaryDir> s_workdir;
    static inline std::unique_ptr<QProcess> s_server;
    static inline QJsonObject s_info;
    static inline QString s_startError;
};

// ---- Connection security and authentication -----------------------------------

TEST_F(SmtpIntegration, ClearTextDelivers)
{
    CurlSmtpClient client;
    const Mail mail{.from = u"clear@sender.test"_s};
    EXPECT_EQ(send(client, {port("clear"), 0}, mail).logLine, sentLine(u"rcpt@example.test"_s));
    ASSERT_EQ(receivedFrom(mail.from).size(), 1);
    EXPECT_EQ(strings(receivedFrom(mail.from).first()[u"rcpt_tos"_s]), QStringList{u"rcpt@example.test"_s});
}

TEST_F(SmtpIntegration, StartTlsDelivers)
{
    CurlSmtpClient client;
    const Mail mail{.from = u"starttls@sender.test"_s};
    EXPECT_EQ(send(client, {port("starttls"), 1}, mail).logLine, sentLine(u"rcpt@example.test"_s));
    EXPECT_EQ(receivedFrom(mail.from).size(), 1);
}

TEST_F(SmtpIntegration, ImplicitTlsDelivers)
{
    CurlSmtpClient client;
    const Mail mail{.from = u"tls@sender.test"_s};
    EXPECT_EQ(send(client, {port("tls"), 2}, mail).logLine, sentLine(u"rcpt@example.test"_s));
    EXPECT_EQ(receivedFrom(mail.from).size(), 1);
}

// Without the test authority the server's certificate is unknown: the send
// must fail rather than talk to a server it cannot verify.
TEST_F(SmtpIntegration, UnverifiableCertificateRefusesTheSend)
{
    CurlSmtpClient client{CurlSmtpClient::Options()};
    const Mail mail{.from = u"unverified@sender.test"_s};
    EXPECT_TRUE(send(client, {port("tls"), 2}, mail)
                    .logLine.startsWith(errorLinePrefix() + u"The server's certificate could not be verified"_s));
    EXPECT_TRUE(receivedFrom(mail.from).isEmpty());
}

// Asking for STARTTLS never falls back to clear text.
TEST_F(SmtpIntegration, StartTlsAgainstAServerWithoutItRefusesTheSend)
{
    CurlSmtpClient client;
    const Mail mail{.from = u"nostarttls@sender.test"_s};
    EXPECT_EQ(send(client, {port("clear"), 1}, mail).logLine,
              errorLinePrefix() + u"The server 127.0.0.1 does not offer STARTTLS, so the connection cannot be secured\n"_s);
    EXPECT_TRUE(receivedFrom(mail.from).isEmpty());
}

TEST_F(SmtpIntegration, AuthPlainWithTheRightPasswordDelivers)
{
    CurlSmtpClient client;
    const Mail mail{.from = u"authok@sender.test"_s};
    EXPECT_EQ(send(client, {port("auth"), 0, true, kUser, kPassword}, mail).logLine,
              sentLine(u"rcpt@example.test"_s));
    EXPECT_EQ(receivedFrom(mail.from).size(), 1);
}

TEST_F(SmtpIntegration, AuthPlainWithAWrongPasswordCarriesTheServersReply)
{
    CurlSmtpClient client;
    const Mail mail{.from = u"authbad@sender.test"_s};
    EXPECT_EQ(send(client, {port("auth"), 0, true, kUser, u"wrong"_s}, mail).logLine,
              errorLinePrefix() + u"Login denied by the server (535 5.7.8 Authentication credentials invalid)\n"_s);
    EXPECT_TRUE(receivedFrom(mail.from).isEmpty());
}

TEST_F(SmtpIntegration, NoLoginWhereTheServerWantsOneIsRefusedAtTheSender)
{
    CurlSmtpClient client;
    const Mail mail{.from = u"noauth@sender.test"_s};
    EXPECT_TRUE(send(client, {port("auth"), 0}, mail)
                    .logLine.startsWith(errorLinePrefix() + u"The server refused the sender <noauth@sender.test>: 530"_s));
}

// ---- Refusals and failures -----------------------------------------------------

TEST_F(SmtpIntegration, RejectedRecipientCarriesThe550)
{
    CurlSmtpClient client;
    const Mail mail{.from = u"rejected@sender.test"_s, .to = u"nobody@reject.test"_s};
    EXPECT_EQ(send(client, {port("clear"), 0}, mail).logLine,
              errorLinePrefix()
                  + u"The server refused the recipient <nobody@reject.test>: "
                    u"550 5.1.1 <nobody@reject.test>: Recipient address rejected\n"_s);
    EXPECT_TRUE(receivedFrom(mail.from).isEmpty());
}

// One refused recipient stops the whole message: a log line saying "sent to"
// both would not be true.
TEST_F(SmtpIntegration, OneRejectedRecipientAmongSeveralSendsNothing)
{
    CurlSmtpClient client;
    const Mail mail{.from = u"partly@sender.test"_s, .to = u"ok@example.test, nobody@reject.test"_s};
    EXPECT_TRUE(send(client, {port("clear"), 0}, mail).logLine.startsWith(errorLinePrefix()));
    EXPECT_TRUE(receivedFrom(mail.from).isEmpty());
}

TEST_F(SmtpIntegration, ServerThatIsDownIsToldInWords)
{
    CurlSmtpClient client;
    const int down = closedPort();
    EXPECT_EQ(send(client, {down, 0}, Mail{.from = u"down@sender.test"_s}).logLine,
              errorLinePrefix() + u"Could not connect to 127.0.0.1 port %1: Connection refused\n"_s.arg(down));
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
        expected.append(sentLine(to));
    }
    QStringList lines;
    for (const LXMailCoreBridge::SendReport &r : sendAll(client, {port("slow"), 0}, mails, 2s))
        lines.append(r.logLine);
    lines.sort();
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(receivedFrom(u"slow@sender.test"_s).size(), 5);
}

// ---- The message as it arrives -------------------------------------------------

class ReceivedMessage : public SmtpIntegration
{
protected:
    // Sends one mail over the clear port and returns what the server stored.
    QJsonObject deliver(const Mail &mail)
    {
        CurlSmtpClient client;
        const LXMailCoreBridge::SendReport report = send(client, {port("clear"), 0}, mail);
        EXPECT_TRUE(report.succeeded) << report.logLine.toStdString();
        const QList<QJsonObject> received = receivedFrom(mail.from);
        return received.size() == 1 ? received.first() : QJsonObject();
    }
};

TEST_F(ReceivedMessage, HeadersAreDecodedAsWritten)
{
    const QJsonObject m = deliver(Mail{.from = u"headers@sender.test"_s,
                                       .to = u"ann@example.test, bob@example.test"_s,
                                       .fromName = u"Büro Müller"_s,
                                       .subject = u"Grüße – 5 € für Zoë 🎉"_s});
    EXPECT_EQ(headerValues(m, u"Subject"_s), QStringList{u"Grüße – 5 € für Zoë 🎉"_s});
    EXPECT_EQ(headerValues(m, u"From"_s), QStringList{u"Büro Müller <headers@sender.test>"_s});
    EXPECT_EQ(headerValues(m, u"To"_s), QStringList{u"ann@example.test, bob@example.test"_s});
    EXPECT_EQ(strings(m[u"rcpt_tos"_s]), (QStringList{u"ann@example.test"_s, u"bob@example.test"_s}));
}

TEST_F(ReceivedMessage, HtmlFormIsAlternativeTextThenHtml)
{
    const QJsonObject m = deliver(Mail{.from = u"html@sender.test"_s,
                                       .text = u"Grüße in Text\n"_s,
                                       .html = u"<p>Grüße in <b>HTML</b></p>"_s});
    const QList<QJsonObject> parts = flatParts(m[u"parsed"_s][u"structure"_s].toObject());
    ASSERT_EQ(parts.size(), 3);
    EXPECT_EQ(parts[0][u"content_type"_s].toString(), u"multipart/alternative"_s);
    EXPECT_EQ(parts[1][u"content_type"_s].toString(), u"text/plain"_s);
    EXPECT_EQ(parts[1][u"text"_s].toString().trimmed(), u"Grüße in Text"_s);
    EXPECT_EQ(parts[2][u"content_type"_s].toString(), u"text/html"_s);
    EXPECT_EQ(parts[2][u"text"_s].toString().trimmed(), u"<p>Grüße in <b>HTML</b></p>"_s);
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
    const QJsonObject m = deliver(Mail{.from = u"attach@sender.test"_s, .attachments = entries});
    const QList<QJsonObject> parts = flatParts(m[u"parsed"_s][u"structure"_s].toObject());
    ASSERT_EQ(parts.size(), 4);
    EXPECT_EQ(parts[0][u"content_type"_s].toString(), u"multipart/mixed"_s);
    EXPECT_EQ(parts[1][u"content_type"_s].toString(), u"text/plain"_s);
    EXPECT_EQ(parts[2][u"filename"_s].toString(), u"data.bin"_s);
    EXPECT_EQ(QByteArray::fromBase64(parts[2][u"payload_b64"_s].toString().toLatin1()), binary);
    EXPECT_EQ(parts[3][u"filename"_s].toString(), u"Übersicht.txt"_s);
    EXPECT_EQ(QByteArray::fromBase64(parts[3][u"payload_b64"_s].toString().toLatin1()), text);
}

// A line break in the subject must not become a header of its own, and no
// header can add a recipient to the envelope.
TEST_F(ReceivedMessage, LineBreakInSubjectInjectsNoHeader)
{
    const QJsonObject m = deliver(Mail{.from = u"inject@sender.test"_s,
                                       .subject = u"Offer\r\nBcc: spy@evil.test"_s});
    EXPECT_TRUE(headerValues(m, u"Bcc"_s).isEmpty());
    EXPECT_EQ(headerValues(m, u"Subject"_s).size(), 1);
    EXPECT_EQ(strings(m[u"rcpt_tos"_s]), QStringList{u"rcpt@example.test"_s});
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
        loop.turnUntil([&] { return result->has_value(); }, 60s);
        return *result;
    }
};

TEST_F(AccountCheck, RightCredentialsPass)
{
    EXPECT_EQ(check(port("auth"), 0, true, kPassword), true);
}

TEST_F(AccountCheck, WrongPasswordFails)
{
    EXPECT_EQ(check(port("auth"), 0, true, u"wrong"_s), false);
}

QStringList &systemLog()
{
    static QStringList lines;
    return lines;
}

void collectSystemLog(QtMsgType, const QMessageLogContext &, const QString &message)
{
    systemLog().append(message);
}

// The system log gets libcurl's detail of the failed login: neither the
// password nor the AUTH PLAIN line that carries it may be in it.
TEST_F(AccountCheck, FailedLoginLogsThePasswordNowhere)
{
    systemLog().clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectSystemLog);
    check(port("auth"), 0, true, u"Wr0ngPassw0rd"_s);
    qInstallMessageHandler(previous);
    const QString credentials =
        QString::fromLatin1(QByteArray('\0' + kUser.toUtf8() + '\0' + QByteArray("Wr0ngPassw0rd")).toBase64());
    ASSERT_EQ(systemLog().size(), 2);
    EXPECT_FALSE(systemLog().join(u'\n').contains(u"Wr0ngPassw0rd"_s));
    EXPECT_FALSE(systemLog().join(u'\n').contains(credentials));
}

TEST_F(AccountCheck, StartTlsServerPassesAndTakesNoMessage)
{
    EXPECT_EQ(check(port("starttls"), 1, false, QString()), true);
    EXPECT_TRUE(receivedFrom(kUser).isEmpty());
}

TEST_F(AccountCheck, ServerThatIsDownFails)
{
    EXPECT_EQ(check(closedPort(), 0, false, QString()), false);
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
    const QString wrapper =
        writeFile(u"sendmail"_s, u"#!/bin/sh\nexec '%1' -C '%2' \"$@\"\n"_s.arg(msmtp, config).toUtf8());
    QFile::setPermissions(wrapper, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    SendmailMailClient sendmail(clock, wrapper);
    const Status sent = sendmail.prepareEmailViaMailAppWithBody(u"Body via sendmail\n"_s, u"rcpt@example.test"_s,
                                                                u"Über sendmail"_s, u"msmtp@sender.test"_s,
                                                                List(), true);
    ASSERT_TRUE(sent.ok()) << sent.error().toStdString();
    const QList<QJsonObject> received = receivedFrom(u"msmtp@sender.test"_s);
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(strings(received.first()[u"rcpt_tos"_s]), QStringList{u"rcpt@example.test"_s});
    EXPECT_EQ(headerValues(received.first(), u"Subject"_s), QStringList{u"Über sendmail"_s});
}

} // namespace
} // namespace quillcast
