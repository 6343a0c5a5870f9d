#include "platform/UnusedMemory.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace quillcast {

void UnusedMemory::giveBack(const void *begin, size_t size)
{
    static const uintptr_t page = uintptr_t(::sysconf(_SC_PAGESIZE));
    const uintptr_t from = (uintptr_t(begin) + page - 1) & ~(page - 1);
    const uintptr_t to = (uintptr_t(begin) + size) & ~(page - 1);
    // Private anonymous memory dropped this way reads back as zero pages;
    // the allocator's own bookkeeping lies outside the range.
    if (to > from)
        ::madvise(reinterpret_cast<void *>(from), to - from, MADV_DONTNEED);
}

void UnusedMemory::giveBackFreed()
{
    ::malloc_trim(0);
}

} // namespace quillcast
