#include "merge/DateTagValues.h"

namespace quillcast {

namespace {

// printf's "%02li": at least two characters, zero-padded; a negative value keeps its sign.
QString twoDigits(qint64 v)
{
    if (v >= 0 && v < 10)
        return QString(u'0') + QChar(char16_t(u'0' + v));
    return QString::number(v);
}

} // namespace

DateTagValues DateTagValues::fromReading(const CalendarReading &r)
{
    return DateTagValues{twoDigits(r.year % 100), QString::number(r.year), twoDigits(r.month), twoDigits(r.day),
                         twoDigits(r.hour),       twoDigits(r.minute),    twoDigits(r.second)};
}

} // namespace quillcast
