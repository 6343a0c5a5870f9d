#pragma once

#include <QObject>

#include <deque>
#include <functional>
#include <unordered_set>

class QEvent;

namespace quillcast {

// The receiving end of QtMainLoop: work waits here, under a std::mutex, for
// the event loop of its thread, and each piece of work posted sends one bare
// wake-up event through Qt's event queue.
//
// Qt's own queue locks with primitives ThreadSanitizer does not see (Qt is
// not instrumented), so a closure handed through it from another thread
// looks unsynchronised. Here everything that crosses threads -- the work,
// the wake-up event's memory, the queue itself when made on another thread
// -- is written under that mutex and read on the receiving side only after
// taking it. The wake-up carries no data, and is recognised by its address:
// nothing of it is read before the lock.
//
// One wake-up per piece of work, posted to the context itself, keeps Qt's
// behaviour: work arrives in the order it was posted among the other events
// of the context's thread, QCoreApplication::sendPostedEvents(context)
// delivers it, and the context's destruction drops it.
class QtWorkQueue final : public QObject
{
    Q_OBJECT

public:
    // The queue of a context: made (or found) on the context's thread.
    static QtWorkQueue *of(QObject *context);

    // From any thread: runs work on the queue's thread at a later turn of
    // its event loop.
    void post(std::function<void()> work);
    // From any thread: the same for the application's thread. Without an
    // application object the work is dropped with a warning.
    static void postToApplication(std::function<void()> work);

    ~QtWorkQueue() override;

protected:
    // The context's events: its wake-ups run work.
    bool eventFilter(QObject *watched, QEvent *event) override;
    // The application queue's wake-ups, posted to the queue itself.
    void customEvent(QEvent *event) override;

private:
    // A queue of context, or of the application's thread without one.
    explicit QtWorkQueue(QObject *context);
    // Requires the hand-off lock.
    void enqueueLocked(std::function<void()> work);
    // Runs the oldest work when event is one of this queue's wake-ups.
    bool runIfWakeUp(const QEvent *event);

    QObject *m_receiver; // where the wake-ups go: the context, or this queue
    // Both guarded by the hand-off lock.
    std::deque<std::function<void()>> m_pending;
    std::unordered_set<const QEvent *> m_wakeUps; // posted, not yet delivered
};

} // namespace quillcast
