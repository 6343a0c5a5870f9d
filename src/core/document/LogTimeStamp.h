#pragma once

#include <QDateTime>
#include <QString>

namespace quillcast {

class Clock;

// The time stamp with which every line of the sending log begins: the date
// and the time in the user's locale, each in its short form (no seconds).
class LogTimeStamp
{
public:
    static QString format(const QDateTime &instant);
    static QString now(const Clock &clock);
};

} // namespace quillcast
