#pragma once

#include <csignal>
#include <sys/resource.h>

namespace quillcast::testing {

// A real short write, without privileges: while this object lives, the
// process may not make any file larger than the limit. With SIGXFSZ ignored
// the write that crosses the limit is cut short and the next one fails with
// EFBIG, as a full disk would fail with ENOSPC.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        struct rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    struct rlimit m_previous = {};
    void (*m_previousHandler)(int) = SIG_DFL;
};

} // namespace quillcast::testing
