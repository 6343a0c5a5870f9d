#include "tables/SearchCoalescer.h"

#include "document/RecordList.h"

#include <algorithm>
#include <utility>

namespace quillcast::gui {

SearchCoalescer::SearchCoalescer(QObject *parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &SearchCoalescer::search);
    m_pool.setMaxThreadCount(1);
}

SearchCoalescer::~SearchCoalescer()
{
    cancelWalk();
    m_pool.waitForDone();
}

void SearchCoalescer::bind(RecordList *list, std::function<void(const QString &)> setSearchText)
{
    cancelWalk();
    m_timer.stop();
    m_list = list;
    m_setSearchText = std::move(setSearchText);
}

void SearchCoalescer::textEdited(const QString &text)
{
    if (!m_list)
        return;
    m_pending = text;
    // A walk for an older text is of no use any more.
    cancelWalk();
    const bool aside = m_list->items().size() >= m_workerThreshold;
    m_timer.start(aside ? std::min(m_delay, kWorkerDelay) : m_delay);
}

void SearchCoalescer::flush()
{
    if (m_timer.isActive()) {
        m_timer.stop();
        search();
    }
}

void SearchCoalescer::cancel()
{
    m_timer.stop();
    cancelWalk();
}

void SearchCoalescer::cancelWalk()
{
    if (m_cancelWalk)
        m_cancelWalk->store(true);
    m_cancelWalk.reset();
    ++m_walkToken;
    m_walking = false;
}

void SearchCoalescer::search()
{
    if (!m_list)
        return;
    const QString text = m_pending;
    if (m_setSearchText)
        m_setSearchText(text);
    if (m_list->items().size() < m_workerThreshold) {
        m_list->filterShown();
        Q_EMIT applied(text);
        return;
    }
    walkAside(text);
}

void SearchCoalescer::walkAside(const QString &text)
{
    cancelWalk();
    auto pass = std::make_shared<RecordList::ShownPass>(m_list->shownPass());
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    m_cancelWalk = cancelled;
    const quint64 token = m_walkToken;
    m_walking = true;

    m_pool.start([this, pass, cancelled, token, text] {
        if (!pass->run(cancelled.get()))
            return;
        // Queued to this object: dropped by Qt if it is gone by then (the
        // destructor waits for this walk, so `this` is alive here).
        QMetaObject::invokeMethod(
            this,
            [this, pass, token, text] {
                if (token != m_walkToken || !m_list)
                    return;
                m_walking = false;
                m_cancelWalk.reset();
                // The list changed under the walk (a record added, the search
                // cleared by a command): what it shows now is searched again
                // here, the change being rare and the result due now.
                if (!m_list->installShownPass(std::move(*pass))) {
                    if (m_list->searchText() != text)
                        return;
                    m_list->filterShown();
                }
                Q_EMIT applied(text);
            },
            Qt::QueuedConnection);
    });
}

} // namespace quillcast::gui
