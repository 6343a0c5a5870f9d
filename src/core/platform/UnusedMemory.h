#pragma once

#include <cstddef>

namespace quillcast {

// Gives memory a process holds but will not read again back to the system
// before it is freed, so that a large buffer read from front to back need not
// be held whole until its end.
class UnusedMemory
{
public:
    // Gives back the whole pages inside [begin, begin + size) of memory the
    // caller alone owns (an allocation of its own, or part of one). The bytes
    // read as zero afterwards; the memory stays allocated and is freed as
    // usual. Parts of pages at either end are kept.
    static void giveBack(const void *begin, size_t size);
    // Gives back the whole pages of what the heap holds freed. After a large
    // piece of work (an import) its freed temporaries stay resident in the
    // middle of the heap, where the allocator does not return them by
    // itself, beside whatever the next piece of work (the save) needs.
    static void giveBackFreed();
};

} // namespace quillcast
