#include "document/ArrangedView.h"

#include <optional>
#include <utility>

namespace quillcast {

namespace {

ArrangedView::Records emptyRecords()
{
    static const ArrangedView::Records empty = std::make_shared<const std::vector<Dict>>();
    return empty;
}

} // namespace

ArrangedView::ArrangedView() : m_records(emptyRecords())
{
}

void ArrangedView::rearrange(const List &source, const Predicate &predicate)
{
    std::vector<Dict> arranged;
    source.read([&](const List::Items &items) {
        arranged.reserve(items.size());
        for (const Value &item : items) {
            const Dict *record = item.asDict();
            if (!record)
                continue;
            // No predicate: every record, without reading any of them.
            if (!predicate || predicate(record->snapshot()))
                arranged.push_back(*record);
        }
    });
    install(std::move(arranged));
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
    Records replaced = std::make_shared<const std::vector<Dict>>(std::move(arranged));
    {
        std::lock_guard lock(m_lock);
        m_records.swap(replaced);
    }
    // The old arrangement is released here, outside the lock.
}

void ArrangedView::clear()
{
    Records replaced = emptyRecords();
    std::lock_guard lock(m_lock);
    m_records.swap(replaced);
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
    const Records r = records();
    for (size_t i = 0; i < r->size(); ++i) {
        if (Dict::sameObject((*r)[i], record))
            return qsizetype(i);
    }
    return -1;
}

} // namespace quillcast
