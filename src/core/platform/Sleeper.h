#pragma once

#include <chrono>

namespace quillcast {

// Puts the calling thread to sleep; injected where a loop paces itself, so
// tests can move a clock on instead of waiting.
class Sleeper
{
public:
    virtual ~Sleeper() = default;
    virtual void sleepFor(std::chrono::milliseconds duration) = 0;
};

} // namespace quillcast
