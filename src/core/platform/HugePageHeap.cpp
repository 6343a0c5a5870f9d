#include "platform/HugePageHeap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <sys/auxv.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillcast {

namespace {

constexpr std::string_view setting = "glibc.malloc.hugetlb";
constexpr std::string_view settingOn = "glibc.malloc.hugetlb=1";
// What the heap keeps in hand beyond a request when it grows. The default
// (128 KiB) makes the heap of every thread but the first grow a page at a
// time, each page a call into the kernel and a small-page fault: the second
// core decoding a large mailing made over 10,000 such calls. With 64 MiB, the
// largest such heap there is, a thread's heap is made usable in one step and
// the first heap grows in steps of 64 MiB, each on huge pages.
constexpr std::string_view padSetting = "glibc.malloc.top_pad";
constexpr std::string_view padOn = "glibc.malloc.top_pad=67108864";
// Set in the environment of the program started again: if the setting were
// ever dropped on the way (the C library does that for privileged programs),
// it still starts again only once.
constexpr const char *restartedMarker = "QUILLCAST_HUGE_PAGE_HEAP";

} // namespace

std::optional<std::string> HugePageHeap::tunablesWith(const char *current)
{
    const std::string_view text(current ? current : "");
    // Settings are NAME=VALUE, separated by colons.
    const auto names = [&](std::string_view name) {
        size_t start = 0;
        while (start <= text.size()) {
            const size_t end = std::min(text.find(':', start), text.size());
            const std::string_view item = text.substr(start, end - start);
            if (item.substr(0, item.find('=')) == name)
                return true;
            start = end + 1;
        }
        return false;
    };
    if (names(setting))
        return std::nullopt;
    std::string joined(text);
    const auto add = [&](std::string_view item) {
        if (!joined.empty())
            joined += ':';
        joined += item;
    };
    add(settingOn);
    if (!names(padSetting))
        add(padOn);
    return joined;
}

bool HugePageHeap::namesLargeFile(int argc, const char *const *argv)
{
    for (int i = 1; i < argc; ++i) {
        struct stat info{};
        if (argv[i] && ::stat(argv[i], &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= worthwhileBytes)
            return true;
    }
    return false;
}

void HugePageHeap::restartWithHugePages(char **argv)
{
#ifdef __GLIBC__
    // The setting exists from glibc 2.35 on; older ones ignore it.
    if (!__GLIBC_PREREQ(2, 35))
        return;
    if (std::getenv(restartedMarker) || ::getauxval(AT_SECURE) != 0)
        return;
    const char *current = std::getenv("GLIBC_TUNABLES");
    const std::optional<std::string> before = current ? std::optional<std::string>(current) : std::nullopt;
    const std::optional<std::string> tunables = tunablesWith(current);
    if (!tunables)
        return;
    if (::setenv("GLIBC_TUNABLES", tunables->c_str(), 1) == 0 && ::setenv(restartedMarker, "1", 1) == 0)
        ::execv("/proc/self/exe", argv);
    // Not started again (no /proc, say): go on as we are, with the
    // environment as it was for the programs this one runs.
    if (before)
        ::setenv("GLIBC_TUNABLES", before->c_str(), 1);
    else
        ::unsetenv("GLIBC_TUNABLES");
    ::unsetenv(restartedMarker);
#else
    (void)argv;
#endif
}

} // namespace quillcast
