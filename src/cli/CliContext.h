#pragma once

#include <QTextStream>

namespace quillcast {

class Clock;

namespace cli {

// What every command gets: its streams and the clock.
struct CliContext
{
    QTextStream &out;
    QTextStream &err;
    const Clock &clock;
};

} // namespace cli
} // namespace quillcast
