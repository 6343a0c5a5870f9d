#pragma once

#include "util/Result.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace quillcast {

// Reads a whole file that the user named, safely: only a regular file is
// read (a FIFO would block for ever, /dev/zero would never end, a folder has
// no contents), and its size is checked against the limit before a byte is
// read. The file is opened without blocking, so naming a FIFO is refused at
// once instead of waiting for a writer.
class RegularFileReader
{
public:
    // The limit for the texts the user names (templates, import files).
    static constexpr qint64 kTextFileLimit = qint64(1024) * 1024 * 1024;

    // The whole contents, or why they cannot be had (a reason without the
    // path, for the caller's message: "it is a pipe, not a regular file").
    static Result<QByteArray> read(const QString &path, qint64 limit);

    // After every slice read (of at most kSlice bytes): the bytes read so
    // far and the size the file had when opened. Returning false stops the
    // read, which then fails with cancelledMessage().
    using SliceHandler = std::function<bool(qint64 read, qint64 size)>;
    static constexpr qint64 kSlice = qint64(4) * 1024 * 1024;
    static Result<QByteArray> read(const QString &path, qint64 limit, const SliceHandler &onSlice);
    // "the read was cancelled"
    static QString cancelledMessage();

    // Opens path for reading the way read() does (without blocking, refusing
    // anything but a regular file and a file over limit bytes by its size
    // now): the descriptor, which the caller closes, and that size.
    struct Opened
    {
        int fd = -1;
        qint64 size = 0;
    };
    static Result<Opened> openRegular(const QString &path, qint64 limit);

    // Whether path names a regular file (after following links), with the
    // reason when it does not.
    static Status checkRegular(const QString &path);
};

} // namespace quillcast
