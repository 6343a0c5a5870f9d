#include "platform/QtMainLoop.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace quillcast {

void QtMainLoop::post(std::function<void()> work)
{
    // The application object lives on the main thread, so a queued call on
    // it runs there at the loop's next turn.
    QMetaObject::invokeMethod(m_context ? m_context : QCoreApplication::instance(), std::move(work),
                              Qt::QueuedConnection);
}

QtMainLoop &QtMainLoop::instance()
{
    static QtMainLoop loop;
    return loop;
}

} // namespace quillcast
