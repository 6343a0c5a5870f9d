#include "send/RunJournal.h"

#include "send/RunJournalObserver.h"

#include <QFile>
#include <QFileInfo>

#include <utility>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

QString escaped(const QString &field)
{
    QString out;
    out.reserve(field.size());
    for (const QChar c : field) {
        switch (c.unicode()) {
        case '\\':
            out += u"\\\\"_s;
            break;
        case '\t':
            out += u"\\t"_s;
            break;
        case '\n':
            out += u"\\n"_s;
            break;
        case '\r':
            out += u"\\r"_s;
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString millis(const QDateTime &when)
{
    return QString::number(when.toMSecsSinceEpoch());
}

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// A new file's name is only durable once its folder is flushed.
void syncFolder(const QString &path)
{
    const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

RunJournal::~RunJournal()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QByteArray RunJournal::line(const QList<QString> &fields)
{
    QString text;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            text += u'\t';
        text += escaped(fields[i]);
    }
    QByteArray bytes = text.toUtf8();
    const uLong crc = ::crc32(0L, reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size()));
    bytes += '\t';
    bytes += QByteArray::number(qulonglong(crc), 16).rightJustified(8, '0');
    bytes += '\n';
    return bytes;
}

Result<std::unique_ptr<RunJournal>> RunJournal::create(const QString &path, const QString &mailingPath,
                                                       const QDateTime &start)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC,
                          0600);
    if (fd < 0)
        return Result<std::unique_ptr<RunJournal>>::failure(
            u"The run's journal %1 could not be created: %2"_s.arg(path, errnoText(errno)));
    std::unique_ptr<RunJournal> journal(new RunJournal(path, fd, start));
    const Status written =
        journal->append(line({u"quillcast-run"_s, u"1"_s, mailingPath, millis(start)}), Sync::Now);
    if (!written)
        return Result<std::unique_ptr<RunJournal>>::failure(written.error());
    syncFolder(path);
    return journal;
}

Result<std::unique_ptr<RunJournal>> RunJournal::reopen(const QString &path, qint64 validLength)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return Result<std::unique_ptr<RunJournal>>::failure(
            u"The run's journal %1 could not be opened: %2"_s.arg(path, errnoText(errno)));
    std::unique_ptr<RunJournal> journal(new RunJournal(path, fd, QDateTime()));
    if (::ftruncate(fd, validLength) != 0 || ::fdatasync(fd) != 0)
        return Result<std::unique_ptr<RunJournal>>::failure(
            u"The run's journal %1 could not be repaired: %2"_s.arg(path, errnoText(errno)));
    return journal;
}

Status RunJournal::append(const QByteArray &bytes, Sync sync)
{
    const std::lock_guard guard(m_lock);
    if (m_broken)
        return Status::failure(u"The run's journal %1 is no longer written after an earlier failure"_s.arg(m_path));
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_broken = true;
            return Status::failure(u"The run's journal %1 could not be written: %2"_s.arg(
                m_path, n < 0 ? errnoText(errno) : u"nothing written"_s));
        }
        done += n;
    }
    if (sync == Sync::WithNext)
        return success();
    if (::fdatasync(m_fd) != 0) {
        m_broken = true;
        return Status::failure(u"The run's journal %1 could not be flushed: %2"_s.arg(m_path, errnoText(errno)));
    }
    return success();
}

Status RunJournal::flush()
{
    return append(QByteArray(), Sync::Now);
}

Status RunJournal::queued(const std::vector<Queued> &recipients)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(recipients.size()) * 32);
    for (const Queued &q : recipients)
        bytes += line({u"Q"_s, QString::number(q.index), q.recordId});
    const Status written = append(bytes, Sync::Now);
    if (m_observer)
        m_observer->runBegun(m_path, m_start, recipients);
    return written;
}

Status RunJournal::handed(qint64 index, const QString &address, const QDateTime &when)
{
    {
        const std::lock_guard guard(m_stateLock);
        m_inFlight.insert(index);
    }
    const Status written = append(line({u"H"_s, QString::number(index), millis(when), address}), Sync::Now);
    if (m_observer)
        m_observer->handed(index, address, when);
    return written;
}

Status RunJournal::answered(qint64 index, const QByteArray &bytes)
{
    const Status written = append(bytes, Sync::WithNext);
    const std::lock_guard guard(m_stateLock);
    if (m_inFlight.erase(index) > 0 && m_inFlight.empty() && m_pendingEnd) {
        const PendingEnd end = *std::exchange(m_pendingEnd, std::nullopt);
        (void)ended(end.end, end.reason, end.when);
    }
    return written;
}

void RunJournal::endWhenAnswered(End end, const QString &reason, const QDateTime &when)
{
    const std::lock_guard guard(m_stateLock);
    if (m_inFlight.empty())
        (void)ended(end, reason, when);
    else
        m_pendingEnd = PendingEnd{end, reason, when};
}

Status RunJournal::accepted(qint64 index, const QString &reply, const QDateTime &when)
{
    if (m_observer)
        m_observer->answered(index, RunJournalContents::Outcome::Accepted, 0, reply, when);
    return answered(index, line({u"A"_s, QString::number(index), millis(when), reply}));
}

Status RunJournal::refused(qint64 index, int code, const QString &text, const QDateTime &when)
{
    if (m_observer)
        m_observer->answered(index, RunJournalContents::Outcome::Refused, code, text, when);
    return answered(index, line({u"R"_s, QString::number(index), millis(when), QString::number(code), text}));
}

Status RunJournal::failed(qint64 index, const QString &reason, const QDateTime &when)
{
    if (m_observer)
        m_observer->answered(index, RunJournalContents::Outcome::Failed, 0, reason, when);
    return answered(index, line({u"F"_s, QString::number(index), millis(when), reason}));
}

Status RunJournal::resumed(bool resendUnknown, const QDateTime &when)
{
    const Status written =
        append(line({u"S"_s, millis(when), resendUnknown ? u"resend-unknown"_s : u"skip-unknown"_s}), Sync::Now);
    if (m_observer)
        m_observer->runContinued(m_path);
    return written;
}

Status RunJournal::retried(bool includePermanent, const QDateTime &when)
{
    const Status written = append(
        line({u"S"_s, millis(when), includePermanent ? u"retry-all-failed"_s : u"retry-failed"_s}), Sync::Now);
    if (m_observer)
        m_observer->runContinued(m_path);
    return written;
}

Status RunJournal::ended(End end, const QString &reason, const QDateTime &when)
{
    const QString kind = end == End::Finished ? u"finished"_s : end == End::Cancelled ? u"cancelled"_s : u"stopped"_s;
    const Status written = append(line({u"E"_s, millis(when), kind, reason}), Sync::Now);
    if (m_observer)
        m_observer->ended(end);
    return written;
}

} // namespace quillcast
