#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <functional>

namespace quillcast::testing {

// The one QCoreApplication of a test program, made on first use: posted
// steps, queued signals and the send run's progress need its event loop.
inline QCoreApplication &application()
{
    static int argc = 1;
    static char name[] = "quillcast_tests";
    static char *argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

// Runs the event loop until the condition holds or the time (ten seconds
// unless given) is up.
inline bool processEventsUntil(const std::function<bool()> &condition, qint64 limitMs = 10000)
{
    application();
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < limitMs) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
    QCoreApplication::processEvents();
    return condition();
}

// Runs what has been posted to this thread so far.
inline void drainEvents()
{
    application();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

} // namespace quillcast::testing
