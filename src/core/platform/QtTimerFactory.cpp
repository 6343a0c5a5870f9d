#include "platform/QtTimerFactory.h"

#include "platform/QtTimer.h"

#include <utility>

namespace quillcast {

std::unique_ptr<Timer> QtTimerFactory::createTimer(std::function<void()> onTimeout)
{
    return std::make_unique<QtTimer>(std::move(onTimeout));
}

} // namespace quillcast
