#include "platform/LXBookmark.h"

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillcast {

namespace {

// Every token starts with these bytes and a format number, so that bytes from
// another system (a bookmark made on another platform, say) are recognised as
// foreign instead of being misread.
constexpr char kMagic[] = "QCBK";
constexpr qsizetype kMagicSize = 4;
constexpr quint8 kFormat = 1;
// Far longer than any path the system accepts; guards against hostile sizes.
constexpr qsizetype kMaxPathLength = 64 * 1024;

struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;

    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};

std::optional<FileIdentity> identityOf(const QString &path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileIdentity{quint64(info.st_dev), quint64(info.st_ino)};
}

bool canOpen(const QString &path, LXBookmark::Access access)
{
    const int mode = access == LXBookmark::Access::ReadWrite ? O_RDWR : O_RDONLY;
    // Non-blocking, so that a named pipe at the path cannot hang the caller.
    const int fd = ::open(QFile::encodeName(path).constData(), mode | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

QDataStream::Version streamVersion()
{
    // Fixed, so that tokens written today read the same with later Qt releases.
    return QDataStream::Qt_6_0;
}

} // namespace

std::optional<QByteArray> LXBookmark::bookmarkForURL_RW(const QString &path)
{
    return bookmarkFor(path, Access::ReadWrite);
}

std::optional<QByteArray> LXBookmark::bookmarkForURL_RO(const QString &path)
{
    return bookmarkFor(path, Access::ReadOnly);
}

std::optional<QByteArray> LXBookmark::bookmarkFor(const QString &path, Access access)
{
    if (path.isEmpty())
        return std::nullopt;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const std::optional<FileIdentity> identity = identityOf(absolute);
    if (!identity || !canOpen(absolute, access))
        return std::nullopt;

    QByteArray token(kMagic, kMagicSize);
    QDataStream out(&token, QIODevice::WriteOnly | QIODevice::Append);
    out.setVersion(streamVersion());
    out << kFormat << quint8(access == Access::ReadWrite ? 1 : 0) << absolute << identity->device << identity->inode;
    if (out.status() != QDataStream::Ok)
        return std::nullopt;
    return token;
}

std::optional<LXBookmark::Location> LXBookmark::urlForBookmark(const QByteArray &bookmark, bool *isStale)
{
    if (isStale)
        *isStale = false;
    if (bookmark.size() <= kMagicSize || !bookmark.startsWith(QByteArrayView(kMagic, kMagicSize)))
        return std::nullopt;

    QDataStream in(bookmark.sliced(kMagicSize));
    in.setVersion(streamVersion());
    quint8 format = 0;
    quint8 accessCode = 0;
    in >> format >> accessCode;
    if (in.status() != QDataStream::Ok || format != kFormat || accessCode > 1)
        return std::nullopt;
    QString path;
    FileIdentity chosen;
    in >> path >> chosen.device >> chosen.inode;
    // Qt reads a long text in bounded chunks, so a hostile length fails without a huge allocation.
    if (in.status() != QDataStream::Ok || !in.atEnd() || path.isEmpty() || path.size() > kMaxPathLength
        || !QFileInfo(path).isAbsolute())
        return std::nullopt;

    const std::optional<FileIdentity> now = identityOf(path);
    if (!now)
        return std::nullopt;
    if (isStale)
        *isStale = *now != chosen;
    return Location{path, accessCode == 1 ? Access::ReadWrite : Access::ReadOnly};
}

bool LXBookmark::startAccessingSecurityScopedResource(const Location &location)
{
    return !location.path.isEmpty() && canOpen(location.path, location.access);
}

void LXBookmark::stopAccessingSecurityScopedResource(const Location &)
{
    // Nothing was granted, so nothing is given back.
}

} // namespace quillcast
