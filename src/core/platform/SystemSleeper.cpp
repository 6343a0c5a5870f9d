#include "platform/SystemSleeper.h"

#include <thread>

namespace quillcast {

void SystemSleeper::sleepFor(std::chrono::milliseconds duration)
{
    std::this_thread::sleep_for(duration);
}

SystemSleeper &SystemSleeper::instance()
{
    static SystemSleeper sleeper;
    return sleeper;
}

} // namespace quillcast
