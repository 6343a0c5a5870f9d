#include "util/List.h"

#include <mutex>

namespace quillcast {

List::List() : m_d(std::make_shared<Data>())
{
}

List::List(Items items) : m_d(std::make_shared<Data>())
{
    m_d->items = std::move(items);
}

qsizetype List::size() const
{
    std::shared_lock lock(m_d->lock);
    return qsizetype(m_d->items.size());
}

Value List::at(qsizetype i) const
{
    std::shared_lock lock(m_d->lock);
    if (i < 0 || i >= qsizetype(m_d->items.size()))
        return Value();
    return m_d->items[size_t(i)];
}

List::Items List::items() const
{
    std::shared_lock lock(m_d->lock);
    return m_d->items;
}

void List::append(const Value &v)
{
    std::unique_lock lock(m_d->lock);
    m_d->items.push_back(v);
}

void List::append(Items more)
{
    std::unique_lock lock(m_d->lock);
    // Into an empty list (a first import) the items move over whole, rather
    // than into a second array as large while the first is still held.
    if (m_d->items.empty() && m_d->items.capacity() < more.size()) {
        m_d->items.swap(more);
        return;
    }
    m_d->items.insert(m_d->items.end(), std::make_move_iterator(more.begin()),
                      std::make_move_iterator(more.end()));
}

void List::insert(qsizetype i, const Value &v)
{
    std::unique_lock lock(m_d->lock);
    i = std::clamp<qsizetype>(i, 0, qsizetype(m_d->items.size()));
    m_d->items.insert(m_d->items.begin() + i, v);
}

void List::set(qsizetype i, const Value &v)
{
    std::unique_lock lock(m_d->lock);
    if (i >= 0 && i < qsizetype(m_d->items.size()))
        m_d->items[size_t(i)] = v;
}

void List::removeAt(qsizetype i)
{
    std::unique_lock lock(m_d->lock);
    if (i >= 0 && i < qsizetype(m_d->items.size()))
        m_d->items.erase(m_d->items.begin() + i);
}

void List::clear()
{
    Items old;
    {
        std::unique_lock lock(m_d->lock);
        old.swap(m_d->items);
    }
}

void List::setItems(Items items)
{
    std::unique_lock lock(m_d->lock);
    m_d->items.swap(items);
}

qsizetype List::removeAll(const Value &v)
{
    std::unique_lock lock(m_d->lock);
    const auto before = m_d->items.size();
    if (v.isDict()) {
        const void *id = v.toDict().identity();
        std::erase_if(m_d->items, [&](const Value &e) { return e.isDict() && e.toDict().identity() == id; });
    } else {
        std::erase(m_d->items, v);
    }
    return qsizetype(before - m_d->items.size());
}

qsizetype List::indexOfObject(const void *identity) const
{
    std::shared_lock lock(m_d->lock);
    for (size_t i = 0; i < m_d->items.size(); ++i) {
        const Value &e = m_d->items[i];
        if ((e.isDict() && e.toDict().identity() == identity) || (e.isList() && e.toList().identity() == identity))
            return qsizetype(i);
    }
    return -1;
}

void List::read(const std::function<void(const Items &)> &reader) const
{
    std::shared_lock lock(m_d->lock);
    reader(m_d->items);
}

void List::write(const std::function<void(Items &)> &writer)
{
    std::unique_lock lock(m_d->lock);
    writer(m_d->items);
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
