#pragma once

#include <functional>

namespace quillcast {

// Defers work to the next turn of the main event loop, as the dialogs do when
// a panel's answer or a menu choice must be handled after the control that
// produced it has finished, and as workers do to hand their results to the
// main thread: post() may be called from any thread, and work runs in the
// order it was posted.
class MainLoop
{
public:
    virtual ~MainLoop() = default;
    virtual void post(std::function<void()> work) = 0;
};

} // namespace quillcast
