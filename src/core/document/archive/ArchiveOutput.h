#pragma once

#include <QtGlobal>

#include <cstddef>

namespace quillcast {

// Where KeyedArchiver puts an archive. The archive's size is known before its
// first byte is written, and its parts are written in pieces at their places,
// from more than one thread at a time, so that a large archive needs neither
// a growing buffer nor a copy of the whole in memory.
class ArchiveOutput
{
public:
    virtual ~ArchiveOutput() = default;

    // Called once, before any write, with the archive's exact size. False
    // stops the archiving.
    virtual bool begin(quint64 size) = 0;
    // Writes bytes at an offset inside the archive. Called from several
    // threads at once, never for overlapping ranges. False when the bytes
    // could not be written; the archiving then stops.
    virtual bool writeAt(quint64 offset, const char *data, size_t size) = 0;
};

} // namespace quillcast
