#pragma once

#include <QString>

namespace quillcast {

// How the messages of one send run fared, said in one line: what the log
// shows message by message, counted. The command line prints it after a
// run and the window shows it, so both word it the same.
//
// The run's own "Done. N sent." counts every record it handled, refused and
// failed ones included; this line is what tells the user whether the
// messages actually went anywhere.
struct SendSummary
{
    // Refused by preparation before any transport saw them.
    qint64 refused = 0;
    // Given to the SMTP server, and of those the ones it accepted and the
    // ones that failed; the rest are still without an answer (or were
    // given up on).
    qint64 handedToServer = 0;
    qint64 accepted = 0;
    qint64 failed = 0;
    qint64 unanswered = 0;
    // Taken, respectively not taken, by the user's mail system (sendmail,
    // or the drafts folder when preparing).
    qint64 handedToMailClient = 0;
    qint64 mailClientFailed = 0;
    // A prepare run writes drafts, into draftsFolder.
    bool preparing = false;
    QString draftsFolder;

    // "Summary: 0 refused (see the log), 3 accepted by the server, 0 failed"
    // and so on, without a line feed.
    QString line() const;
    // Whether every message reached its server or mail system.
    bool allDelivered() const { return refused == 0 && failed == 0 && unanswered == 0 && mailClientFailed == 0; }
    // Messages still waiting for the server's answer.
    qint64 awaitingAnswer() const { return handedToServer - accepted - failed - unanswered; }
};

} // namespace quillcast
