#include "platform/DurableSaveFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

// The file a save replaces: where a symbolic link points, so that the link
// stays a link.
QString resolvedTarget(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink()) {
        const QString canonical = info.canonicalFilePath();
        return canonical.isEmpty() ? info.symLinkTarget() : canonical;
    }
    return info.absoluteFilePath();
}

// Flushes a folder's entries (the rename) to the disk.
int syncFolder(const QString &folder)
{
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = 0;
    if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS)
        error = errno;
    ::close(fd);
    return error;
}

// The target's pages in the file cache are of no use once the new file has
// taken its place, and the new file needs as many: given back now, they are
// the memory the new file's pages are made of. Memory the system has not
// handed out for a while can be far slower to take up (a virtual machine's
// host may have to supply it afresh), and a large save then waits on it.
// Only clean pages go; nothing of the file itself changes. A small file's
// few pages are not worth the calls.
constexpr off_t dropCachedPagesFrom = off_t(16) * 1024 * 1024;

void dropCachedPages(const QString &path)
{
    // Non-blocking, in case something other than the regular file seen a
    // moment ago has taken the name.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

} // namespace

DurableSaveFile::DurableSaveFile(QString path, mode_t newFileMode)
    : m_target(resolvedTarget(path)), m_newFileMode(newFileMode)
{
}

DurableSaveFile::~DurableSaveFile()
{
    discard();
}

bool DurableSaveFile::open(OpenMode mode)
{
    if (isOpen() || (mode & ~(Unbuffered | Truncate)) != WriteOnly)
        return false;
    m_failed = false;
    m_writeAtError = 0;
    const QFileInfo target(m_target);
    mode_t permissions = m_newFileMode;
    struct stat existing = {};
    const bool exists = ::stat(QFile::encodeName(m_target).constData(), &existing) == 0;
    if (exists) {
        if (!S_ISREG(existing.st_mode)) {
            setErrorString(u"it is not a regular file"_s);
            return false;
        }
        permissions = existing.st_mode & 07777;
    }
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        m_temporary = target.absolutePath() + u"/."_s + target.fileName() + u"."_s
            + QString::number(QRandomGenerator::global()->generate(), 36) + u".tmp"_s;
        // A new file gets the mode less the umask from open() itself; an
        // existing file's mode is set exactly below.
        m_fd = ::open(QFile::encodeName(m_temporary).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                      permissions);
        if (m_fd < 0 && errno != EEXIST)
            break;
    }
    if (m_fd < 0) {
        setErrorString(u"no file can be created beside it: "_s + qt_error_string(errno));
        m_temporary.clear();
        return false;
    }
    if (exists && ::fchmod(m_fd, permissions) != 0) {
        fail(u"its permissions cannot be kept"_s, errno);
        discard();
        return false;
    }
    if (exists && existing.st_size >= dropCachedPagesFrom)
        dropCachedPages(m_target);
    return QIODevice::open(WriteOnly | Unbuffered);
}

qint64 DurableSaveFile::readData(char *, qint64)
{
    return -1;
}

qint64 DurableSaveFile::writeData(const char *data, qint64 size)
{
    if (m_failed || m_fd < 0)
        return -1;
    qint64 written = 0;
    while (written < size) {
        const ssize_t n = ::write(m_fd, data + written, size_t(size - written));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(u"the write failed"_s, errno);
            return written > 0 ? written : -1;
        }
        if (n == 0) {
            fail(u"the write failed"_s, EIO);
            return written > 0 ? written : -1;
        }
        written += n;
    }
    wrote(written);
    return written;
}

bool DurableSaveFile::writeAt(qint64 offset, const char *data, qint64 size)
{
    if (m_fd < 0 || offset < 0 || m_writeAtError.load(std::memory_order_relaxed) != 0)
        return false;
    qint64 written = 0;
    while (written < size) {
        const ssize_t n = ::pwrite(m_fd, data + written, size_t(size - written), off_t(offset + written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            int expected = 0;
            m_writeAtError.compare_exchange_strong(expected, n < 0 ? errno : EIO);
            return false;
        }
        written += n;
    }
    wrote(written);
    return true;
}

void DurableSaveFile::wrote(qint64 bytes)
{
    qint64 pending = m_notWrittenBack.fetch_add(bytes, std::memory_order_relaxed) + bytes;
    if (pending < writebackStep || !m_notWrittenBack.compare_exchange_strong(pending, 0, std::memory_order_relaxed))
        return;
    // Only started, never waited for: a failure still comes out of the
    // flush in commit(), which this does not take from it.
    ::sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
}

void DurableSaveFile::fail(const QString &what, int error)
{
    m_failed = true;
    const QString reason = qt_error_string(error);
    setErrorString(what + u": "_s + reason);
}

bool DurableSaveFile::commit()
{
    if (m_fd < 0)
        return false;
    if (const int error = m_writeAtError.load(); error != 0 && !m_failed)
        fail(u"the write failed"_s, error);
    if (!m_failed && ::fsync(m_fd) != 0)
        fail(u"it could not be flushed to the disk"_s, errno);
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && !m_failed)
        fail(u"it could not be closed"_s, errno);
    QIODevice::close();
    if (m_failed) {
        discard();
        return false;
    }
    if (::rename(QFile::encodeName(m_temporary).constData(), QFile::encodeName(m_target).constData()) != 0) {
        fail(u"it could not replace the old file"_s, errno);
        discard();
        return false;
    }
    m_temporary.clear();
    if (const int error = syncFolder(QFileInfo(m_target).absolutePath()); error != 0) {
        // The new contents are in place; only their survival of a crash is
        // in doubt. Say so rather than report a clean save.
        fail(u"its folder could not be flushed to the disk"_s, error);
        return false;
    }
    return true;
}

void DurableSaveFile::cancelWriting()
{
    discard();
}

void DurableSaveFile::discard()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.isEmpty()) {
        ::unlink(QFile::encodeName(m_temporary).constData());
        m_temporary.clear();
    }
    if (isOpen())
        QIODevice::close();
}

Status DurableSaveFile::replaceWith(const QString &path, const QByteArray &bytes, mode_t newFileMode)
{
    DurableSaveFile file(path, newFileMode);
    if (!file.open(WriteOnly))
        return Status::failure(file.errorString());
    constexpr qsizetype piece = 1 << 20;
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        const qsizetype length = std::min(piece, bytes.size() - at);
        if (file.write(bytes.constData() + at, length) != length) {
            file.cancelWriting();
            return Status::failure(file.errorString());
        }
    }
    if (!file.commit())
        return Status::failure(file.errorString());
    return success();
}

Status DurableSaveFile::writeWhole(const QString &path, const QByteArray &bytes, mode_t newFileMode)
{
    const Status replaced = replaceWith(path, bytes, newFileMode);
    if (!replaced)
        return Status::failure(u"%1 could not be written, %2."_s.arg(path, replaced.error()));
    return success();
}

} // namespace quillcast
