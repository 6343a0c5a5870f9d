#include "platform/QtTimer.h"

#include <utility>

namespace quillcast {

QtTimer::QtTimer(std::function<void()> onTimeout)
{
    m_timer.setSingleShot(true);
    // The connection dies with m_timer, so the handler never outlives this object.
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, std::move(onTimeout));
}

void QtTimer::start(std::chrono::milliseconds interval)
{
    m_timer.start(interval);
}

void QtTimer::stop()
{
    m_timer.stop();
}

bool QtTimer::isActive() const
{
    return m_timer.isActive();
}

} // namespace quillcast
