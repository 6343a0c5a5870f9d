#include "platform/RegularFileReader.h"

#include <QFile>
#include <QLocale>

#include <cerrno>
#include <utility>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

QString kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return u"a folder"_s;
    if (S_ISFIFO(mode))
        return u"a pipe"_s;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return u"a device"_s;
    if (S_ISSOCK(mode))
        return u"a socket"_s;
    return u"not a regular file"_s;
}

QString notRegular(mode_t mode)
{
    return u"it is %1, not a regular file"_s.arg(kindOf(mode));
}

// Closes the descriptor on every way out.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

} // namespace

Status RegularFileReader::checkRegular(const QString &path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return Status::failure(qt_error_string(errno));
    if (!S_ISREG(info.st_mode))
        return Status::failure(notRegular(info.st_mode));
    return success();
}

Result<QByteArray> RegularFileReader::read(const QString &path, qint64 limit)
{
    return read(path, limit, SliceHandler());
}

QString RegularFileReader::cancelledMessage()
{
    return u"the read was cancelled"_s;
}

Result<RegularFileReader::Opened> RegularFileReader::openRegular(const QString &path, qint64 limit)
{
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a
    // writer; the type is checked on the open descriptor, so a file swapped
    // between a check and the open cannot slip through.
    Descriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (fd.get() < 0)
        return Result<Opened>::failure(qt_error_string(errno));
    struct stat info = {};
    if (::fstat(fd.get(), &info) != 0)
        return Result<Opened>::failure(qt_error_string(errno));
    if (!S_ISREG(info.st_mode))
        return Result<Opened>::failure(notRegular(info.st_mode));
    if (info.st_size > limit) {
        const QLocale c = QLocale::c();
        return Result<Opened>::failure(u"it is too large (%1 bytes; at most %2 bytes are read)"_s.arg(
            c.toString(qint64(info.st_size)), c.toString(limit)));
    }
    return Opened{fd.release(), qint64(info.st_size)};
}

Result<QByteArray> RegularFileReader::read(const QString &path, qint64 limit, const SliceHandler &onSlice)
{
    const Result<Opened> opened = openRegular(path, limit);
    if (!opened)
        return Result<QByteArray>::failure(opened.error());
    const Descriptor fd(opened->fd);

    QByteArray bytes;
    bytes.resize(qsizetype(opened->size));
    qint64 filled = 0;
    // The file may grow or shrink while it is read; what is read is what was
    // there, never more than the limit.
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() >= limit + 1)
                break;
            bytes.resize(qsizetype(std::min<qint64>(limit + 1, std::max<qint64>(bytes.size() * 2, 4096))));
        }
        const qint64 wanted = onSlice ? std::min<qint64>(bytes.size() - filled, kSlice) : bytes.size() - filled;
        const ssize_t got = ::read(fd.get(), bytes.data() + filled, size_t(wanted));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return Result<QByteArray>::failure(qt_error_string(errno));
        }
        if (got == 0)
            break;
        filled += got;
        if (onSlice && !onSlice(filled, opened->size))
            return Result<QByteArray>::failure(cancelledMessage());
    }
    if (filled > limit)
        return Result<QByteArray>::failure(
            u"it is too large (more than %1 bytes)"_s.arg(QLocale::c().toString(limit)));
    bytes.truncate(qsizetype(filled));
    return bytes;
}

} // namespace quillcast
