#pragma once

#include "util/Result.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <atomic>

#include <sys/types.h>

namespace quillcast {

// Replaces a file whole or not at all, and durably: the bytes go to a new
// file beside the target, every write is checked (a short write or a full
// disk fails the save instead of being lost in a buffer), the new file is
// flushed to the disk before it takes the target's name, and the folder is
// flushed after, so that a crash right after a reported save keeps the save.
// Until commit() succeeds the target is untouched; a failed or abandoned
// save removes the new file.
//
// A target that is a symbolic link is replaced where the link points. An
// existing target keeps its permissions; a new one gets the mode given
// (less the umask), or 0666 less the umask.
//
// Writes go straight to the file (no buffer), so write in pieces of a
// reasonable size.
class DurableSaveFile final : public QIODevice
{
    Q_OBJECT
public:
    explicit DurableSaveFile(QString path, mode_t newFileMode = 0666);
    ~DurableSaveFile() override;

    // Creates the new file; mode must be WriteOnly.
    bool open(OpenMode mode) override;
    bool isSequential() const override { return true; }
    // Flushes, renames over the target and flushes the folder. False, with
    // errorString() saying what went wrong (without the path), when any
    // write failed or the file could not take the target's place.
    bool commit();
    // Removes the new file; the target stays as it was.
    void cancelWriting();

    // Writes bytes at an offset of the new file, for a writer that knows
    // where each piece goes (the file grows to hold it). Several threads may
    // call it at once, for pieces that do not overlap, but nothing else
    // meanwhile. False when the bytes could not be written; commit() then
    // fails and says why.
    bool writeAt(qint64 offset, const char *data, qint64 size);

    const QString &targetPath() const { return m_target; }

    // Writes bytes to path in one go; the message says why, without the path.
    static Status replaceWith(const QString &path, const QByteArray &bytes, mode_t newFileMode = 0666);
    // The same, with a message that names path.
    static Status writeWhole(const QString &path, const QByteArray &bytes, mode_t newFileMode = 0666);

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    void fail(const QString &what, int error);
    void discard();
    // Counts bytes written, and every writebackStep of them has the system
    // start writing what is written so far to the disk, so that commit()'s
    // flush finds most of a large file there already.
    void wrote(qint64 bytes);
    static constexpr qint64 writebackStep = qint64(16) * 1024 * 1024;

    QString m_target;
    QString m_temporary;
    mode_t m_newFileMode;
    int m_fd = -1;
    bool m_failed = false;
    std::atomic<int> m_writeAtError{0}; // the first errno of writeAt()
    std::atomic<qint64> m_notWrittenBack{0};
};

} // namespace quillcast
