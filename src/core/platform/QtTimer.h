#pragma once

#include "platform/Timer.h"

#include <QTimer>

#include <functional>

namespace quillcast {

// A single-shot QTimer behind the Timer interface.
class QtTimer final : public Timer
{
public:
    explicit QtTimer(std::function<void()> onTimeout);
    void start(std::chrono::milliseconds interval) override;
    void stop() override;
    bool isActive() const override;

private:
    QTimer m_timer;
};

} // namespace quillcast
