#pragma once

#include <optional>
#include <string>

namespace quillcast {

// Runs the process with the C library's heap on huge memory pages.
//
// A large mailing is a few hundred megabytes of small records. On a system
// that gives huge pages only to memory that asks for them, every 4 KiB of it
// costs the kernel a page fault on first touch: at a million records that was
// a third of an open's time, and more of an import's. The C library asks for
// huge pages when the environment says so at start-up, and only then, so a
// process that wants them starts itself again with that setting, once, before
// it has done anything else (no threads, no open windows, the same arguments,
// the same standard streams and limits). The same start sets the heap to grow
// in large steps, which spares the threads that decode and build records a
// call into the kernel for every page they fill.
//
// Starting again costs the loading of the program a second time (about 20 ms
// for the command line), so the command line does it only for large inputs;
// the desktop application, which may open any mailing later, always does.
class HugePageHeap
{
public:
    // Files from this size on make starting again worth it.
    static constexpr long long worthwhileBytes = 8LL * 1024 * 1024;

    // The value for GLIBC_TUNABLES that adds the huge-page setting, and a
    // heap that grows in large steps, to `current` (null when unset); nothing
    // when the huge-page setting is there already, whatever its value (a
    // user's choice). A step size the user chose is kept.
    static std::optional<std::string> tunablesWith(const char *current);

    // Whether one of the arguments names a regular file of worthwhileBytes
    // or more.
    static bool namesLargeFile(int argc, const char *const *argv);

    // Starts the program again with the setting, unless it runs with it
    // already, is privileged, has started again once, or the C library has
    // no such setting. Returns only when it did not start again.
    static void restartWithHugePages(char **argv);
};

} // namespace quillcast
