#pragma once

#include <QString>

namespace quillcast {

class Clock;
class RandomSource;

// Unique strings built from the time of a clock. Safe to call from any
// thread: the serial of the time strings is kept for the whole process.
class UniqueTimeStrings
{
public:
    // Local date and time of the clock as yyyyMMddhhmmss (the year in as many
    // digits as it has).
    static QString uniqueTimeString(const Clock &clock);
    // The time string followed by a random number of at least five digits.
    static QString uniqueTimeRandString(const Clock &clock);
    static QString uniqueTimeRandString(const Clock &clock, RandomSource &random);
    // "0" for a time string not seen just before, then "1", "2"... while the
    // same time string comes again.
    static QString getNewSerialForTimeString(const QString &timeString);
    // The time string followed by its serial: unique within the process.
    static QString uniqueTimeSerialString(const Clock &clock);
};

} // namespace quillcast
