#include "document/SendProgress.h"

#include "platform/MainLoop.h"

#include <QPointer>

using namespace Qt::StringLiterals;

namespace quillcast {

SendProgress::SendProgress(MainLoop &mainThread, QObject *parent) : QObject(parent), m_mainThread(mainThread)
{
    m_state.action = u""_s;
    m_state.estimate = u""_s;
}

SendProgress::Snapshot SendProgress::snapshot() const
{
    const std::lock_guard guard(m_lock);
    return m_state;
}

bool SendProgress::isRunning() const
{
    const std::lock_guard guard(m_lock);
    return m_state.running;
}

template<typename Change>
void SendProgress::update(Change change, bool ends)
{
    Snapshot now;
    {
        const std::lock_guard guard(m_lock);
        change(m_state);
        now = m_state;
    }
    announce(std::move(now), ends);
}

void SendProgress::announce(Snapshot now, bool ends)
{
    // Posted also from the main thread, so that the announcements keep the
    // order of the changes whichever thread made them.
    m_mainThread.post([self = QPointer<SendProgress>(this), now, ends] {
        if (!self)
            return;
        Q_EMIT self->changed(now);
        if (ends)
            Q_EMIT self->finished();
    });
}

bool SendProgress::tryStart()
{
    Snapshot now;
    {
        const std::lock_guard guard(m_lock);
        if (m_state.running)
            return false;
        m_state.running = true;
        m_cancelRequested.store(false);
        now = m_state;
    }
    announce(std::move(now), false);
    return true;
}

void SendProgress::begin(qint64 length)
{
    update([length](Snapshot &state) {
        state.running = true;
        state.length = length;
        state.position = 0;
    });
}

void SendProgress::recordStarted(qint64 position, qint64 pauseSeconds)
{
    update([position, pauseSeconds](Snapshot &state) {
        state.position = position;
        state.action = progressString(position, state.length);
        state.estimate = estimationString(pauseSeconds * (state.length - position));
    });
}

void SendProgress::done()
{
    update(
        [](Snapshot &state) {
            state.running = false;
            state.action = QString::asprintf("Done. %lli sent.", state.length);
            state.estimate = u""_s;
        },
        true);
}

void SendProgress::cancelledAt(qint64 position)
{
    update(
        [position](Snapshot &state) {
            state.running = false;
            const qint64 n = state.length;
            state.action = QString::asprintf("Cancelled at: %lli of %lli (%lli sent, %lli unsent)", position + 1, n,
                                             position, n - position);
            state.estimate = u""_s;
        },
        true);
}

void SendProgress::recalculateEstimation(qint64 pauseSeconds)
{
    if (!isRunning())
        return;
    update([pauseSeconds](Snapshot &state) {
        if (state.running)
            state.estimate = estimationString(pauseSeconds * (state.length - state.position));
    });
}

QString SendProgress::progressString(qint64 i, qint64 n)
{
    return QString::asprintf("Preparing email: %lli of %lli (%lli remaining)", i + 1, n, n - i - 1);
}

QString SendProgress::estimationString(qint64 seconds)
{
    if (seconds < 1)
        return QString();
    return QString::asprintf("Completation in about %02lli:%02lli:%02lli (hh:mm:ss)", seconds / 3600,
                             (seconds % 3600) / 60, seconds % 60);
}

} // namespace quillcast
