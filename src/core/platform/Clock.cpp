#include "platform/Clock.h"

namespace quillcast {

CalendarReading Clock::read() const
{
    return breakDown(now(), timeZone(), calendar());
}

CalendarReading Clock::breakDown(const QDateTime &instant, const QTimeZone &zone, const QCalendar &calendar)
{
    const QDateTime local = instant.toTimeZone(zone);
    const QDate date = local.date();
    const QTime time = local.time();
    CalendarReading r;
    r.year = date.year(calendar);
    r.month = date.month(calendar);
    r.day = date.day(calendar);
    r.hour = time.hour();
    r.minute = time.minute();
    r.second = time.second();
    return r;
}

} // namespace quillcast
