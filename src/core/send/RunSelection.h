#pragma once

#include "send/RunJournalContents.h"
#include "util/List.h"
#include "util/Result.h"

#include <QString>

#include <vector>

namespace quillcast {

class MyDocument;

// The records a resumed run, or a retry of a run's failures, sends to: the
// run's recipients the journal names, in the run's order, each found by its
// record identity on the mailing's send list as it is now. A record no longer
// on the send list is skipped (removed, or put on the exception list), an
// edited record is sent as it reads now (its new address), and a record added
// since was not in the run and is not sent.
class RunSelection
{
public:
    // Resume: every recipient without an outcome yet, or whose message
    // failed or was refused for now (4xx); never an accepted one nor one
    // refused for good (5xx). The one whose answer is unknown (handed, the
    // crash came before the answer) only when resendUnknown: the server may
    // have taken it.
    static Result<RunSelection> forResume(const MyDocument &document, const QString &journalPath, bool resendUnknown);
    // Retry: the recipients whose message failed or was refused for now
    // (4xx), and those refused for good (5xx) when includePermanent.
    static Result<RunSelection> forRetry(const MyDocument &document, const QString &journalPath, bool includePermanent);

    const QString &journalPath() const { return m_journalPath; }
    const RunJournalContents &run() const { return m_run; }
    // The records to send, and each one's place in the run.
    const List::Items &records() const { return m_records; }
    const std::vector<qint64> &places() const { return m_places; }
    // Chosen by the rules but no longer on the send list.
    qint64 gone() const { return m_gone; }
    // Recipients in doubt, and whether they are sent again.
    qint64 unknown() const { return m_unknown; }
    bool resendUnknown() const { return m_resendUnknown; }
    // Whether a retry takes the permanent refusals too.
    bool includePermanent() const { return m_includePermanent; }

private:
    template<typename Chooses>
    static Result<RunSelection> select(const MyDocument &document, const QString &journalPath, Chooses chooses);

    QString m_journalPath;
    RunJournalContents m_run;
    List::Items m_records;
    std::vector<qint64> m_places;
    qint64 m_gone = 0;
    qint64 m_unknown = 0;
    bool m_resendUnknown = false;
    bool m_includePermanent = false;
};

} // namespace quillcast
