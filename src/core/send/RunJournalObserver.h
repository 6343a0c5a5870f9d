#pragma once

#include "send/RunJournal.h"
#include "send/RunJournalContents.h"

#include <QDateTime>
#include <QString>

#include <vector>

namespace quillcast {

// Hears what a run's journal records, as it records it: whoever shows the
// run's results follows the run without reading the file again. Called on
// the thread that writes the line (the run's worker, or the one of the
// server's answers), also when writing it fails: the message fared so all
// the same. An answer is heard before the run's end it may complete.
class RunJournalObserver
{
public:
    virtual ~RunJournalObserver() = default;

    // A new run with its recipients in the run's order.
    virtual void runBegun(const QString &journalPath, const QDateTime &start,
                          const std::vector<RunJournal::Queued> &recipients) = 0;
    // An earlier run goes on in its journal (resumed, or its failed sent again).
    virtual void runContinued(const QString &journalPath) = 0;
    virtual void handed(qint64 index, const QString &address, const QDateTime &when) = 0;
    // Accepted (code 0, the server's reply line), refused (its code and
    // text) or failed (the reason).
    virtual void answered(qint64 index, RunJournalContents::Outcome outcome, int code, const QString &reply,
                          const QDateTime &when) = 0;
    virtual void ended(RunJournal::End end) = 0;
};

} // namespace quillcast
