#pragma once

#include "platform/MainLoop.h"

class QObject;

namespace quillcast {

// Posts to a Qt event loop: the one of the thread the context object lives
// on, or the application's main thread when there is no context. Posting is
// safe from any thread; work posted for a context destroyed meanwhile is
// dropped.
class QtMainLoop final : public MainLoop
{
public:
    explicit QtMainLoop(QObject *context = nullptr) : m_context(context) {}
    void post(std::function<void()> work) override;
    static QtMainLoop &instance();

private:
    QObject *m_context;
};

} // namespace quillcast
