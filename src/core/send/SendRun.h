#pragma once

#include "send/MessagePreparation.h"
#include "send/SendingServices.h"
#include "util/List.h"

#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

namespace quillcast {

class Clock;
class MyDocument;
class Sleeper;

// The send run: one message for each record of a chosen set of the send
// list, one after another on a worker thread, with the document's pause
// between two messages, its progress and remaining-time lines, and a cancel
// honoured between records.
//
// The commands run on the document's thread and ask for confirmation first.
// One run at a time per document: a start while a run is active is refused
// with an alert, as two runs would share the cancel flag and the progress.
class SendRun
{
public:
    enum class Kind { SendChecked, PrepareChecked, SendAll, PrepareAll };

    SendRun(MyDocument &document, SendingServices services);
    // Cancels a run still going and waits for its worker.
    ~SendRun();
    SendRun(const SendRun &) = delete;
    SendRun &operator=(const SendRun &) = delete;

    void sendCheckedRecords() { start(Kind::SendChecked); }
    void prepareCheckedRecords() { start(Kind::PrepareChecked); }
    void sendAllRecords() { start(Kind::SendAll); }
    void prepareAllRecords() { start(Kind::PrepareAll); }
    void start(Kind kind);

    // Worker side: choose the records, write the run's log line, run the loop.
    void doPrepareCheckedRecordsSending(bool sending);
    void doPrepareAllRecordsSending(bool sending);
    void doPrepareInArray(const List::Items &records, bool sending);

    bool isRunning() const { return m_running.load(); }
    // Blocks until the current run's worker has ended (at once when none).
    void waitForFinished();
    // Called on the worker thread as a run ends, after its last line.
    void setFinishedHandler(std::function<void()> handler) { m_finished = std::move(handler); }
    // How the records of the last run fared.
    qint64 refusedCount() const { return m_refused.load(); }
    qint64 handedToServerCount() const { return m_handedToServer.load(); }
    // Taken, respectively not taken, by the user's mail system.
    qint64 handedToMailClientCount() const { return m_handedToMailClient.load(); }
    qint64 mailClientFailedCount() const { return m_mailClientFailed.load(); }

    static QString confirmationText(Kind kind, qint64 count);
    static QString progressString(qint64 i, qint64 n);

private:
    void launch(Kind kind);
    void pause();
    void refuseSecondRun();

    MyDocument &m_doc;
    SendingServices m_services;
    MessagePreparation m_preparation;
    Sleeper &m_sleeper;
    const Clock &m_pacingClock;
    std::function<void()> m_finished;

    std::mutex m_threadLock; // guards m_worker
    std::thread m_worker;
    std::atomic<bool> m_running{false};
    std::atomic<qint64> m_refused{0};
    std::atomic<qint64> m_handedToServer{0};
    std::atomic<qint64> m_handedToMailClient{0};
    std::atomic<qint64> m_mailClientFailed{0};
};

} // namespace quillcast
