#pragma once

#include "platform/Clock.h"

namespace quillcast {

// The real clock, read in the system time zone and the Gregorian calendar
// (the calendar of the user's locale on the desktops we support).
class SystemClock final : public Clock
{
public:
    QDateTime now() const override;
    QTimeZone timeZone() const override;
    QCalendar calendar() const override;

    static const SystemClock &instance();
};

} // namespace quillcast
