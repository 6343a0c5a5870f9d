#include "platform/FixedClock.h"

namespace quillcast {

FixedClock::FixedClock(QDateTime instant, QTimeZone zone, QCalendar calendar)
    : m_now(std::move(instant)), m_zone(std::move(zone)), m_calendar(calendar)
{
}

QDateTime FixedClock::now() const
{
    std::lock_guard lock(m_lock);
    return m_now;
}

QTimeZone FixedClock::timeZone() const
{
    return m_zone;
}

QCalendar FixedClock::calendar() const
{
    return m_calendar;
}

void FixedClock::setNow(const QDateTime &instant)
{
    std::lock_guard lock(m_lock);
    m_now = instant;
}

void FixedClock::advance(qint64 milliseconds)
{
    std::lock_guard lock(m_lock);
    m_now = m_now.addMSecs(milliseconds);
}

} // namespace quillcast
