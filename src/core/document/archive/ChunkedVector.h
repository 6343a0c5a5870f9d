#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <span>
#include <vector>

namespace quillcast {

// A growing array of plain values kept in fixed-size chunks.
//
// The archiver's tables by object number reach tens of millions of entries
// for a large mailing. A std::vector doubles as it grows: it holds up to
// twice what it needs, and while it moves it holds the old and the new block
// at once, every page of which the kernel must hand out fresh. Chunks are
// never moved, and at most one is partly used.
//
// Elements are not initialised until written. Reads through a const
// ChunkedVector may run on several threads at once.
template <typename T>
class ChunkedVector
{
public:
    static constexpr size_t chunkBits = 16;
    static constexpr size_t chunkSize = size_t(1) << chunkBits;

    ChunkedVector() = default;
    ChunkedVector(ChunkedVector &&) noexcept = default;
    ChunkedVector &operator=(ChunkedVector &&) noexcept = default;
    // A copy of the first `count` elements.
    ChunkedVector copyOfFirst(size_t count) const
    {
        ChunkedVector copy;
        forEachSpan(0, count, [&](std::span<const T> part) {
            for (const T &value : part)
                copy.push_back(value);
        });
        return copy;
    }

    void push_back(const T &value)
    {
        if ((m_size & (chunkSize - 1)) == 0 && (m_size >> chunkBits) == m_chunks.size())
            m_chunks.push_back(std::make_unique_for_overwrite<T[]>(chunkSize));
        m_chunks[m_size >> chunkBits][m_size & (chunkSize - 1)] = value;
        ++m_size;
    }

    T &operator[](size_t i) { return m_chunks[i >> chunkBits][i & (chunkSize - 1)]; }
    const T &operator[](size_t i) const { return m_chunks[i >> chunkBits][i & (chunkSize - 1)]; }
    T &back() { return (*this)[m_size - 1]; }
    const T &back() const { return (*this)[m_size - 1]; }

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    // The elements from `from` to `to` (not included), a chunk (or what is
    // used of it) at a time.
    template <typename Function>
    void forEachSpan(size_t from, size_t to, Function &&f) const
    {
        to = std::min(to, m_size);
        while (from < to) {
            const size_t inChunk = from & (chunkSize - 1);
            const size_t count = std::min(chunkSize - inChunk, to - from);
            f(std::span<const T>(&m_chunks[from >> chunkBits][inChunk], count));
            from += count;
        }
    }

private:
    std::vector<std::unique_ptr<T[]>> m_chunks;
    size_t m_size = 0;
};

} // namespace quillcast
