#include "util/Dict.h"

#include <algorithm>
#include <thread>

namespace quillcast {

namespace {

const Value &nullValue()
{
    static const Value none;
    return none;
}

auto findKey(const Dict::Entries &e, const QString &key)
{
    auto it = std::lower_bound(e.begin(), e.end(), key,
                               [](const Dict::Entry &entry, const QString &k) { return entry.first < k; });
    return (it != e.end() && it->first == key) ? it : e.end();
}

std::shared_ptr<const Dict::Entries> emptyEntries()
{
    static const auto empty = std::make_shared<const Dict::Entries>();
    return empty;
}

Dict::Entries normalised(Dict::Entries entries)
{
    // Importers and the file reader mostly hand over entries already in key
    // order: take them as they are.
    const bool sortedAndComplete =
        std::adjacent_find(entries.begin(), entries.end(),
                           [](const Dict::Entry &a, const Dict::Entry &b) { return !(a.first < b.first); })
            == entries.end()
        && std::none_of(entries.begin(), entries.end(), [](const Dict::Entry &e) { return e.second.isNull(); });
    if (sortedAndComplete)
        return entries;
    // Sort stably so that, among duplicate keys, the last one given wins.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Dict::Entry &a, const Dict::Entry &b) { return a.first < b.first; });
    Dict::Entries out;
    out.reserve(entries.size());
    for (auto &entry : entries) {
        if (!out.empty() && out.back().first == entry.first)
            out.back().second = std::move(entry.second);
        else
            out.push_back(std::move(entry));
    }
    std::erase_if(out, [](const Dict::Entry &e) { return e.second.isNull(); });
    return out;
}

// Holds a record's spin lock for the few instructions of a pointer exchange.
class SpinGuard
{
public:
    explicit SpinGuard(std::atomic_flag &flag) : m_flag(flag)
    {
        while (m_flag.test_and_set(std::memory_order_acquire))
            std::this_thread::yield();
    }
    ~SpinGuard() { m_flag.clear(std::memory_order_release); }
    SpinGuard(const SpinGuard &) = delete;
    SpinGuard &operator=(const SpinGuard &) = delete;

private:
    std::atomic_flag &m_flag;
};

} // namespace

std::shared_ptr<const Dict::Entries> Dict::Data::load() const
{
    SpinGuard guard(busy);
    return entries;
}

void Dict::Data::store(std::shared_ptr<const Entries> next)
{
    {
        SpinGuard guard(busy);
        entries.swap(next);
    }
    // The old snapshot (now in `next`) is released outside the lock.
}

const Value &Dict::Snapshot::value(const QString &key) const
{
    auto it = findKey(*m_entries, key);
    return it == m_entries->end() ? nullValue() : it->second;
}

const Dict::Entries &Dict::Snapshot::entries() const
{
    return *m_entries;
}

bool Dict::Snapshot::contains(const QString &key) const
{
    return findKey(*m_entries, key) != m_entries->end();
}

qsizetype Dict::Snapshot::size() const
{
    return qsizetype(m_entries->size());
}

bool Dict::Snapshot::boolValue(const QString &key) const
{
    return value(key).toBool();
}

qint64 Dict::Snapshot::intValue(const QString &key) const
{
    return value(key).toInt64();
}

QString Dict::Snapshot::stringValue(const QString &key) const
{
    return value(key).toString();
}

Dict::Dict() : m_d(std::make_shared<Data>())
{
    m_d->store(emptyEntries());
}

Dict::Dict(Entries entries) : m_d(std::make_shared<Data>())
{
    m_d->store(std::make_shared<const Entries>(normalised(std::move(entries))));
}

Dict::Dict(std::initializer_list<Entry> entries) : Dict(Entries(entries))
{
}

Dict::Snapshot Dict::snapshot() const
{
    return Snapshot(m_d->load());
}

Value Dict::value(const QString &key) const
{
    return snapshot().value(key);
}

bool Dict::contains(const QString &key) const
{
    return snapshot().contains(key);
}

qsizetype Dict::size() const
{
    return snapshot().size();
}

QStringList Dict::keys() const
{
    const Snapshot s = snapshot();
    QStringList out;
    out.reserve(s.size());
    for (const auto &e : s.entries())
        out.append(e.first);
    return out;
}

bool Dict::boolValue(const QString &key) const
{
    return value(key).toBool();
}

qint64 Dict::intValue(const QString &key) const
{
    return value(key).toInt64();
}

QString Dict::stringValue(const QString &key) const
{
    return value(key).toString();
}

template<typename Edit>
void Dict::edit(Edit &&change)
{
    // Build the next version outside the lock; install it only if nobody
    // installed another one meanwhile, else start again from theirs.
    std::shared_ptr<const Entries> current = m_d->load();
    for (;;) {
        auto next = std::make_shared<Entries>(*current);
        change(*next);
        std::shared_ptr<const Entries> old;
        {
            SpinGuard guard(m_d->busy);
            if (m_d->entries == current) {
                old.swap(m_d->entries);
                m_d->entries = std::move(next);
                break;
            }
            current = m_d->entries;
        }
    }
}

void Dict::set(const QString &key, const Value &value)
{
    if (value.isNull()) {
        remove(key);
        return;
    }
    std::shared_ptr<const Entries> current = m_d->load();
    for (;;) {
        const Entries &e = *current;
        auto it = std::lower_bound(e.begin(), e.end(), key,
                                   [](const Entry &entry, const QString &k) { return entry.first < k; });
        const bool present = it != e.end() && it->first == key;
        // Writing what is already there changes nothing: no new version.
        if (present && it->second.type() == value.type() && it->second == value)
            return;
        auto next = std::make_shared<Entries>();
        next->reserve(e.size() + (present ? 0 : 1));
        next->insert(next->end(), e.begin(), it);
        next->emplace_back(key, value);
        next->insert(next->end(), present ? it + 1 : it, e.end());

        std::shared_ptr<const Entries> old;
        SpinGuard guard(m_d->busy);
        if (m_d->entries == current) {
            old.swap(m_d->entries);
            m_d->entries = std::move(next);
            return;
        }
        current = m_d->entries;
    }
}

void Dict::remove(const QString &key)
{
    if (!contains(key))
        return;
    edit([&](Entries &e) { std::erase_if(e, [&](const Entry &entry) { return entry.first == key; }); });
}

void Dict::clear()
{
    m_d->store(emptyEntries());
}

void Dict::replaceEntries(Entries entries)
{
    m_d->store(std::make_shared<const Entries>(normalised(std::move(entries))));
}

Dict Dict::deepCopy() const
{
    Entries copy = snapshot().entries();
    for (auto &e : copy) {
        if (e.second.isDict())
            e.second = e.second.toDict().deepCopy();
        else if (e.second.isList())
            e.second = e.second.toList().deepCopy();
    }
    return Dict(std::move(copy));
}

} // namespace quillcast
