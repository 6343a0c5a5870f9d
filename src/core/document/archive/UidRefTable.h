#pragma once

#include "document/archive/ChunkedVector.h"

#include <QtGlobal>

#include <limits>
#include <vector>

namespace quillcast {

// By object number (UID), in the order numbered: the reference object of
// each object that may be referred to more than once.
//
// Most objects of a mailing are texts of one record, referred to once, by
// their record: their reference object is made right there, and there is
// nothing to remember. Only records, numbers, keys and classes are referred
// to again and need theirs kept. A bit per object tells which, and the kept
// references are found by counting the bits before, so that a million
// records cost a few megabytes here rather than tens.
//
// Reads through a const table may run on several threads at once.
class UidRefTable
{
public:
    static constexpr quint32 none = std::numeric_limits<quint32>::max();

    // The next object: shared (its reference kept, none until made) or not.
    void push(bool shared)
    {
        const size_t bit = m_size % 64;
        if (bit == 0) {
            m_words.push_back(0);
            m_before.push_back(quint32(m_refs.size()));
        }
        if (shared) {
            m_words.back() |= quint64(1) << bit;
            m_refs.push_back(none);
        }
        ++m_size;
    }
    size_t size() const { return m_size; }
    bool isShared(size_t index) const { return (m_words[index / 64] >> (index % 64)) & 1; }
    // Only for a shared object.
    quint32 &ref(size_t index) { return m_refs[rank(index)]; }
    quint32 ref(size_t index) const { return m_refs[rank(index)]; }

    // Calls f(index, ref) for the shared objects from `from` to `to` (not
    // included), in order.
    template <typename Function>
    void forEachShared(size_t from, size_t to, Function &&f)
    {
        for (size_t index = from; index < to; ++index) {
            if (isShared(index))
                f(index, ref(index));
        }
    }

    UidRefTable copyOfFirst(size_t count) const
    {
        UidRefTable copy;
        for (size_t index = 0; index < count; ++index) {
            const bool shared = isShared(index);
            copy.push(shared);
            if (shared)
                copy.m_refs.back() = ref(index);
        }
        return copy;
    }

private:
    size_t rank(size_t index) const
    {
        const quint64 below = m_words[index / 64] & ((quint64(1) << (index % 64)) - 1);
        return m_before[index / 64] + bitsIn(below);
    }
    // The bits set, counted in the word: the baseline x86-64 processor has
    // no instruction for it, and std::popcount calls out to the runtime.
    static size_t bitsIn(quint64 w)
    {
        w = w - ((w >> 1) & 0x5555555555555555ULL);
        w = (w & 0x3333333333333333ULL) + ((w >> 2) & 0x3333333333333333ULL);
        w = (w + (w >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
        return size_t((w * 0x0101010101010101ULL) >> 56);
    }

    std::vector<quint64> m_words; // a bit an object: shared
    std::vector<quint32> m_before; // by word: the shared objects before it
    ChunkedVector<quint32> m_refs; // of the shared objects
    size_t m_size = 0;
};

} // namespace quillcast
