#pragma once

#include "send/RunJournal.h"
#include "util/Result.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVarLengthArray>

#include <optional>
#include <vector>

namespace quillcast {

// A run's journal read back: the run's recipients in their order with what
// became of each. Lines are taken up to the first one that is incomplete or
// fails its checksum (what a crash leaves at the end); that line and the
// rest are ignored, never guessed at.
class RunJournalContents
{
public:
    enum class Outcome {
        NotAttempted, // queued only: never handed to the server
        Unknown,      // handed, no answer written: the server may have taken it
        Accepted,
        Refused,      // the server's answer was a refusal (code and text)
        Failed,       // no answer from the server (connection, login, local error)
    };
    struct Recipient
    {
        qint64 index = 0;
        QString recordId;
        QString address; // as handed to the server; empty before
        Outcome outcome = Outcome::NotAttempted;
        int code = 0;    // of a refusal
        QString reply;   // the server's reply line, the refusal's text or the failure's reason
        QDateTime time;  // of the last state
    };

    // The file at path; a failure when it cannot be read or is not a
    // journal (no intact header).
    static Result<RunJournalContents> read(const QString &path);
    static Result<RunJournalContents> parse(const QByteArray &bytes);

    const QString &mailingPath() const { return m_mailingPath; }
    const QDateTime &start() const { return m_start; }
    const std::vector<Recipient> &recipients() const { return m_recipients; }
    qint64 count(Outcome outcome) const;

    // How the run ended; none when it stopped without a word (a crash).
    std::optional<RunJournal::End> end() const { return m_end; }
    const QString &endReason() const { return m_endReason; }
    bool finished() const { return m_end == RunJournal::End::Finished; }
    // Whether the last resumption chose to send the doubtful one again.
    std::optional<bool> resendUnknownChosen() const { return m_resendUnknown; }

    // The bytes of intact lines from the start, and whether more followed.
    qint64 validLength() const { return m_validLength; }
    bool tornTail() const { return m_tornTail; }

    static QString outcomeName(Outcome outcome);

private:
    bool take(const QVarLengthArray<QByteArrayView, 6> &fields);

    QString m_mailingPath;
    QDateTime m_start;
    std::vector<Recipient> m_recipients;
    std::optional<RunJournal::End> m_end;
    QString m_endReason;
    std::optional<bool> m_resendUnknown;
    qint64 m_validLength = 0;
    bool m_tornTail = false;
};

} // namespace quillcast
