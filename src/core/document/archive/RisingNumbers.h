#pragma once

#include "document/archive/ChunkedVector.h"

#include <QtGlobal>

#include <algorithm>
#include <optional>
#include <vector>

namespace quillcast {

// Numbers met in rising order, each with the object number (UID) it was
// given, which rises too: the records' own numbers, typically, a million of
// them in a large mailing. They are kept as the steps from one to the next,
// a byte or two each rather than twelve, in blocks that start from a number
// written whole, so that a look-up reads one block.
//
// Reads through a const table may run on several threads at once.
class RisingNumbers
{
public:
    RisingNumbers() = default;
    RisingNumbers(RisingNumbers &&) noexcept = default;
    RisingNumbers &operator=(RisingNumbers &&) noexcept = default;
    RisingNumbers copy() const
    {
        RisingNumbers copy;
        forEach([&](qint64 value, quint32 uid) { copy.push(value, uid); });
        return copy;
    }

    bool empty() const { return m_size == 0; }
    size_t size() const { return m_size; }
    // The largest: only while not empty.
    qint64 back() const { return m_last; }

    // A number above back(), with a UID above the last one's.
    void push(qint64 value, quint32 uid)
    {
        if (m_size % blockSize == 0) {
            m_blocks.push_back(Block{value, uid, m_steps.size()});
        } else {
            putStep(quint64(value) - quint64(m_last));
            putStep(uid - m_lastUid);
        }
        m_last = value;
        m_lastUid = uid;
        ++m_size;
    }

    std::optional<quint32> find(qint64 value) const
    {
        if (m_size == 0 || value > m_last || value < m_blocks.front().first)
            return std::nullopt;
        // The last block starting at or below the number.
        const auto after = std::upper_bound(m_blocks.begin(), m_blocks.end(), value,
                                            [](qint64 v, const Block &b) { return v < b.first; });
        const Block &block = *(after - 1);
        const size_t index = size_t(after - 1 - m_blocks.begin());
        const size_t count = std::min(blockSize, m_size - index * blockSize);
        qint64 v = block.first;
        quint32 uid = block.firstUid;
        size_t at = block.steps;
        for (size_t k = 1; v < value && k < count; ++k) {
            v = qint64(quint64(v) + takeStep(at));
            uid += quint32(takeStep(at));
        }
        return v == value ? std::optional<quint32>(uid) : std::nullopt;
    }

    // Calls f(value, uid) for each, in rising order.
    template <typename Function>
    void forEach(Function &&f) const
    {
        for (size_t index = 0; index < m_blocks.size(); ++index) {
            const Block &block = m_blocks[index];
            const size_t count = std::min(blockSize, m_size - index * blockSize);
            qint64 v = block.first;
            quint32 uid = block.firstUid;
            size_t at = block.steps;
            f(v, uid);
            for (size_t k = 1; k < count; ++k) {
                v = qint64(quint64(v) + takeStep(at));
                uid += quint32(takeStep(at));
                f(v, uid);
            }
        }
    }

private:
    static constexpr size_t blockSize = 64;
    struct Block
    {
        qint64 first;
        quint32 firstUid;
        size_t steps; // where its steps start in m_steps
    };

    // Seven bits a byte, the low ones first; the top bit: more follow.
    void putStep(quint64 step)
    {
        while (step >= 0x80) {
            m_steps.push_back(quint8(step | 0x80));
            step >>= 7;
        }
        m_steps.push_back(quint8(step));
    }
    quint64 takeStep(size_t &at) const
    {
        quint64 step = 0;
        for (int shift = 0;; shift += 7) {
            const quint8 byte = m_steps[at++];
            step |= quint64(byte & 0x7F) << shift;
            if (byte < 0x80)
                return step;
        }
    }

    std::vector<Block> m_blocks;
    ChunkedVector<quint8> m_steps;
    qint64 m_last = 0;
    quint32 m_lastUid = 0;
    size_t m_size = 0;
};

} // namespace quillcast
