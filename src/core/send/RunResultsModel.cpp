#include "send/RunResultsModel.h"

#include "send/RunJournalObserver.h"

#include <QMetaObject>

#include <algorithm>
#include <mutex>

namespace quillcast {

// The model an observer posts to, as long as it lives: the model lets go of
// it under the lock, so that nothing is posted to a model being destroyed
// (what was posted before goes with the model's events).
struct RunResultsModel::Target
{
    std::mutex lock;
    RunResultsModel *model = nullptr;
};

class RunResultsModel::Feed : public RunJournalObserver
{
public:
    Feed(std::shared_ptr<Target> target, quint64 generation) : m_target(std::move(target)), m_generation(generation) {}

    void runBegun(const QString &journalPath, const QDateTime &start,
                  const std::vector<RunJournal::Queued> &recipients) override
    {
        post([=](RunResultsModel &model) { model.heardBegun(journalPath, start, recipients); });
    }
    void runContinued(const QString &journalPath) override
    {
        post([=](RunResultsModel &model) { model.heardContinued(journalPath); });
    }
    void handed(qint64 index, const QString &address, const QDateTime &when) override
    {
        post([=](RunResultsModel &model) { model.heardHanded(index, address, when); });
    }
    void answered(qint64 index, Outcome outcome, int code, const QString &reply, const QDateTime &when) override
    {
        post([=](RunResultsModel &model) { model.heardAnswered(index, outcome, code, reply, when); });
    }
    void ended(RunJournal::End end) override
    {
        post([=](RunResultsModel &model) { model.heardEnded(end); });
    }

private:
    template<typename Step>
    void post(Step step)
    {
        const std::lock_guard guard(m_target->lock);
        RunResultsModel *model = m_target->model;
        if (!model)
            return;
        // Queued also on the model's own thread: an answer heard there must
        // not overtake the handing posted from the run's worker before it.
        QMetaObject::invokeMethod(
            model,
            [model, generation = m_generation, step = std::move(step)] {
                if (generation == model->m_generation)
                    step(*model);
            },
            Qt::QueuedConnection);
    }

