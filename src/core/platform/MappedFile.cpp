#include "platform/MappedFile.h"

#include "platform/RegularFileReader.h"

#include <cerrno>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace quillcast {

Result<MappedFile> MappedFile::map(const QString &path, qint64 limit)
{
    const Result<RegularFileReader::Opened> opened = RegularFileReader::openRegular(path, limit);
    if (!opened)
        return Result<MappedFile>::failure(opened.error());
    const int fd = opened->fd;
    // An empty file has nothing to map.
    if (opened->size == 0) {
        ::close(fd);
        return MappedFile(nullptr, 0);
    }
    void *data = ::mmap(nullptr, size_t(opened->size), PROT_READ, MAP_PRIVATE, fd, 0);
    const int mapError = errno;
    ::close(fd);
    if (data == MAP_FAILED)
        return Result<MappedFile>::failure(qt_error_string(mapError));
    return MappedFile(static_cast<const char *>(data), qsizetype(opened->size));
}

MappedFile::MappedFile(MappedFile &&other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0))
{
}

MappedFile &MappedFile::operator=(MappedFile &&other) noexcept
{
    std::swap(m_data, other.m_data);
    std::swap(m_size, other.m_size);
    return *this;
}

MappedFile::~MappedFile()
{
    if (m_data)
        ::munmap(const_cast<char *>(m_data), size_t(m_size));
}

void MappedFile::releasePages() const
{
    // The mapping is private and never written, so every page is still the
    // file's: dropped, it is read back from the file cache when needed.
    if (m_data)
        ::madvise(const_cast<char *>(m_data), size_t(m_size), MADV_DONTNEED);
}

} // namespace quillcast
