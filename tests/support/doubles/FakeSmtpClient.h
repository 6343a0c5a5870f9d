#pragma once

#include "send/SmtpClient.h"

#include <QList>

#include <mutex>
#include <optional>

namespace quillcast {

// An SMTP client for tests: records every operation (settings, envelope,
// message bytes) and completes it when the test says so, or at once with a
// scripted outcome. Safe to call from several threads.
class FakeSmtpClient final : public SmtpClient
{
public:
    struct Call
    {
        enum class Kind { Send, Check };
        Kind kind = Kind::Send;
        SmtpSettings settings;
        QString envelopeFrom; // the check's address too
        QStringList envelopeTo;
        QByteArray message;
    };

    void sendMessage(const SmtpSettings &settings, const QString &envelopeFrom, const QStringList &envelopeTo,
                     const QByteArray &message, Completion done) override;
    void checkAccount(const SmtpSettings &settings, const QString &from, Completion done) override;

    // From now on every operation completes inside the call with this
    // outcome (no value: success).
    void completeAtOnce(std::optional<SmtpFailure> outcome);
    // From now on operations wait for complete() (the default).
    void holdCompletions();

    QList<Call> calls() const;
    // Completes the operation of call number index (counted from 0) on the
    // calling thread. False when there is no such call or it has already
    // completed: a completion never runs twice.
    bool complete(qsizetype index, const std::optional<SmtpFailure> &outcome = std::nullopt);
    qsizetype pendingCount() const;

private:
    void record(Call call, Completion done);

    mutable std::mutex m_mutex;
    QList<Call> m_calls;
    QList<Completion> m_pending; // parallel to m_calls; empty once completed
    std::optional<std::optional<SmtpFailure>> m_atOnce;
};

} // namespace quillcast