    std::shared_ptr<Target> m_target;
    quint64 m_generation;
};

RunResultsModel::RunResultsModel(QObject *parent) : QObject(parent), m_target(std::make_shared<Target>())
{
    m_target->model = this;
}

RunResultsModel::~RunResultsModel()
{
    const std::lock_guard guard(m_target->lock);
    m_target->model = nullptr;
}

std::shared_ptr<RunJournalObserver> RunResultsModel::observer()
{
    return std::make_shared<Feed>(m_target, m_generation);
}

Status RunResultsModel::load(const QString &journalPath)
{
    const Result<RunJournalContents> run = RunJournalContents::read(journalPath);
    if (!run) {
        clear();
        return Status::failure(run.error());
    }
    load(journalPath, run.value());
    return success();
}

void RunResultsModel::load(const QString &journalPath, const RunJournalContents &run)
{
    std::vector<Row> rows;
    std::vector<QString> recordIds;
    recordIds.reserve(run.recipients().size());
    for (const RunJournalContents::Recipient &recipient : run.recipients()) {
        recordIds.push_back(recipient.recordId);
        if (recipient.outcome == Outcome::NotAttempted && recipient.address.isEmpty())
            continue;
        Row row;
        row.index = recipient.index;
        row.recordId = recipient.recordId;
        row.address = recipient.address;
        row.outcome = recipient.outcome;
        row.code = recipient.code;
        row.reply = recipient.reply;
        row.time = recipient.time;
        rows.push_back(std::move(row));
    }
    reset(journalPath, run.start(), std::move(rows), std::move(recordIds), run.end());
}

void RunResultsModel::clear()
{
    reset(QString(), QDateTime(), {}, {}, std::nullopt);
}

void RunResultsModel::reset(const QString &journalPath, const QDateTime &start, std::vector<Row> rows,
                            std::vector<QString> recordIds, std::optional<RunJournal::End> end)
{
    ++m_generation;
    Q_EMIT modelAboutToBeReset();
    m_journalPath = journalPath;
    m_start = start;
    m_end = end;
    m_rows = std::move(rows);
    m_recordIds = std::move(recordIds);
    recount();
    Q_EMIT modelReset();
    Q_EMIT countsChanged();
}

void RunResultsModel::recount()
{
    m_counts = Counts();
    for (const Row &row : m_rows)
        count(row, 1);
    m_counts.notSent = std::max<qint64>(0, qint64(m_recordIds.size()) - qint64(m_rows.size()));
}

void RunResultsModel::count(const Row &row, int sign)
{
    switch (row.outcome) {
    case Outcome::Accepted:
        m_counts.accepted += sign;
        break;
    case Outcome::Refused:
        m_counts.refused += sign;
        if (row.code >= 400 && row.code < 500)
            m_counts.retryable += sign;
        break;
    case Outcome::Failed:
        m_counts.failed += sign;
        m_counts.retryable += sign;
        break;
    case Outcome::Unknown:
        (row.awaiting ? m_counts.awaiting : m_counts.unknown) += sign;
        break;
    case Outcome::NotAttempted:
        break;
    }
}

QStringList RunResultsModel::failedRecordIds() const
{
    QStringList ids;
    for (const Row &row : m_rows) {
        if (row.outcome == Outcome::Failed || row.outcome == Outcome::Refused)
            ids.append(row.recordId);
    }
    return ids;
}

void RunResultsModel::describe(CommandEnablingState &state) const
{
    state.lastRunHasResults = !m_journalPath.isEmpty();
    state.lastRunRetryable = m_counts.retryable;
    state.lastRunFailedRecords = m_counts.failed + m_counts.refused;
}

void RunResultsModel::heardBegun(const QString &journalPath, const QDateTime &start,
                                 const std::vector<RunJournal::Queued> &queued)
{
    std::vector<QString> recordIds;
    for (const RunJournal::Queued &recipient : queued) {
        if (recipient.index < 0)
            continue;
        if (size_t(recipient.index) >= recordIds.size())
            recordIds.resize(size_t(recipient.index) + 1);
        recordIds[size_t(recipient.index)] = recipient.recordId;
    }
    const quint64 generation = m_generation;
    reset(journalPath, start, {}, std::move(recordIds), std::nullopt);
    // The run's own news go on being heard.
    m_generation = generation;
}

void RunResultsModel::heardContinued(const QString &journalPath)
{
    const quint64 generation = m_generation;
    if (journalPath != m_journalPath) {
        // Continued from a journal not shown: what it holds so far (news
        // heard since, which may be in it already, change nothing twice).
        const Result<RunJournalContents> run = RunJournalContents::read(journalPath);
        if (run)
            load(journalPath, run.value());
        else
            reset(journalPath, QDateTime(), {}, {}, std::nullopt);
    }
    m_generation = generation;
    m_end.reset();
}

qsizetype RunResultsModel::rowFor(qint64 index)
{
    const auto at = std::lower_bound(m_rows.begin(), m_rows.end(), index,
                                     [](const Row &row, qint64 wanted) { return row.index < wanted; });
    const auto place = qsizetype(at - m_rows.begin());
    if (at != m_rows.end() && at->index == index)
        return place;
    Row row;
    row.index = index;
    if (index >= 0 && size_t(index) < m_recordIds.size())
        row.recordId = m_recordIds[size_t(index)];
    Q_EMIT rowsAboutToBeInserted(place, place);
    m_rows.insert(at, std::move(row));
    if (m_counts.notSent > 0)
        --m_counts.notSent;
    Q_EMIT rowsInserted(place, place);
    return place;
}

void RunResultsModel::heardHanded(qint64 index, const QString &address, const QDateTime &when)
{
    const qsizetype place = rowFor(index);
    Row &row = m_rows[size_t(place)];
    count(row, -1);
    row.address = address;
    row.outcome = Outcome::Unknown;
    row.awaiting = true;
    row.code = 0;
    row.reply.clear();
    row.time = when;
    count(row, 1);
    Q_EMIT rowChanged(place);
    Q_EMIT countsChanged();
}

void RunResultsModel::heardAnswered(qint64 index, Outcome outcome, int code, const QString &reply,
                                    const QDateTime &when)
{
    const qsizetype place = rowFor(index);
    Row &row = m_rows[size_t(place)];
    count(row, -1);
    row.outcome = outcome;
    row.awaiting = false;
    row.code = code;
    row.reply = reply;
    row.time = when;
    count(row, 1);
    Q_EMIT rowChanged(place);
    Q_EMIT countsChanged();
}

void RunResultsModel::heardEnded(RunJournal::End end)
{
    m_end = end;
    bool changed = false;
    for (qsizetype place = 0; place < rowCount(); ++place) {
        Row &row = m_rows[size_t(place)];
        if (!row.awaiting)
            continue;
        count(row, -1);
        row.awaiting = false;
        count(row, 1);
        changed = true;
        Q_EMIT rowChanged(place);
    }
    if (changed)
        Q_EMIT countsChanged();
}

} // namespace quillcast
