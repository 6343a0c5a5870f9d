#include "FakeSmtpClient.h"

namespace quillcast {

void FakeSmtpClient::sendMessage(const SmtpSettings &settings, const QString &envelopeFrom,
                                 const QStringList &envelopeTo, const QByteArray &message, Completion done)
{
    record(Call{Call::Kind::Send, settings, envelopeFrom, envelopeTo, message}, std::move(done));
}

void FakeSmtpClient::checkAccount(const SmtpSettings &settings, const QString &from, Completion done)
{
    record(Call{Call::Kind::Check, settings, from, {}, {}}, std::move(done));
}

void FakeSmtpClient::record(Call call, Completion done)
{
    std::optional<std::optional<SmtpFailure>> atOnce;
    {
        std::lock_guard lock(m_mutex);
        m_calls.append(std::move(call));
        atOnce = m_atOnce;
        m_pending.append(atOnce ? Completion() : done);
    }
    if (atOnce && done)
        done(*atOnce);
}

void FakeSmtpClient::completeAtOnce(std::optional<SmtpFailure> outcome)
{
    std::lock_guard lock(m_mutex);
    m_atOnce = std::move(outcome);
}

void FakeSmtpClient::holdCompletions()
{
    std::lock_guard lock(m_mutex);
    m_atOnce.reset();
}

QList<FakeSmtpClient::Call> FakeSmtpClient::calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}

bool FakeSmtpClient::complete(qsizetype index, const std::optional<SmtpFailure> &outcome)
{
    Completion done;
    {
        std::lock_guard lock(m_mutex);
        if (index < 0 || index >= m_pending.size() || !m_pending[index])
            return false;
        done = std::exchange(m_pending[index], Completion());
    }
    done(outcome);
    return true;
}

qsizetype FakeSmtpClient::pendingCount() const
{
    std::lock_guard lock(m_mutex);
    qsizetype count = 0;
    for (const Completion &done : m_pending)
        count += done ? 1 : 0;
    return count;
}

} // namespace quillcast
