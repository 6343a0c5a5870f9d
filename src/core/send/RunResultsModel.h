#pragma once

#include "document/CommandEnablingState.h"
#include "send/RunJournal.h"
#include "send/RunJournalContents.h"
#include "util/Result.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

namespace quillcast {

class RunJournalObserver;

// The results of a mailing's last send run per recipient, for a window to
// show: loaded whole from the run's journal, then kept up to date by the
// running run (through the observer of its journal), one row at a time, so
// that a view over a hundred thousand rows is never rebuilt per message.
//
// Rows are the recipients the run has tried (handed to the server, or
// failed before it), in the run's order. While a run goes, a message handed
// and not yet answered is awaiting its answer; a run that ended (or a
// journal read back) without that answer leaves it unknown.
//
// Lives on one thread; the observer may be called on any, and its news
// reach the model through that thread's event loop, in the order heard.
class RunResultsModel : public QObject
{
    Q_OBJECT

public:
    using Outcome = RunJournalContents::Outcome;
    struct Row
    {
        qint64 index = 0; // the place in the run
        QString recordId;
        QString address;
        Outcome outcome = Outcome::NotAttempted;
        bool awaiting = false; // handed in this session's run, not answered yet
        int code = 0;
        QString reply;
        QDateTime time;
    };
    struct Counts
    {
        qint64 accepted = 0;
        qint64 refused = 0;
        qint64 failed = 0;
        qint64 unknown = 0;
        qint64 awaiting = 0;
        qint64 notSent = 0; // recipients of the run not tried yet
        // What a retry of the failed sends again: failures and refusals for now (4xx).
        qint64 retryable = 0;

        bool operator==(const Counts &) const = default;
    };

    explicit RunResultsModel(QObject *parent = nullptr);
    ~RunResultsModel() override;

    // The run of the journal at path, whole; one that cannot be read leaves
    // the model empty and says why.
    Status load(const QString &journalPath);
    void load(const QString &journalPath, const RunJournalContents &run);
    void clear();

    // What a run's journal tells, to follow that run (RunJournal::setObserver).
    // An observer given before the last load() or clear() is no longer heard.
    std::shared_ptr<RunJournalObserver> observer();

    // Empty when the model shows no run.
    const QString &journalPath() const { return m_journalPath; }
    const QDateTime &runStart() const { return m_start; }
    // How the run ended as far as heard; none while it goes, or after a crash.
    std::optional<RunJournal::End> end() const { return m_end; }

    qsizetype rowCount() const { return qsizetype(m_rows.size()); }
    const Row &row(qsizetype row) const { return m_rows[size_t(row)]; }
    const Counts &counts() const { return m_counts; }
    // The records whose message failed or was refused, in the run's order.
    QStringList failedRecordIds() const;
    // What the commands on the results depend on (CommandEnabling).
    void describe(CommandEnablingState &state) const;

Q_SIGNALS:
    void modelAboutToBeReset();
    void modelReset();
    void rowsAboutToBeInserted(qsizetype first, qsizetype last);
    void rowsInserted(qsizetype first, qsizetype last);
    void rowChanged(qsizetype row);
    void countsChanged();

private:
    class Feed;
    friend class Feed;

    void reset(const QString &journalPath, const QDateTime &start, std::vector<Row> rows,
               std::vector<QString> recordIds, std::optional<RunJournal::End> end);
    void heardBegun(const QString &journalPath, const QDateTime &start, const std::vector<RunJournal::Queued> &queued);
    void heardContinued(const QString &journalPath);
    void heardHanded(qint64 index, const QString &address, const QDateTime &when);
    void heardAnswered(qint64 index, Outcome outcome, int code, const QString &reply, const QDateTime &when);
    void heardEnded(RunJournal::End end);
    // The row of index, made (at its place) when the run had not tried it yet.
    qsizetype rowFor(qint64 index);
    void count(const Row &row, int sign);
    void recount();

    QString m_journalPath;
    QDateTime m_start;
    std::optional<RunJournal::End> m_end;
    std::vector<Row> m_rows; // by index
    std::vector<QString> m_recordIds; // of every recipient of the run, by index
    Counts m_counts;
    // Bumped by every load and clear: news of a run shown before are dropped.
    quint64 m_generation = 0;
    struct Target;
    std::shared_ptr<Target> m_target; // where the observers post to
};

} // namespace quillcast
