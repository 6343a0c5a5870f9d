#pragma once

#include <QString>
#include <QStringList>

#include <map>
#include <mutex>

namespace quillcast {

// The sends of a document that the SMTP server has not answered yet. Each is
// settled once: by its answer, or by giving up on it after a wait, and only
// what settles it writes the send's log line, so that every recipient gets
// exactly one line whatever comes late.
//
// Thread-safe: sends start on the send run's worker, answers arrive on the
// document's thread.
class PendingDeliveries
{
public:
    using Ticket = quint64;

    // A send to host handed to the server now.
    Ticket start(const QString &host);
    // The answer to a send arrived: true when it was still pending (its line
    // is to be written), false when it had been given up on.
    bool settle(Ticket ticket);
    // Gives up on every send still pending after waiting for seconds: the
    // log line of each, with the time stamp given, in the order they started.
    QStringList giveUp(const QString &stamp, qint64 seconds);
    int count() const;

    static QString noAnswerLine(const QString &stamp, const QString &host, qint64 seconds);

private:
    mutable std::mutex m_lock;
    Ticket m_next = 1;
    std::map<Ticket, QString> m_pending; // ticket → host
};

} // namespace quillcast
