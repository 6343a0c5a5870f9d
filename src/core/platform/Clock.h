#pragma once

#include <QCalendar>
#include <QDateTime>
#include <QTimeZone>

namespace quillcast {

// One reading of the clock, broken into the user's calendar fields.
struct CalendarReading
{
    qint64 year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The source of "now": the instant, and the calendar and time zone the user
// reads it in. Injected wherever the current date shows up in results, so that
// tests can fix it.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    virtual QTimeZone timeZone() const = 0;
    virtual QCalendar calendar() const = 0;

    // Reads the clock once and breaks the instant down.
    CalendarReading read() const;
    static CalendarReading breakDown(const QDateTime &instant, const QTimeZone &zone, const QCalendar &calendar);
};

} // namespace quillcast
