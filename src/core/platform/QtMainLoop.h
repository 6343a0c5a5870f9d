#pragma once

#include "platform/MainLoop.h"

class QObject;

namespace quillcast {

class QtWorkQueue;

// Posts to a Qt event loop: the one of the thread the context object lives
// on, or the application's main thread when there is no context. Posting is
// safe from any thread, and work runs in the order it was posted; work posted
// for a context destroyed meanwhile is dropped. A loop with a context is made
// on the context's thread.
//
// The work itself waits in a QtWorkQueue, so that ThreadSanitizer sees its
// hand-off from a worker to the loop's thread.
class QtMainLoop final : public MainLoop
{
public:
    explicit QtMainLoop(QObject *context = nullptr);
    void post(std::function<void()> work) override;
    static QtMainLoop &instance();

private:
    QtWorkQueue *m_queue; // the context's; none for the application's thread
};

} // namespace quillcast
