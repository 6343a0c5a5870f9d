#pragma once

#include "platform/Sleeper.h"

namespace quillcast {

class SystemSleeper final : public Sleeper
{
public:
    void sleepFor(std::chrono::milliseconds duration) override;
    static SystemSleeper &instance();
};

} // namespace quillcast
