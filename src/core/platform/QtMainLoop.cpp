#include "platform/QtMainLoop.h"

#include "platform/QtWorkQueue.h"

namespace quillcast {

QtMainLoop::QtMainLoop(QObject *context) : m_queue(context ? QtWorkQueue::of(context) : nullptr)
{
}

void QtMainLoop::post(std::function<void()> work)
{
    if (m_queue)
        m_queue->post(std::move(work));
    else
        QtWorkQueue::postToApplication(std::move(work));
}

QtMainLoop &QtMainLoop::instance()
{
    static QtMainLoop loop;
    return loop;
}

} // namespace quillcast
