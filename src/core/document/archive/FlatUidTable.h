#pragma once

#include <QtGlobal>

#include <memory>
#include <utility>

namespace quillcast {

// A map from 64-bit keys (addresses, integers, bit patterns of reals) to the
// archive's object numbers, in one flat array with open addressing.
//
// The archive of a mailing looks up every record and every number in such a
// map; QHash gives each entry a node of its own, which for a million records
// costs more time than the rest of the save. Here an entry is 16 bytes in
// place and a lookup touches one or two cache lines.
//
// Entries are never removed. Lookups through a const table may run on several
// threads at once.
class FlatUidTable
{
public:
    struct Entry
    {
        quint64 key;
        quint32 uid; // 0 marks an unused entry: UID 0 is $null, never a shared object
        quint32 flags;
    };

    FlatUidTable() = default;
    FlatUidTable(FlatUidTable &&) noexcept = default;
    FlatUidTable &operator=(FlatUidTable &&) noexcept = default;

    const Entry *find(quint64 key) const
    {
        if (!m_entries)
            return nullptr;
        for (size_t i = slotFor(key);; i = (i + 1) & m_mask) {
            const Entry &e = m_entries[i];
            if (e.uid == 0)
                return nullptr;
            if (e.key == key)
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
            grow();
        Entry &e = place(key);
        e.uid = uid;
        ++m_size;
        return e;
    }

    size_t size() const { return m_size; }

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
        m_entries[i].key = key;
        return m_entries[i];
    }

    void grow()
    {
        const size_t newCapacity = m_entries ? 2 * capacity() : 1024;
        std::unique_ptr<Entry[]> old = std::move(m_entries);
        const size_t oldCapacity = old ? m_mask + 1 : 0;
        m_entries = std::make_unique<Entry[]>(newCapacity); // zeroed: all unused
        m_mask = newCapacity - 1;
        m_shift = 64;
        for (size_t c = newCapacity; c > 1; c >>= 1)
            --m_shift;
        for (size_t i = 0; i < oldCapacity; ++i) {
            if (old[i].uid != 0)
                place(old[i].key) = old[i];
        }
    }

    std::unique_ptr<Entry[]> m_entries;
    size_t m_mask = 0;
    int m_shift = 64;
    size_t m_size = 0;
};

} // namespace quillcast
