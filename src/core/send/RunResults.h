#pragma once

#include "send/RunJournalContents.h"
#include "util/Result.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace quillcast {

// The results of a send run per recipient, as its journal tells them: the
// rows (record, address, outcome, the server's reply, time) in the run's
// order, the counts of each outcome, and the same as CSV for a spreadsheet.
class RunResults
{
public:
    struct Counts
    {
        qint64 accepted = 0;
        qint64 refused = 0;
        qint64 failed = 0;
        qint64 unknown = 0;
        qint64 notSent = 0;
    };

    explicit RunResults(RunJournalContents run) : m_run(std::move(run)) {}
    static Result<RunResults> read(const QString &journalPath);

    const RunJournalContents &run() const { return m_run; }
    const std::vector<RunJournalContents::Recipient> &rows() const { return m_run.recipients(); }
    Counts counts() const;

    // A header line and one line per recipient, RFC 4180 quoting, UTF-8.
    // A cell that a spreadsheet would take for a formula (=, +, -, @ first)
    // gets an apostrophe before it: replies come from the server.
    QByteArray csv() const;
    Status writeCsv(const QString &path) const;

private:
    RunJournalContents m_run;
};

} // namespace quillcast
