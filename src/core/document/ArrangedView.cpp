#include "document/ArrangedView.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <optional>
#include <thread>
#include <utility>

namespace quillcast {

ArrangedView::ArrangedView() : m_records(std::make_shared<std::vector<Dict>>())
{
}

void ArrangedView::rearrange(const List &source, const Predicate &predicate)
{
    install(std::move(*arrange(source, predicate)));
}

namespace {

constexpr size_t kCancelStride = 4096;
// From this many rows on, a walk is split between this thread and a helper:
// reading a million records is mostly waiting for memory.
constexpr size_t kHalvesFrom = size_t(1) << 16;

// The records of items[first, last) each predicate lets through (an empty
// predicate: every record, none of them read), in list order; false when
// cancelled on the way.
bool walk(const List::Items &items, size_t first, size_t last, const ArrangedView::Predicate &firstPredicate,
          std::vector<Dict> &firstArranged, const ArrangedView::Predicate *secondPredicate,
          std::vector<Dict> *secondArranged, const std::atomic<bool> *cancelled)
{
    firstArranged.reserve(last - first);
    if (secondArranged)
        secondArranged->reserve(last - first);
    for (size_t i = first; i < last; ++i) {
        if (cancelled && (i - first) % kCancelStride == 0 && cancelled->load(std::memory_order_relaxed))
            return false;
        const Dict *record = items[i].asDict();
        if (!record)
            continue;
        if (!firstPredicate || firstPredicate(*record))
            firstArranged.push_back(*record);
        if (secondArranged && (!*secondPredicate || (*secondPredicate)(*record)))
            secondArranged->push_back(*record);
    }
    return true;
}

void append(std::vector<Dict> &to, std::vector<Dict> &&from)
{
    to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
}

// The walk over all of items: a long list in two halves, the second on a
// helper thread, joined in list order, so the result is the same.
bool walkAll(const List::Items &items, const ArrangedView::Predicate &firstPredicate,
             std::vector<Dict> &firstArranged, const ArrangedView::Predicate *secondPredicate,
             std::vector<Dict> *secondArranged, const std::atomic<bool> *cancelled)
{
    const size_t count = items.size();
    if (count < kHalvesFrom || std::thread::hardware_concurrency() < 2)
        return walk(items, 0, count, firstPredicate, firstArranged, secondPredicate, secondArranged, cancelled);
    const size_t middle = count / 2;
    // Room for the whole list, so that the later half joins without a move.
    firstArranged.reserve(count);
    if (secondArranged)
        secondArranged->reserve(count);
    std::vector<Dict> firstLater;
    std::vector<Dict> secondLater;
    bool laterDone = false;
    // The caller holds the list's lock until the helper has ended.
    std::thread helper([&] {
        laterDone = walk(items, middle, count, firstPredicate, firstLater, secondPredicate,
                         secondArranged ? &secondLater : nullptr, cancelled);
    });
    const bool earlierDone =
        walk(items, 0, middle, firstPredicate, firstArranged, secondPredicate, secondArranged, cancelled);
    helper.join();
    if (!earlierDone || !laterDone)
        return false;
    append(firstArranged, std::move(firstLater));
    if (secondArranged)
        append(*secondArranged, std::move(secondLater));
    return true;
}

} // namespace

std::optional<std::vector<Dict>> ArrangedView::arrange(const List &source, const Predicate &predicate,
                                                       const std::atomic<bool> *cancelled)
{
    std::vector<Dict> arranged;
    bool done = false;
    source.read([&](const List::Items &items) {
        done = walkAll(items, predicate, arranged, nullptr, nullptr, cancelled);
    });
    if (!done)
        return std::nullopt;
    return arranged;
}

void ArrangedView::rearrangeTogether(const List &source, ArrangedView &first, const Predicate &firstPredicate,
                                     ArrangedView &second, const Predicate &secondPredicate)
{
    std::vector<Dict> firstArranged;
    std::vector<Dict> secondArranged;
    source.read([&](const List::Items &items) {
        walkAll(items, firstPredicate, firstArranged, &secondPredicate, &secondArranged, nullptr);
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
