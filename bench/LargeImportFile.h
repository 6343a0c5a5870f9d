#pragma once

// What the import benchmarks share: the large file they import, and the
// process's peak memory.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

#include <malloc.h>

namespace quillcast::bench {

using namespace Qt::StringLiterals;

inline constexpr int kLines = 1'000'000;

inline const char *const kFirst[] = {"Anna", "Ben", "Clara", "David", "Elif", "Felix", "Greta", "Hannes",
                              "Ida", "Jonas", "Katrin", "Lukas", "Marie", "Noah", "Zoë", "Søren"};
inline const char *const kLast[] = {"Müller", "Schmidt", "Schneider", "Fischer", "Weber", "Meyer", "Wagner", "Becker",
                             "Schulz", "Hoffmann", "Koch", "Richter", "Klein", "Wolf", "Schröder", "Neumann"};
inline const char *const kTown[] = {"Aachen", "Bamberg", "Celle", "Dresden", "Erfurt", "Fulda", "Görlitz", "Hameln"};

// A 1,000,000-line, 5-column UTF-8 CSV of about 60 MB, written once per run
// (streamed, so the benchmark's own memory stays out of the picture). Also
// printed so that other tools can read the same file.
inline const QString &csvPath()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.filePath(u"people.csv"_s);
        QFile file(p);
        if (!file.open(QIODevice::WriteOnly))
            std::abort();
        QByteArray chunk;
        file.write("email,first,last,town,customer\n");
        for (int i = 1; i < kLines; ++i) {
            const char *first = kFirst[i % 16];
            const char *last = kLast[(i / 16) % 16];
            chunk += "member" + QByteArray::number(i) + "@example.org," + first + ',' + last + ',' + kTown[i % 8]
                + "-Mitte,Customer " + QByteArray::number(1990 + i % 35) + '\n';
            if (chunk.size() > (1 << 20)) {
                file.write(chunk);
                chunk.clear();
            }
        }
        file.write(chunk);
        std::fprintf(stderr, "import file: %s (%lld bytes)\n", qPrintable(p), static_cast<long long>(file.size()));
        return p;
    }();
    return path;
}

// The process's peak resident memory (VmHWM) in MiB; resetPeakMemory()
// brings it down to the current use, so that one step's peak can be read.
inline double peakMemoryMiB()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return -1;
}

// Bytes handed out by the allocator and still in use, on every thread's
// arena: the difference across a step is what the step keeps.
inline double heapBytesInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd);
}

inline void resetPeakMemory()
{
    QFile clear(u"/proc/self/clear_refs"_s);
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}


} // namespace quillcast::bench
