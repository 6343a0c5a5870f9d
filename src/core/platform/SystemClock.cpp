#include "platform/SystemClock.h"

namespace quillcast {

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTimeUtc();
}

QTimeZone SystemClock::timeZone() const
{
    return QTimeZone::systemTimeZone();
}

QCalendar SystemClock::calendar() const
{
    return QCalendar();
}

const SystemClock &SystemClock::instance()
{
    static const SystemClock clock;
    return clock;
}

} // namespace quillcast
