#pragma once

#include "util/Result.h"

#include <QString>

#include <chrono>

namespace quillcast {

// Keeps other Quillcast processes from changing one mailing at the same time:
// whoever reads a mailing to change and save it (an editing command, a send
// run, a window) holds this lock from the read to the save. Readers that
// only look never take it.
//
// The lock is an flock() on a hidden file beside the mailing
// (".NAME.quill.lock"), which also holds the owner's process id for the
// message a second writer sees. The system drops the lock when its process
// ends, however it ends, so a lock is never left stale by a crash.
class MailingLock
{
public:
    static constexpr std::chrono::milliseconds kDefaultWait{5000};

    explicit MailingLock(const QString &mailingPath);
    ~MailingLock();
    MailingLock(const MailingLock &) = delete;
    MailingLock &operator=(const MailingLock &) = delete;

    // Takes the lock, waiting at most wait for another holder to let go;
    // then refuses with "... is being changed by another Quillcast process
    // (pid N)". Taking a lock already held by this object succeeds.
    Status acquire(std::chrono::milliseconds wait = kDefaultWait);
    void release();
    bool isHeld() const { return m_fd >= 0; }

    // The lock file of a mailing.
    static QString lockPathFor(const QString &mailingPath);

private:
    // One attempt: Ok, Busy or a failure.
    enum class Attempt { Taken, Busy, Failed };
    Attempt tryOnce(QString *error);
    qint64 holderPid() const;

    QString m_mailingPath;
    QString m_lockPath;
    int m_fd = -1;
};

} // namespace quillcast
