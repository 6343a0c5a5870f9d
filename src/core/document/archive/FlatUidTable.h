#pragma once

#include <QtGlobal>

#include <algorithm>
#include <memory>
#include <utility>

namespace quillcast {

// A map from 64-bit keys (addresses, integers, bit patterns of reals) to the
// archive's object numbers, in one flat array with open addressing.
//
// The archive of a mailing looks up every record and every number in such a
// map; QHash gives each entry a node of its own, which for a million records
// costs more time than the rest of the save. Here an entry is 12 bytes in
// place and a lookup touches one or two cache lines.
//
// Entries are never removed. Lookups through a const table may run on several
// threads at once.
class FlatUidTable
{
public:
    // The key in two halves, so that an entry needs no padding: a table of a
    // million records is 25 MB rather than 33.
    struct Entry
    {
        quint32 keyLow;
        quint32 keyHigh;
        quint32 uid; // 0 marks an unused entry: UID 0 is $null, never a shared object

        bool holds(quint64 key) const { return keyLow == quint32(key) && keyHigh == quint32(key >> 32); }
    };

    FlatUidTable() = default;
    FlatUidTable(FlatUidTable &&) noexcept = default;
    FlatUidTable &operator=(FlatUidTable &&) noexcept = default;
    FlatUidTable(const FlatUidTable &other) { *this = other; }
    FlatUidTable &operator=(const FlatUidTable &other)
    {
        if (this == &other)
            return *this;
        m_entries.reset();
        if (other.m_entries) {
            m_entries = std::make_unique_for_overwrite<Entry[]>(other.capacity());
            std::copy_n(other.m_entries.get(), other.capacity(), m_entries.get());
        }
        m_mask = other.m_mask;
        m_shift = other.m_shift;
        m_size = other.m_size;
        return *this;
    }

    const Entry *find(quint64 key) const
    {
        if (!m_entries)
            return nullptr;
        for (size_t i = slotFor(key);; i = (i + 1) & m_mask) {
            const Entry &e = m_entries[i];
            if (e.uid == 0)
                return nullptr;
            if (e.holds(key))
                return &e;
        }
    }
    Entry *find(quint64 key) { return const_cast<Entry *>(std::as_const(*this).find(key)); }

    // Brings the entry a later find(key) or add(key) starts at into the cache.
    void prefetch(quint64 key) const
    {
        if (m_entries)
            __builtin_prefetch(&m_entries[slotFor(key)]);
    }

    // Adds a key that is not in the table yet, with its uid (not 0).
    Entry &add(quint64 key, quint32 uid)
    {
        if (2 * (m_size + 1) > capacity())
            grow(2 * (m_size + 1));
        Entry &e = place(key);
        e.uid = uid;
        ++m_size;
        return e;
    }

    size_t size() const { return m_size; }

    // Calls f(key, uid) for every entry, in no particular order.
    template <typename Function>
    void forEach(Function &&f) const
    {
        for (size_t i = 0; i < capacity(); ++i) {
            if (m_entries[i].uid != 0)
                f(quint64(m_entries[i].keyHigh) << 32 | m_entries[i].keyLow, m_entries[i].uid);
        }
    }

    // Makes room for this many entries in all, so that the table is not
    // rebuilt (holding the old one and the new) while they are added.
    void reserve(size_t entries)
    {
        if (2 * entries > capacity())
            grow(2 * entries);
    }

private:
    size_t capacity() const { return m_entries ? m_mask + 1 : 0; }

    size_t slotFor(quint64 key) const
    {
        // Fibonacci hashing: addresses differ in their middle bits and
        // numbers in their low ones; the top bits of the product mix both.
        return size_t((key * 0x9E3779B97F4A7C15ULL) >> m_shift);
    }

    Entry &place(quint64 key)
    {
        size_t i = slotFor(key);
        while (m_entries[i].uid != 0)
            i = (i + 1) & m_mask;
        m_entries[i].keyLow = quint32(key);
        m_entries[i].keyHigh = quint32(key >> 32);
        return m_entries[i];
    }

    // To a power of two of at least 1024 entries and of at least `needed`.
    void grow(size_t needed)
    {
        size_t newCapacity = std::max<size_t>(1024, capacity());
        while (newCapacity < needed)
            newCapacity *= 2;
        std::unique_ptr<Entry[]> old = std::move(m_entries);
        const size_t oldCapacity = old ? m_mask + 1 : 0;
        m_entries = std::make_unique<Entry[]>(newCapacity); // zeroed: all unused
        m_mask = newCapacity - 1;
        m_shift = 64;
        for (size_t c = newCapacity; c > 1; c >>= 1)
            --m_shift;
        for (size_t i = 0; i < oldCapacity; ++i) {
            if (old[i].uid != 0)
                place(quint64(old[i].keyHigh) << 32 | old[i].keyLow).uid = old[i].uid;
        }
    }

    std::unique_ptr<Entry[]> m_entries;
    size_t m_mask = 0;
    int m_shift = 64;
    size_t m_size = 0;
};

} // namespace quillcast
