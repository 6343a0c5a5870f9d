#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <mutex>

namespace quillcast {

class MainLoop;

// The state of a document's send run that the window shows and the user
// acts on: whether a run is active, the record under way and the number of
// records, the progress line and the remaining-time line, and the cancel
// asked for between two records.
//
// The run writes it on its worker while the window reads it on the main
// thread. Position, lines and the running flag change together under one
// lock, so a reading never pairs the position of one record with the line of
// another. Every change is announced on the main thread, through the main
// loop given, in the order the changes were made, each with the state as it
// was then; the end of a run is announced once more by finished().
class SendProgress : public QObject
{
    Q_OBJECT

public:
    struct Snapshot
    {
        bool running = false;
        qint64 position = 0; // of the record under way, from 0
        qint64 length = 0;
        QString action; // "Preparing email: …", "Done. …", "Cancelled at: …"
        QString estimate; // "" when nothing is left to wait for
    };

    explicit SendProgress(MainLoop &mainThread, QObject *parent = nullptr);

    Snapshot snapshot() const;
    bool isRunning() const;

    // Asks the run to stop before its next record; from any thread.
    void requestCancel() { m_cancelRequested.store(true); }
    bool cancelRequested() const { return m_cancelRequested.load(); }

    // --- The run's side --------------------------------------------------------

    // Marks a run as active, with no cancel pending, unless one is active
    // already (then false, and nothing changes).
    bool tryStart();
    // The run has chosen its records: length of them, none handled yet.
    void begin(qint64 length);
    // The record at position is next, with pauseSeconds between two records.
    void recordStarted(qint64 position, qint64 pauseSeconds);
    // The run ends: every record handled, or stopped before the one at
    // position by a cancel.
    void done();
    void cancelledAt(qint64 position);
    // After the user changed the pause: the remaining time of the records
    // still to come, while a run is active.
    void recalculateEstimation(qint64 pauseSeconds);

    // The progress line of the record at i of n.
    static QString progressString(qint64 i, qint64 n);
    // The remaining-time line for seconds left ("" below one second).
    static QString estimationString(qint64 seconds);

Q_SIGNALS:
    void changed(const quillcast::SendProgress::Snapshot &snapshot);
    void finished();

private:
    // Sets the state under the lock and announces it.
    template<typename Change>
    void update(Change change, bool ends = false);
    void announce(Snapshot now, bool ends);

    MainLoop &m_mainThread;
    mutable std::mutex m_lock;
    Snapshot m_state; // guarded by m_lock
    std::atomic<bool> m_cancelRequested{false};
};

} // namespace quillcast
