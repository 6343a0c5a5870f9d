#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <malloc.h>

namespace quillcast::bench {

// A line of /proc/self/status (Linux) in KiB: "VmRSS:" for the resident
// memory now, "VmHWM:" for the peak since resetPeakMemory().
inline qint64 processStatusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

// Gives freed heap back and starts a new peak, so that the next step's own
// peak can be read.
inline void resetPeakMemory()
{
    malloc_trim(0);
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

} // namespace quillcast::bench
