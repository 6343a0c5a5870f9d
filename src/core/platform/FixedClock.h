#pragma once

#include "platform/Clock.h"

#include <mutex>

namespace quillcast {

// A clock that says what it is told: for reproducible runs (the CLI's --now)
// and tests. It may be moved on while others read it.
class FixedClock final : public Clock
{
public:
    explicit FixedClock(QDateTime instant, QTimeZone zone = QTimeZone::utc(), QCalendar calendar = QCalendar());

    QDateTime now() const override;
    QTimeZone timeZone() const override;
    QCalendar calendar() const override;

    void setNow(const QDateTime &instant);
    void advance(qint64 milliseconds);

private:
    mutable std::mutex m_lock;
    QDateTime m_now;
    QTimeZone m_zone;
    QCalendar m_calendar;
};

} // namespace quillcast
