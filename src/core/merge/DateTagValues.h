#pragma once

#include "platform/Clock.h"

#include <QString>

namespace quillcast {

// The seven date and time texts of one clock reading, formatted the way both
// tag spellings show them: two-digit year, full year, then two-digit month,
// day, hour (24-hour clock), minute and second.
struct DateTagValues
{
    QString year2;
    QString year;
    QString month;
    QString day;
    QString hour;
    QString minute;
    QString second;

    static DateTagValues fromReading(const CalendarReading &r);
};

} // namespace quillcast
