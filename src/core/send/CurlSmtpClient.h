#pragma once

#include "send/SmtpClient.h"

#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace quillcast {

struct CurlSmtpAborts;

// The SMTP client on libcurl.
//
// Security: Clear and StartTls use smtp://, StartTls with STARTTLS required
// (a server that does not offer it is a failure, never a silent fall-back to
// clear text); Tls uses smtps://. Server certificates are always verified,
// peer and host name, whatever SmtpSettings::checkCertificate says: an
// unverified connection would hand the password to whoever sits in between.
// The trusted authorities are the system's, or those of the file named by the
// environment variable QUILLCAST_SMTP_CA_FILE (read when the client is made;
// the tests point it at their own certificate).
//
// Authentication: AUTH PLAIN with the user name and password when a user name
// is set and the settings ask for authentication; XOAUTH2 with the settings'
// bearer token for Auth::XOAuth2Outlook; none otherwise.
//
// Greeting: EHLO with the machine's host name (useHeloIp is not honoured: the
// local address is not known before the connection is made).
//
// The account check connects, secures, authenticates and then sends
// "MAIL FROM:<from>" as a command of its own (libcurl's custom SMTP command),
// so the server says whether it takes mail from that address; QUIT follows,
// which ends the transaction without a message.
//
// Operations run on a pool of worker threads, up to maxConcurrent at a time,
// further ones queued. Each completion runs exactly once, on the worker that
// ran the operation, after the connection is closed. abortAll() cuts off
// what is in flight at once, also a transfer that waits for the server's
// answer to the end of the message (libcurl does not look at its abort
// callback while it waits there, so the connection itself is shut down),
// and completes queued operations with a cancellation failure without
// connecting. The destructor aborts all and waits for every worker. Do not
// destroy the client from inside one of its completions.
class CurlSmtpClient final : public SmtpClient
{
public:
    struct Options
    {
        int maxConcurrent = 8;
        // Used when the settings carry no time-out of their own; a settings'
        // time-out bounds the connection and the whole operation alike.
        int connectTimeoutSeconds = 30;
        int operationTimeoutSeconds = 300;
        // Trusted authorities (PEM); none: the system store.
        std::optional<QString> caFile;

        // The defaults, with caFile from QUILLCAST_SMTP_CA_FILE when set.
        static Options fromEnvironment();
    };

    CurlSmtpClient();
    explicit CurlSmtpClient(Options options);
    ~CurlSmtpClient() override;

    CurlSmtpClient(const CurlSmtpClient &) = delete;
    CurlSmtpClient &operator=(const CurlSmtpClient &) = delete;

    void sendMessage(const SmtpSettings &settings, const QString &envelopeFrom, const QStringList &envelopeTo,
                     const QByteArray &message, Completion done) override;
    void sendMessageKeepingReply(const SmtpSettings &settings, const QString &envelopeFrom,
                                 const QStringList &envelopeTo, const QByteArray &message,
                                 Delivered done) override;
    void checkAccount(const SmtpSettings &settings, const QString &from, Completion done) override;

    // Aborts every operation started so far, running or queued; each
    // completes soon after with the cancellation failure. Operations started
    // later run as usual. Returns at once; callable from any thread.
    void abortAll();

private:
    using Outcome = std::optional<SmtpFailure>;
    // perform gives the outcome, and the server's last reply on success;
    // one of the completions hears them.
    struct Operation
    {
        std::function<Outcome(QString &reply)> perform;
        Completion done;
        Delivered delivered;
    };

    void enqueue(Operation operation);
    void workerLoop();

    const Options m_options;
    const std::unique_ptr<CurlSmtpAborts> m_aborts;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Operation> m_queue;
    std::vector<std::thread> m_workers;
    int m_idle = 0;
    bool m_stopping = false;
};

} // namespace quillcast
