#include "util/List.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace quillcast {

struct List::Snapshot::Block
{
    // How many snapshots hold these items; while any does, a change of the
    // list goes to a copy.
    std::atomic<int> snapshots{0};
    Items items;
};

List::Snapshot::Snapshot(std::shared_ptr<Block> block) : m_block(std::move(block))
{
}

List::Snapshot &List::Snapshot::operator=(Snapshot &&other) noexcept
{
    if (this != &other) {
        Snapshot gone(std::move(*this));
        m_block = std::move(other.m_block);
    }
    return *this;
}

List::Snapshot::~Snapshot()
{
    // Release: what this snapshot read is done before a writer that sees the
    // count drop changes the items in place.
    if (m_block)
        m_block->snapshots.fetch_sub(1, std::memory_order_release);
}

namespace {

// What a list without a block of items holds.
const List::Items &noItems()
{
    static const List::Items none;
    return none;
}

} // namespace

const List::Items &List::Snapshot::items() const
{
    return m_block ? m_block->items : noItems();
}

const List::Items &List::Data::items() const
{
    return block ? block->items : noItems();
}

List::Items &List::Data::own()
{
    if (!block) {
        block = std::make_shared<Snapshot::Block>();
    } else if (block->snapshots.load(std::memory_order_acquire) != 0) {
        auto copy = std::make_shared<Snapshot::Block>();
        copy->items = block->items;
        block = std::move(copy);
    }
    return block->items;
}

List::List() : m_d(std::make_shared<Data>())
{
}

List::List(Items items) : m_d(std::make_shared<Data>())
{
    if (!items.empty()) {
        m_d->block = std::make_shared<Snapshot::Block>();
        m_d->block->items = std::move(items);
    }
}

qsizetype List::size() const
{
    std::shared_lock lock(m_d->lock);
    return qsizetype(m_d->items().size());
}

Value List::at(qsizetype i) const
{
    std::shared_lock lock(m_d->lock);
    const Items &items = m_d->items();
    if (i < 0 || i >= qsizetype(items.size()))
        return Value();
    return items[size_t(i)];
}

List::Items List::items() const
{
    std::shared_lock lock(m_d->lock);
    return m_d->items();
}

List::Snapshot List::snapshot() const
{
    // Taken under the lock, so that no writer is between its check of the
    // count and its change.
    std::shared_lock lock(m_d->lock);
    if (!m_d->block)
        return Snapshot();
    m_d->block->snapshots.fetch_add(1, std::memory_order_relaxed);
    return Snapshot(m_d->block);
}

void List::append(const Value &v)
{
    std::unique_lock lock(m_d->lock);
    m_d->own().push_back(v);
}

void List::append(Items more)
{
    std::shared_ptr<Snapshot::Block> fresh;
    std::unique_lock lock(m_d->lock);
    // Into an empty list (a first import) the items move over whole, rather
    // than into a second array as large while the first is still held.
    if (m_d->items().empty()) {
        fresh = std::make_shared<Snapshot::Block>();
        fresh->items = std::move(more);
        std::swap(m_d->block, fresh);
        return;
    }
    Items &items = m_d->own();
    items.insert(items.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
}

void List::insert(qsizetype i, const Value &v)
{
    std::unique_lock lock(m_d->lock);
    Items &items = m_d->own();
    i = std::clamp<qsizetype>(i, 0, qsizetype(items.size()));
    items.insert(items.begin() + i, v);
}

void List::set(qsizetype i, const Value &v)
{
    std::unique_lock lock(m_d->lock);
    if (i >= 0 && i < qsizetype(m_d->items().size()))
        m_d->own()[size_t(i)] = v;
}

void List::removeAt(qsizetype i)
{
    std::unique_lock lock(m_d->lock);
    if (i >= 0 && i < qsizetype(m_d->items().size())) {
        Items &items = m_d->own();
        items.erase(items.begin() + i);
    }
}

void List::clear()
{
    // The items are let go after the lock.
    std::shared_ptr<Snapshot::Block> old;
    std::unique_lock lock(m_d->lock);
    old.swap(m_d->block);
}

void List::setItems(Items items)
{
    auto fresh = std::make_shared<Snapshot::Block>();
    fresh->items = std::move(items);
    std::unique_lock lock(m_d->lock);
    std::swap(m_d->block, fresh);
}

qsizetype List::removeAll(const Value &v)
{
    std::unique_lock lock(m_d->lock);
    const Items &now = m_d->items();
    const auto before = now.size();
    const auto matches = [&](const Value &e) {
        if (v.isDict())
            return e.isDict() && e.toDict().identity() == v.toDict().identity();
        return e == v;
    };
    if (std::none_of(now.begin(), now.end(), matches))
        return 0;
    Items &items = m_d->own();
    std::erase_if(items, matches);
    return qsizetype(before - items.size());
}

qsizetype List::indexOfObject(const void *identity) const
{
    std::shared_lock lock(m_d->lock);
    const Items &items = m_d->items();
    for (size_t i = 0; i < items.size(); ++i) {
        const Value &e = items[i];
        if ((e.isDict() && e.toDict().identity() == identity) || (e.isList() && e.toList().identity() == identity))
            return qsizetype(i);
    }
    return -1;
}

void List::read(const std::function<void(const Items &)> &reader) const
{
    std::shared_lock lock(m_d->lock);
    reader(m_d->items());
}

void List::write(const std::function<void(Items &)> &writer)
{
    std::unique_lock lock(m_d->lock);
    writer(m_d->own());
}

List List::deepCopy() const
{
    Items copy = items();
    for (auto &e : copy) {
        if (e.isDict())
            e = e.toDict().deepCopy();
        else if (e.isList())
            e = e.toList().deepCopy();
    }
    return List(std::move(copy));
}

} // namespace quillcast
