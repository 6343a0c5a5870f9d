#include "platform/UniqueTimeStrings.h"

#include "platform/Clock.h"
#include "platform/RandomIntInRange.h"
#include "platform/SeededRandomSource.h"

#include <mutex>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

QString twoDigits(int n)
{
    return u"%1"_s.arg(n, 2, 10, QLatin1Char('0'));
}

// The last time string handed to getNewSerialForTimeString and its counter,
// shared by the whole process.
struct SerialState
{
    std::mutex lock;
    QString lastTimeString;
    qint64 counter = 0;

    QString next(const QString &timeString)
    {
        if (timeString == lastTimeString) {
            ++counter;
        } else {
            counter = 0;
            lastTimeString = timeString;
        }
        return QString::number(counter);
    }
};

SerialState &serialState()
{
    static SerialState state;
    return state;
}

} // namespace

QString UniqueTimeStrings::uniqueTimeString(const Clock &clock)
{
    const CalendarReading r = clock.read();
    return QString::number(r.year) + twoDigits(r.month) + twoDigits(r.day) + twoDigits(r.hour)
        + twoDigits(r.minute) + twoDigits(r.second);
}

QString UniqueTimeStrings::uniqueTimeRandString(const Clock &clock)
{
    return uniqueTimeRandString(clock, SeededRandomSource::processInstance());
}

QString UniqueTimeStrings::uniqueTimeRandString(const Clock &clock, RandomSource &random)
{
    const qint64 number = randomIntInRange(1, 32000000000000, random);
    return uniqueTimeString(clock) + u"%1"_s.arg(number, 5, 10, QLatin1Char('0'));
}

QString UniqueTimeStrings::getNewSerialForTimeString(const QString &timeString)
{
    SerialState &state = serialState();
    std::lock_guard lock(state.lock);
    return state.next(timeString);
}

QString UniqueTimeStrings::uniqueTimeSerialString(const Clock &clock)
{
    SerialState &state = serialState();
    // The clock is read under the lock too: a caller that read an earlier
    // second but came in late would reset the counter and let the next caller
    // of the later second repeat a serial already given out.
    std::lock_guard lock(state.lock);
    const QString timeString = uniqueTimeString(clock);
    return timeString + state.next(timeString);
}

} // namespace quillcast
