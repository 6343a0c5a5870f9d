#include "document/PendingDeliveries.h"

using namespace Qt::StringLiterals;

namespace quillcast {

PendingDeliveries::Ticket PendingDeliveries::start(const QString &host)
{
    const std::lock_guard guard(m_lock);
    const Ticket ticket = m_next++;
    m_pending.emplace(ticket, host);
    return ticket;
}

bool PendingDeliveries::settle(Ticket ticket)
{
    const std::lock_guard guard(m_lock);
    return m_pending.erase(ticket) == 1;
}

QStringList PendingDeliveries::giveUp(const QString &stamp, qint64 seconds)
{
    std::map<Ticket, QString> abandoned;
    {
        const std::lock_guard guard(m_lock);
        abandoned.swap(m_pending);
    }
    QStringList lines;
    for (const auto &[ticket, host] : abandoned)
        lines.append(noAnswerLine(stamp, host, seconds));
    return lines;
}

int PendingDeliveries::count() const
{
    const std::lock_guard guard(m_lock);
    return int(m_pending.size());
}

QString PendingDeliveries::noAnswerLine(const QString &stamp, const QString &host, qint64 seconds)
{
    return u"%1 no answer from %2 within %3 s: delivery unknown\n"_s.arg(stamp, host, QString::number(seconds));
}

} // namespace quillcast
