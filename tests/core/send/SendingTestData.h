#pragma once

#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "platform/FixedClock.h"
#include "platform/Sleeper.h"
#include "send/SystemMailClient.h"
#include "util/Value.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <chrono>
#include <functional>
#include <mutex>
#include <vector>

namespace quillcast::sendtest {

inline QCoreApplication &application()
{
    static int argc = 1;
    static char name[] = "sending_tests";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// Runs the event loop until the condition holds or about ten seconds pass.
inline bool processEventsUntil(const std::function<bool()> &condition)
{
    application();
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < 10000) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    QCoreApplication::processEvents();
    return condition();
}

// Runs what has been posted to this thread so far.
inline void drainEvents()
{
    application();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

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

// The user's mail system, recording what it was handed.
class RecordingMailClient final : public SystemMailClient
{
public:
    struct Call
    {
        QString body, email, title, from;
        qsizetype attachments = 0;
        bool send = false;
    };
    Status prepareEmailViaMailAppWithBody(const QString &body, const QString &email, const QString &title,
                                          const QString &from, const List &attachments, bool send) override
    {
        const std::lock_guard guard(lock);
        calls.push_back({body, email, title, from, attachments.size(), send});
        return success();
    }
    std::vector<Call> takeCalls()
    {
        const std::lock_guard guard(lock);
        return std::exchange(calls, {});
    }

    std::mutex lock;
    std::vector<Call> calls;
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
    doc.windowControllerDidLoadNib();
    doc.filterAddresses();
    doc.filterSend();
    doc.filterPreview();
    doc.updateChangeCount(MyDocument::ChangeKind::Cleared);
}

inline Dict record(qint64 number, bool checked, const QString &email, const QString &name = QString())
{
    Dict r{{QStringLiteral("1"), number}, {QStringLiteral("2"), checked}, {QStringLiteral("3"), email}};
    if (!name.isNull())
        r.set(QStringLiteral("4"), name);
    return r;
}

// The log's lines without their time stamps (everything up to the first
// space that follows the stamp's time).
inline QStringList logLines(const MyDocument &doc)
{
    return doc.logViewText().split(u'\n', Qt::SkipEmptyParts);
}

} // namespace quillcast::sendtest
