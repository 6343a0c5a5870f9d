#pragma once

#include <QTextStream>

namespace quillcast {

class Clock;

namespace cli {

// What every command gets: its streams and the clock, and whether long runs
// may draw a progress line on err (only when it is a terminal, so that what
// scripts and logs capture stays the same).
struct CliContext
{
    QTextStream &out;
    QTextStream &err;
    const Clock &clock;
    bool progressLine = false;
    // The process ends as soon as the command returns: a mailing it opened
    // is left for the exit to reclaim instead of being freed record by record
    // (a tenth of the run of a read-only command on a million records).
    bool endsProcess = false;
};

} // namespace cli
} // namespace quillcast
