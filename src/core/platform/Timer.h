#pragma once

#include <chrono>

namespace quillcast {

// A one-shot timer on the main loop: fires its handler once, the given time
// after the last start(). Starting it while it runs starts it over, which is
// what a debounce needs.
class Timer
{
public:
    virtual ~Timer() = default;
    virtual void start(std::chrono::milliseconds interval) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

} // namespace quillcast
