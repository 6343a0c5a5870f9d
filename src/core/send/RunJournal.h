#pragma once

#include "util/Result.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>
#include <unordered_set>
#include <vector>

namespace quillcast {

class RunJournalObserver;

// The journal of one send run: an append-only file of one line per state
// change of each recipient (queued, handed to the server, accepted, refused,
// failed) and the run's end, each line on disk (fdatasync) before the call
// returns, so that after a crash at any instant the file tells which
// messages the server certainly took. Lines carry a checksum; a line torn by
// the crash fails it and is ignored when read (RunJournalContents).
//
// Recipients are numbered by their place in the run (0, 1, ...). The
// queued lines of a whole run are one write and one flush. A handed line is
// flushed before the call returns, so before the message's first SMTP step;
// an outcome line is written at once and flushed with the next handed line
// (before the next message's first step) or the run's end, which keeps a
// message to one flush. A crash between an answer and that flush leaves the
// answered message "unknown", as a crash before the answer would: never
// "not sent". Safe to call from several threads (the outcomes come from the
// SMTP client's).
class RunJournal
{
public:
    struct Queued
    {
        qint64 index = 0;
        QString recordId;
    };
    enum class End { Finished, Cancelled, Stopped };

    ~RunJournal();
    RunJournal(const RunJournal &) = delete;
    RunJournal &operator=(const RunJournal &) = delete;

    // A new journal at path (which must not exist yet), with its header.
    static Result<std::unique_ptr<RunJournal>> create(const QString &path, const QString &mailingPath,
                                                      const QDateTime &start);
    // An existing journal to write on (a resumed run): a torn tail past
    // validLength (RunJournalContents::validLength) is cut off first, so
    // that new lines never follow garbage.
    static Result<std::unique_ptr<RunJournal>> reopen(const QString &path, qint64 validLength);

    const QString &path() const { return m_path; }
    // Hears each line from now on; set before the run's lines are written.
    void setObserver(std::shared_ptr<RunJournalObserver> observer) { m_observer = std::move(observer); }

    Status queued(const std::vector<Queued> &recipients);
    Status handed(qint64 index, const QString &address, const QDateTime &when);
    Status accepted(qint64 index, const QString &reply, const QDateTime &when);
    Status refused(qint64 index, int code, const QString &text, const QDateTime &when);
    Status failed(qint64 index, const QString &reason, const QDateTime &when);
    // The run goes on: resumed (the user chose to send a doubtful one
    // again, or not), or its failed messages sent again.
    Status resumed(bool resendUnknown, const QDateTime &when);
    Status retried(bool includePermanent, const QDateTime &when);
    Status ended(End end, const QString &reason, const QDateTime &when);
    // The run's end, written once the last message handed has its outcome
    // (at once when none is waiting). A run whose answers never all come is
    // left without an end, as one that crashed: it can be resumed.
    void endWhenAnswered(End end, const QString &reason, const QDateTime &when);
    // Flushes the lines written so far (the outcomes that came after the
    // last message was handed).
    Status flush();

    // One line as written: the fields joined by tabs (tabs, line feeds and
    // backslashes in them escaped), a tab, the CRC-32 of that text in eight
    // hex digits, and a line feed.
    static QByteArray line(const QList<QString> &fields);

private:
    RunJournal(QString path, int fd, QDateTime start) : m_path(std::move(path)), m_fd(fd), m_start(std::move(start)) {}
    enum class Sync { Now, WithNext };
    Status append(const QByteArray &bytes, Sync sync);

    QString m_path;
    int m_fd = -1;
    QDateTime m_start; // of a run begun here; invalid for one reopened
    std::shared_ptr<RunJournalObserver> m_observer;
    std::mutex m_lock; // one append at a time, in order
    bool m_broken = false; // a write failed: later lines could follow a gap

    struct PendingEnd
    {
        End end;
        QString reason;
        QDateTime when;
    };
    Status answered(qint64 index, const QByteArray &line);
    std::mutex m_stateLock; // guards the two below; taken before m_lock
    std::unordered_set<qint64> m_inFlight; // handed, without an outcome yet
    std::optional<PendingEnd> m_pendingEnd;
};

} // namespace quillcast
