#include "document/SendListRebuilder.h"

#include "document/DocumentKeys.h"
#include "document/MyDocument.h"
#include "util/TextSet.h"

#include <optional>
#include <utility>

namespace quillcast {

SendListRebuilder::SendListRebuilder(MyDocument &document) : m_document(document), m_documentThread(&document)
{
}

SendListRebuilder::~SendListRebuilder()
{
    {
        std::lock_guard lock(m_lock);
        m_stopping = true;
        m_next.reset();
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

List::Items SendListRebuilder::buildSendItems(const List &addresses, const List &exceptions)
{
    // The exception test compares the whole address field with each
    // exception's "email", exactly (case, spaces and all).
    const QString exceptEmail = DocumentKeys::exceptEmail();
    std::optional<TextSet> excluded;
    exceptions.read([&](const List::Items &items) {
        excluded.emplace(Qt::CaseSensitive, qsizetype(items.size()));
        for (const Value &item : items) {
            const Dict *exception = item.asDict();
            if (!exception)
                continue;
            const Dict::Snapshot record = exception->snapshot();
            if (const QString *email = record.value(exceptEmail).asString())
                excluded->insert(*email);
        }
    });

    // The database's items are copied out first (handles only), so the lock
    // that keeps the database's edits waiting is held for the copy alone; the
    // copy then becomes the send list where it stands.
    List::Items send = addresses.items();
    const QString address = DocumentKeys::emailInnerKey();
    std::erase_if(send, [&](const Value &item) {
        const Dict *record = item.asDict();
        if (!record)
            return true;
        if (excluded->isEmpty())
            return false;
        const Dict::Snapshot current = record->snapshot();
        const QString *field = current.value(address).asString();
        return field && excluded->contains(*field);
    });
    return send;
}

bool SendListRebuilder::request(Completion done)
{
    if (m_document.preparingSending())
        return false;
    if (done)
        m_waiting.push_back(std::move(done));
    {
        std::lock_guard lock(m_lock);
        m_next = Job{++m_requested, m_document.addressArray(), m_document.exceptArray()};
        if (!m_worker.joinable())
            m_worker = std::thread([this] { workerLoop(); });
    }
    m_wake.notify_one();
    return true;
}

bool SendListRebuilder::rebuildNow()
{
    if (m_document.preparingSending())
        return false;
    apply(++m_requested, buildSendItems(m_document.addressArray(), m_document.exceptArray()));
    return true;
}

bool SendListRebuilder::isPending() const
{
    return !m_waiting.empty();
}

void SendListRebuilder::workerLoop()
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_lock);
            m_wake.wait(lock, [this] { return m_stopping || m_next.has_value(); });
            if (m_stopping)
                return;
            job = std::move(*m_next);
            m_next.reset();
        }
        List::Items items = buildSendItems(job.addresses, job.exceptions);
        // Posted, not called: the list is put in place by the document's own
        // thread. The destructor joins this thread before the document's
        // QObject goes, and work posted to a destroyed document is dropped.
        m_documentThread.post([this, generation = job.generation, built = std::move(items)]() mutable {
            apply(generation, std::move(built));
        });
    }
}

void SendListRebuilder::apply(quint64 generation, List::Items items)
{
    // A newer request is on its way (this list may already miss its edits),
    // or a send run started meanwhile and works on the list in place.
    if (generation != m_requested || m_document.preparingSending())
        return;
    m_document.setSendArray(List(std::move(items)));
    // The send list's views (shown and checked) and its any-checked flag.
    m_document.sendList().filterShownAndChecked();
    m_document.updateAnyChecked(m_document.sendList());
    // The preview shows the same list; its view is re-evaluated when the
    // preview is what the user looks at (its tab rebuilds the list again).
    if (m_document.selectedTab() == MyDocument::PreviewTab)
        m_document.filterPreview();

    std::vector<Completion> waiting = std::exchange(m_waiting, {});
    for (Completion &done : waiting)
        done();
}

} // namespace quillcast
