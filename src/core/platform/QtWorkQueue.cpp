#include "platform/QtWorkQueue.h"

#include <QCoreApplication>
#include <QEvent>
#include <QThread>
#include <QtDebug>

#include <mutex>

namespace quillcast {

namespace {

// One lock for every queue. Constant-initialised, so no thread writes it
// before another locks it, and it also covers a queue made on a thread other
// than the one that reads it.
constinit std::mutex handOffLock;

QEvent::Type wakeUpType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

} // namespace

QtWorkQueue::QtWorkQueue(QObject *context) : QObject(context), m_receiver(context ? context : this)
{
}

QtWorkQueue::~QtWorkQueue()
{
    std::deque<std::function<void()>> dropped;
    {
        const std::lock_guard lock(handOffLock);
        dropped.swap(m_pending);
        m_wakeUps.clear();
    }
    // The wake-ups still queued are deleted by Qt with the context (or this
    // object); they were made under the lock just taken.
}

QtWorkQueue *QtWorkQueue::of(QObject *context)
{
    Q_ASSERT_X(context->thread() == QThread::currentThread(), "QtWorkQueue::of",
               "a context's queue is made on the context's thread");
    if (auto *queue = context->findChild<QtWorkQueue *>(QString(), Qt::FindDirectChildrenOnly))
        return queue;
    auto *queue = new QtWorkQueue(context);
    context->installEventFilter(queue);
    return queue;
}

void QtWorkQueue::post(std::function<void()> work)
{
    const std::lock_guard lock(handOffLock);
    enqueueLocked(std::move(work));
}

void QtWorkQueue::postToApplication(std::function<void()> work)
{
    const std::lock_guard lock(handOffLock);
    // Made on first use by whichever thread posts first (a download's
    // worker, say), then handed to the application's thread for good. Not a
    // filter of the application object: that can be set only on its thread.
    static QtWorkQueue *applicationQueue = nullptr;
    if (!applicationQueue) {
        QCoreApplication *application = QCoreApplication::instance();
        if (!application) {
            qWarning("QtWorkQueue: no application object; posted work dropped");
            return;
        }
        applicationQueue = new QtWorkQueue(nullptr);
        applicationQueue->moveToThread(application->thread());
    }
    applicationQueue->enqueueLocked(std::move(work));
}

void QtWorkQueue::enqueueLocked(std::function<void()> work)
{
    m_pending.push_back(std::move(work));
    // The event is allocated and posted under the lock as well: the
    // receiving side frees it after taking the lock, so the free is ordered
    // after this, and wake-ups of different threads go out in the order
    // their work was queued.
    auto *wakeUp = new QEvent(wakeUpType());
    m_wakeUps.insert(wakeUp);
    QCoreApplication::postEvent(m_receiver, wakeUp);
}

bool QtWorkQueue::eventFilter(QObject *, QEvent *event)
{
    return runIfWakeUp(event);
}

void QtWorkQueue::customEvent(QEvent *event)
{
    runIfWakeUp(event);
}

bool QtWorkQueue::runIfWakeUp(const QEvent *event)
{
    std::function<void()> work;
    {
        const std::lock_guard lock(handOffLock);
        if (m_wakeUps.erase(event) == 0)
            return false;
        // Any wake-up runs the oldest work: the order is the queue's.
        work = std::move(m_pending.front());
        m_pending.pop_front();
    }
    // Nothing of this object is touched after the work: it may destroy the
    // context, and this queue with it.
    work();
    return true;
}

} // namespace quillcast
