#include "document/ArrangedView.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <utility>

namespace quillcast {

namespace {

} // namespace

ArrangedView::ArrangedView() : m_records(std::make_shared<std::vector<Dict>>())
{
}

void ArrangedView::rearrange(const List &source, const Predicate &predicate)
{
    install(std::move(*arrange(source, predicate)));
}

std::optional<std::vector<Dict>> ArrangedView::arrange(const List &source, const Predicate &predicate,
                                                       const std::atomic<bool> *cancelled)
{
    constexpr size_t kCancelStride = 4096;
    std::vector<Dict> arranged;
    bool gaveUp = false;
    source.read([&](const List::Items &items) {
        arranged.reserve(items.size());
        for (size_t i = 0; i < items.size(); ++i) {
            if (cancelled && i % kCancelStride == 0 && cancelled->load(std::memory_order_relaxed)) {
                gaveUp = true;
                return;
            }
            const Dict *record = items[i].asDict();
            if (!record)
                continue;
            // No predicate: every record, without reading any of them.
            if (!predicate || predicate(record->snapshot()))
                arranged.push_back(*record);
        }
    });
    if (gaveUp)
        return std::nullopt;
    return arranged;
}

void ArrangedView::rearrangeTogether(const List &source, ArrangedView &first, const Predicate &firstPredicate,
                                     ArrangedView &second, const Predicate &secondPredicate)
{
    std::vector<Dict> firstArranged;
    std::vector<Dict> secondArranged;
    source.read([&](const List::Items &items) {
        firstArranged.reserve(items.size());
        secondArranged.reserve(items.size());
        for (const Value &item : items) {
            const Dict *record = item.asDict();
            if (!record)
                continue;
            // One snapshot for both predicates, and none when neither reads the record.
            std::optional<Dict::Snapshot> snapshot;
            if (firstPredicate || secondPredicate)
                snapshot.emplace(record->snapshot());
            if (!firstPredicate || firstPredicate(*snapshot))
                firstArranged.push_back(*record);
            if (!secondPredicate || secondPredicate(*snapshot))
                secondArranged.push_back(*record);
        }
    });
    first.install(std::move(firstArranged));
    second.install(std::move(secondArranged));
}

void ArrangedView::install(std::vector<Dict> &&arranged)
{
    arranged.shrink_to_fit();
    Arrangement replaced = std::make_shared<std::vector<Dict>>(std::move(arranged));
    {
        std::lock_guard lock(m_lock);
        m_records.swap(replaced);
        m_index.clear();
    }
    // The old arrangement is released here, outside the lock.
}

void ArrangedView::clear()
{
    install({});
}

std::vector<Dict> &ArrangedView::writable()
{
    // Every copy of the pointer is made under m_lock, so a count of one here
    // means no reader holds the arrangement nor can take it meanwhile.
    if (m_records.use_count() == 1) {
        // Pairs with the release of the last reader's reference.
        std::atomic_thread_fence(std::memory_order_acquire);
        return *m_records;
    }
    m_records = std::make_shared<std::vector<Dict>>(*m_records);
    return *m_records;
}

void ArrangedView::append(const Dict &record)
{
    std::lock_guard lock(m_lock);
    std::vector<Dict> &records = writable();
    records.push_back(record);
    m_index.appended(record.identity(), qsizetype(records.size()) - 1);
}

void ArrangedView::insert(qsizetype i, const Dict &record)
{
    std::lock_guard lock(m_lock);
    std::vector<Dict> &records = writable();
    i = std::clamp<qsizetype>(i, 0, qsizetype(records.size()));
    records.insert(records.begin() + i, record);
    m_index.invalidateFrom(i);
}

bool ArrangedView::removeAt(qsizetype i)
{
    std::optional<Dict> removed;
    std::lock_guard lock(m_lock);
    if (i < 0 || i >= qsizetype(m_records->size()))
        return false;
    std::vector<Dict> &records = writable();
    removed = records[size_t(i)];
    records.erase(records.begin() + i);
    m_index.removed(removed->identity(), i);
    return true;
}

ArrangedView::Records ArrangedView::records() const
{
    std::lock_guard lock(m_lock);
    return m_records;
}

qsizetype ArrangedView::size() const
{
    return qsizetype(records()->size());
}

std::optional<Dict> ArrangedView::at(qsizetype i) const
{
    const Records r = records();
    if (i < 0 || i >= qsizetype(r->size()))
        return std::nullopt;
    return (*r)[size_t(i)];
}

qsizetype ArrangedView::indexOf(const Dict &record) const
{
    std::lock_guard lock(m_lock);
    const std::vector<Dict> &r = *m_records;
    return m_index.find(record.identity(), qsizetype(r.size()),
                        [&](qsizetype i) { return r[size_t(i)].identity(); });
}

} // namespace quillcast
