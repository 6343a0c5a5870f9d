#pragma once

#include "platform/MainLoop.h"

namespace quillcast {

// Posts to the Qt event loop of the application's main thread.
class QtMainLoop final : public MainLoop
{
public:
    void post(std::function<void()> work) override;
    static QtMainLoop &instance();
};

} // namespace quillcast
