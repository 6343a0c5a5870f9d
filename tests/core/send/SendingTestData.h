#pragma once

#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/SystemClock.h"
#include "platform/FixedClock.h"
#include "platform/Sleeper.h"
#include "send/SystemMailClient.h"
#include "util/Value.h"

#include "TestApplication.h"
#include "TestRecords.h"

#include <chrono>
#include <functional>
#include <mutex>
#include <vector>

namespace quillcast::sendtest {

using testing::application;
using testing::drainEvents;
using testing::processEventsUntil;
using testing::record;

// A clock that only moves when the run sleeps: each sleep moves it on by the
// time slept, and may run a scripted step (a cancel, a new interval) first.
class PacedClock final : public Sleeper
{
public:
    PacedClock() : clock(QDateTime(QDate(2025, 1, 2), QTime(8, 0), QTimeZone::utc())) {}

    void sleepFor(std::chrono::milliseconds duration) override
    {
        std::function<void(qint64)> step;
        {
            const std::lock_guard guard(lock);
            sleeps.push_back(duration.count());
            step = onSleep;
        }
        if (step)
            step(elapsedMs());
        clock.advance(duration.count());
    }
    qint64 elapsedMs() const { return QDateTime(QDate(2025, 1, 2), QTime(8, 0), QTimeZone::utc()).msecsTo(clock.now()); }

    FixedClock clock;
    std::mutex lock;
    std::vector<qint64> sleeps;
    // Called before each sleep with the milliseconds elapsed since the start.
    std::function<void(qint64)> onSleep;
};

// The user's mail system, recording what it was handed; it takes every
// message, or fails each with the reason set.
class RecordingMailClient final : public SystemMailClient
{
public:
    struct Call
    {
        QString body, email, title, from;
        qsizetype attachments = 0;
        bool send = false;
        MessageContent content;
    };
    Result<QString> prepareEmailViaMailApp(const MessageContent &content, const QString &email, bool send) override
    {
        const std::lock_guard guard(lock);
        calls.push_back({content.textBody.value_or(QString()), email, content.subject, content.from.mailbox,
                         content.attachmentPaths.size(), send, content});
        if (!failure.isEmpty())
            return Result<QString>::failure(QStringLiteral("Error handing over email to %1 : %2").arg(email, failure));
        return QStringLiteral("Email handed over to %1").arg(email);
    }
    std::vector<Call> takeCalls()
    {
        const std::lock_guard guard(lock);
        return std::exchange(calls, {});
    }

    std::mutex lock;
    std::vector<Call> calls;
    QString failure;
};

// Fixed keys plus "4"/"Name", the window set up, these records in the
// database and the send list (no exceptions), the document saved.
inline void setUp(MyDocument &doc, const QList<Dict> &records)
{
    application();
    doc.InitialSetupKeyArrayController();
    doc.keyArray().append(Value(DocumentKeys::makeDbKey(QStringLiteral("4"), QStringLiteral("Name"))));
    List::Items items;
    for (const Dict &r : records)
        items.emplace_back(r);
    doc.setAddressArray(List(items));
    doc.setSendArray(List(items));
    doc.setUpOpenedDocument();
    doc.filterAddresses();
    doc.filterSend();
    doc.filterPreview();
    doc.updateChangeCount(MyDocument::ChangeKind::Cleared);
}

// The log's lines, time stamps and all.
inline QStringList logLines(const MyDocument &doc)
{
    return doc.logViewText().split(u'\n', Qt::SkipEmptyParts);
}

} // namespace quillcast::sendtest
