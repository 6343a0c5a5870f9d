#pragma once

#include "send/SmtpSettings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace quillcast {

// Why an SMTP operation failed: a sentence for the user (the server's reply
// code and text, or the connection error in plain words) and a longer one for
// the system log.
struct SmtpFailure
{
    QString localizedDescription{};
    QString fullDescription{};
    // When the server refused: its reply code (4xx, 5xx) and the reply's
    // text after the code; 0 when the failure was not the server's answer
    // (no connection, a local error).
    int replyCode = 0;
    QString replyText{};
};

// An SMTP client. Both operations return at once; the dialogue with the
// server runs on the client's own threads, several at a time, and the
// completion runs exactly once per operation, on one of those threads (never
// inside the call), with no failure on success.
class SmtpClient
{
public:
    using Completion = std::function<void(const std::optional<SmtpFailure> &failure)>;

    virtual ~SmtpClient() = default;

    // Delivers message (complete RFC 5322 bytes) from envelopeFrom to every
    // address of envelopeTo.
    virtual void sendMessage(const SmtpSettings &settings, const QString &envelopeFrom,
                             const QStringList &envelopeTo, const QByteArray &message, Completion done) = 0;
    // The same, and on success the server's reply to the message (its
    // "250 ..." line, which often names the queue id) for the run's journal.
    // A client that does not keep the reply gives it empty.
    using Delivered = std::function<void(const std::optional<SmtpFailure> &failure, const QString &acceptedReply)>;
    virtual void sendMessageKeepingReply(const SmtpSettings &settings, const QString &envelopeFrom,
                                         const QStringList &envelopeTo, const QByteArray &message, Delivered done)
    {
        sendMessage(settings, envelopeFrom, envelopeTo, message,
                    [done = std::move(done)](const std::optional<SmtpFailure> &failure) { done(failure, QString()); });
    }
    // Connects, secures and authenticates as the settings say, and says
    // whether the server would take mail from this address.
    virtual void checkAccount(const SmtpSettings &settings, const QString &from, Completion done) = 0;
};

} // namespace quillcast
