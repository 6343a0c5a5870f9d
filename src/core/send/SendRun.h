#pragma once

#include "send/MessagePreparation.h"
#include "send/RunSelection.h"
#include "send/SendingServices.h"
#include "util/List.h"

#include <QMetaObject>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace quillcast {

class Clock;
class MyDocument;
class RunJournal;
class RunJournalObserver;
class SendProgress;
class Sleeper;

// The send run: one message for each record of a chosen set of the send
// list, one after another on a worker thread, with the document's pause
// between two messages, its progress and remaining-time lines, and a cancel
// honoured between records.
//
// The commands run on the document's thread and ask for confirmation first.
// One run at a time per document: a start while a run is active is refused
// with an alert, as two runs would share the cancel flag and the progress.
// The run writes the document's SendProgress, which the window reads.
//
// The pauses are slept with sleeper and measured with pacingClock (the
// document's clock, which may be fixed for merging, is not used for this).
// The server of the sends is the one the services give for the run, or else
// the document's chosen connection, read anew at every start.
class SendRun
{
public:
    // Resume and RetryFailed send to records of an earlier run (a
    // RunSelection), through the SMTP server.
    enum class Kind { SendChecked, PrepareChecked, SendAll, PrepareAll, Resume, RetryFailed };

    SendRun(MyDocument &document, SendingServices services, Sleeper &sleeper, const Clock &pacingClock);
    // Cancels a run still going and waits for its worker. A confirmation
    // still open then starts nothing when it is answered.
    ~SendRun();
    SendRun(const SendRun &) = delete;
    SendRun &operator=(const SendRun &) = delete;

    void sendCheckedRecords() { start(Kind::SendChecked); }
    void prepareCheckedRecords() { start(Kind::PrepareChecked); }
    void sendAllRecords() { start(Kind::SendAll); }
    void prepareAllRecords() { start(Kind::PrepareAll); }
    void start(Kind kind);
    // Resumes the run of the journal at journalPath (the choice about the
    // message in doubt is logged and written to it), or sends again to the
    // recipients of that run whose message failed (RunSelection); both go
    // on in that journal, which so keeps each recipient's last outcome. Asks for confirmation first, as a start does; a
    // journal that cannot be read is an alert.
    void resumeRun(const QString &journalPath, bool resendUnknown);
    void retryFailed(const QString &journalPath, bool includePermanent);

    // Worker side: choose the records, write the run's log line, run the loop.
    void doPrepareCheckedRecordsSending(bool sending);
    void doPrepareAllRecordsSending(bool sending);
    void doPrepareInArray(const List::Items &records, bool sending);

    // Whether a run of the document is active (also one started by another
    // SendRun object on the same document).
    bool isRunning() const;
    // Asks the active run to stop before its next record.
    void cancel();
    // Blocks until the current run's worker has ended (at once when none).
    void waitForFinished();
    // How many runs the start commands launched (a confirmation answered
    // with Cancel, or refused settings, launch none). The end of each run is
    // announced by SendProgress::finished on the document's thread.
    int launchedCount() const { return m_launched.load(); }
    // How the records of the last run fared.
    qint64 refusedCount() const { return m_refused.load(); }
    qint64 handedToServerCount() const { return m_handedToServer.load(); }
    // Taken, respectively not taken, by the user's mail system.
    qint64 handedToMailClientCount() const { return m_handedToMailClient.load(); }
    qint64 mailClientFailedCount() const { return m_mailClientFailed.load(); }
    // Whether the last run was stopped by a refusal of the account
    // (AccountRefusal), and the server's words.
    bool stoppedForAccount() const { return m_accountStopped.load(); }
    QString accountRefusal() const;

    static QString confirmationText(Kind kind, qint64 count);

    // Hears the journal of each run started from now on (not while one goes).
    void setJournalObserver(std::shared_ptr<RunJournalObserver> observer) { m_journalObserver = std::move(observer); }

    // The journal of the last run through the SMTP server that kept one
    // (none before, or when the services give no journal folder).
    std::optional<QString> lastJournalPath() const;

private:
    void startSelected(Kind kind, const Result<RunSelection> &selection);
    void runSelection(Kind kind);
    // The answer of the message to address, on the document's thread.
    void answered(const LXMailCoreBridge::SendReport &report, const QString &address);
    // The addresses refused as unknown so far go to the exception list (the
    // mailing's setting), each as a step to undo. Not while the run's worker
    // goes: the page of the exceptions is locked then.
    void addRefusedToExceptions();
    // The journal of a run about to send records through the server, or
    // none (no folder given, or it could not be written: said in the log).
    std::shared_ptr<RunJournal> startJournal(const List::Items &records);
    // The records of a run with their places in its journal.
    void runRecords(const List::Items &records, bool sending, const std::shared_ptr<RunJournal> &journal,
                    const std::vector<qint64> &places);

    void launch(Kind kind);
    void pause();
    void refuseSecondRun();

    MyDocument &m_doc;
    SendProgress &m_progress;
    SendingServices m_services;
    MessagePreparation m_preparation;
    Sleeper &m_sleeper;
    const Clock &m_pacingClock;
    // Held by the run alone; a confirmation's completion keeps a weak
    // reference, which is empty once the run is gone.
    std::shared_ptr<SendRun *> m_alive;

    std::mutex m_threadLock; // guards m_worker
    std::thread m_worker;
    std::atomic<int> m_launched{0};
    std::atomic<qint64> m_refused{0};
    std::atomic<qint64> m_handedToServer{0};
    std::atomic<qint64> m_handedToMailClient{0};
    std::atomic<qint64> m_mailClientFailed{0};
    mutable std::mutex m_journalLock; // guards m_journalPath, m_accountReply and m_selection
    std::optional<QString> m_journalPath;
    std::optional<RunSelection> m_selection; // of a Resume or RetryFailed run
    std::atomic<bool> m_accountStopped{false};
    QString m_accountReply;
    std::shared_ptr<RunJournalObserver> m_journalObserver; // read by the worker, set before it starts
    // Document's thread only: refused as unknown, with the server's reply.
    std::vector<std::pair<QString, QString>> m_refusedAddresses;
    QMetaObject::Connection m_progressEnded;
};

} // namespace quillcast
