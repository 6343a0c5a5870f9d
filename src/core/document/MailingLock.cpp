#include "document/MailingLock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace quillcast {

MailingLock::MailingLock(const QString &mailingPath)
    : m_mailingPath(mailingPath), m_lockPath(lockPathFor(mailingPath))
{
}

MailingLock::~MailingLock()
{
    release();
}

QString MailingLock::lockPathFor(const QString &mailingPath)
{
    // Beside the file the mailing really is, so that two names for one
    // mailing (a link and its target) share one lock.
    const QFileInfo given(mailingPath);
    const QString canonical = given.canonicalFilePath();
    const QFileInfo mailing(canonical.isEmpty() ? given.absoluteFilePath() : canonical);
    return mailing.absolutePath() + u"/."_s + mailing.fileName() + u".lock"_s;
}

MailingLock::Attempt MailingLock::tryOnce(QString *error)
{
    const QByteArray path = QFile::encodeName(m_lockPath);
    const int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        *error = errno == ENOENT
            ? u"%1 cannot be changed: there is no folder %2"_s.arg(m_mailingPath, QFileInfo(m_lockPath).absolutePath())
            : u"%1 cannot be locked for changing: %2"_s.arg(m_mailingPath, qt_error_string(errno));
        return Attempt::Failed;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int failure = errno;
        ::close(fd);
        if (failure == EWOULDBLOCK || failure == EINTR)
            return Attempt::Busy;
        *error = u"%1 cannot be locked for changing: %2"_s.arg(m_mailingPath, qt_error_string(failure));
        return Attempt::Failed;
    }
    // The holder before us may have removed the file between our open and
    // our lock; a lock on a removed file guards nothing.
    struct stat held = {};
    struct stat named = {};
    if (::fstat(fd, &held) != 0 || ::stat(path.constData(), &named) != 0 || held.st_ino != named.st_ino
        || held.st_dev != named.st_dev) {
        ::close(fd);
        return Attempt::Busy;
    }
    const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, pid.constData(), size_t(pid.size()), 0) != pid.size()) {
        // The pid is only for the message of others; the lock holds anyway.
    }
    m_fd = fd;
    return Attempt::Taken;
}

Status MailingLock::acquire(std::chrono::milliseconds wait)
{
    if (m_fd >= 0)
        return success();
    const QDeadlineTimer deadline(wait);
    for (;;) {
        QString error;
        switch (tryOnce(&error)) {
        case Attempt::Taken:
            return success();
        case Attempt::Failed:
            return Status::failure(error);
        case Attempt::Busy:
            break;
        }
        if (deadline.hasExpired())
            break;
        QThread::msleep(quint64(std::min<qint64>(50, std::max<qint64>(1, deadline.remainingTime()))));
    }
    const qint64 pid = holderPid();
    return Status::failure(pid > 0 ? u"%1 is being changed by another Quillcast process (pid %2)"_s.arg(
                                         m_mailingPath, QString::number(pid))
                                   : u"%1 is being changed by another Quillcast process"_s.arg(m_mailingPath));
}

void MailingLock::release()
{
    if (m_fd < 0)
        return;
    // Removed while still held, so that nobody can lock the old file after
    // the removal (those who opened it before notice the removal and retry).
    ::unlink(QFile::encodeName(m_lockPath).constData());
    ::close(m_fd);
    m_fd = -1;
}

qint64 MailingLock::holderPid() const
{
    QFile file(m_lockPath);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    bool ok = false;
    const qint64 pid = file.read(32).trimmed().toLongLong(&ok);
    return ok ? pid : 0;
}

} // namespace quillcast
