// libFuzzer target for the document file's container: arbitrary bytes are
// read as a keyed archive. Anything may be refused; nothing may crash, hang or
// allocate without bound. What does read must save, read back, and save again
// to the very same bytes.

#include "document/archive/KeyedArchiver.h"
#include "document/archive/KeyedUnarchiver.h"

#include <QByteArray>

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace quillcast;

namespace {

// libplist comes from the system and is not instrumented, so AddressSanitizer
// would not notice it reading past the end of the input. The input is copied
// to the end of memory that an inaccessible page follows: such a read faults.
const char *guardedCopy(const uint8_t *data, size_t size)
{
    static char *region = nullptr;
    static size_t capacity = 0; // bytes usable before the guard page
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    if (size > capacity) {
        if (region)
            munmap(region, capacity + page);
        capacity = (size + page - 1) / page * page;
        void *p = mmap(nullptr, capacity + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            std::abort();
        region = static_cast<char *>(p);
        if (mprotect(region + capacity, page, PROT_NONE) != 0)
            std::abort();
    }
    char *start = region + capacity - size;
    if (size)
        std::memcpy(start, data, size);
    return start;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(guardedCopy(data, size), qsizetype(size));
    const Result<Value> read = KeyedUnarchiver::unarchive(bytes);
    if (!read) {
        if (read.error().isEmpty())
            std::abort(); // a refusal must say why
        return 0;
    }
    const Result<QByteArray> saved = KeyedArchiver::archive(read.value());
    if (!saved)
        std::abort();
    const Result<Value> reread = KeyedUnarchiver::unarchive(saved.value());
    if (!reread)
        std::abort();
    const Result<QByteArray> again = KeyedArchiver::archive(reread.value());
    if (!again || again.value() != saved.value())
        std::abort();
    return 0;
}
