#include "util/TextSet.h"

#include "util/ParallelRanges.h"

#include <algorithm>
#include <bit>

namespace quillcast {

namespace {

inline char16_t same(char16_t c) noexcept
{
    return c;
}

inline char16_t foldAscii(char16_t c) noexcept
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

bool isAscii(QStringView text) noexcept
{
    const char16_t *p = text.utf16();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] >= 0x80)
            return false;
    }
    return true;
}

template<char16_t (*Fold)(char16_t)>
bool equalAs(QStringView a, QStringView b) noexcept
{
    const qsizetype n = a.size();
    if (n != b.size())
        return false;
    const char16_t *pa = a.utf16();
    const char16_t *pb = b.utf16();
    for (qsizetype i = 0; i < n; ++i) {
        if (Fold(pa[i]) != Fold(pb[i]))
            return false;
    }
    return true;
}

template<char16_t (*Fold)(char16_t)>
quint64 hashAs(QStringView text) noexcept
{
    // The code units, four to a word, each word mixed in with one
    // multiplication; a final avalanche spreads every bit into the low ones
    // that pick the slot.
    constexpr quint64 k = 0x9E3779B97F4A7C15ULL;
    const char16_t *p = text.utf16();
    const qsizetype n = text.size();
    quint64 h = quint64(n) * k;
    qsizetype i = 0;
    for (; i + 4 <= n; i += 4) {
        const quint64 word = quint64(Fold(p[i])) | quint64(Fold(p[i + 1])) << 16 | quint64(Fold(p[i + 2])) << 32
            | quint64(Fold(p[i + 3])) << 48;
        h = (h ^ word) * k;
        h ^= h >> 29;
    }
    quint64 tail = 0;
    for (int shift = 0; i < n; ++i, shift += 16)
        tail |= quint64(Fold(p[i])) << shift;
    h = (h ^ tail) * k;
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

// A text as a case-ignoring set holds it: ASCII as it is, anything else lower-cased.
QString heldAs(QString text, bool fold)
{
    return fold && !isAscii(text) ? text.toLower() : text;
}

} // namespace

TextSet::TextSet(Qt::CaseSensitivity cs, qsizetype expected) : m_fold(cs == Qt::CaseInsensitive)
{
    const size_t n = size_t(std::max<qsizetype>(expected, 0));
    m_texts.reserve(n);
    // At most half full, so that probes stay short.
    rehash(std::bit_ceil(std::max<size_t>(16, n * 2)));
}

quint64 TextSet::hashOf(QStringView text, bool fold)
{
    return fold ? hashAs<foldAscii>(text) : hashAs<same>(text);
}

bool TextSet::equal(QStringView a, QStringView b, bool fold)
{
    return fold ? equalAs<foldAscii>(a, b) : equalAs<same>(a, b);
}

bool TextSet::insert(QString text)
{
    text = heldAs(std::move(text), m_fold);
    if ((m_texts.size() + 1) * 2 > m_slots.size())
        rehash(m_slots.size() * 2);
    const quint64 hash = hashOf(text, m_fold);
    const quint32 tag = quint32(hash >> 32);
    for (size_t i = size_t(hash) & m_mask;; i = (i + 1) & m_mask) {
        Slot &slot = m_slots[i];
        if (slot.member == 0) {
            m_texts.push_back(std::move(text));
            slot = Slot{tag, quint32(m_texts.size())};
            return true;
        }
        if (slot.tag == tag && equal(m_texts[slot.member - 1], text, m_fold))
            return false;
    }
}

bool TextSet::contains(QStringView text) const
{
    if (m_texts.empty())
        return false;
    QString lowered;
    if (m_fold && !isAscii(text)) {
        lowered = text.toString().toLower();
        text = lowered;
    }
    const quint64 hash = hashOf(text, m_fold);
    const quint32 tag = quint32(hash >> 32);
    for (size_t i = size_t(hash) & m_mask;; i = (i + 1) & m_mask) {
        const Slot &slot = m_slots[i];
        if (slot.member == 0)
            return false;
        if (slot.tag == tag && equal(m_texts[slot.member - 1], text, m_fold))
            return true;
    }
}

std::vector<TextSet::Mark> TextSet::marks(size_t count, Qt::CaseSensitivity cs, const TextAt &textAt)
{
    // The table's members are indexes into the run, four bytes each.
    Q_ASSERT(count < 0xFFFFFFFFu);
    const bool fold = cs == Qt::CaseInsensitive;
    std::vector<Mark> marks(count, Mark::NoText);
    std::vector<quint64> hashes(count);
    forEachRange(count, 100000, [&](size_t from, size_t to, size_t) {
        for (size_t i = from; i < to; ++i) {
            if (std::optional<QString> text = textAt(i)) {
                hashes[i] = hashOf(heldAs(std::move(*text), fold), fold);
                marks[i] = Mark::First;
            }
        }
    });

    const auto sameText = [&](size_t a, size_t b) {
        return equal(heldAs(textAt(a).value_or(QString()), fold), heldAs(textAt(b).value_or(QString()), fold),
                     fold);
    };
    std::vector<Slot> slots(std::bit_ceil(std::max<size_t>(16, count * 2)));
    const size_t mask = slots.size() - 1;
    constexpr size_t ahead = 16;
    for (size_t i = 0; i < count; ++i) {
        if (i + ahead < count)
            __builtin_prefetch(&slots[size_t(hashes[i + ahead]) & mask], 1);
        if (marks[i] == Mark::NoText)
            continue;
        const quint64 hash = hashes[i];
        const quint32 tag = quint32(hash >> 32);
        for (size_t s = size_t(hash) & mask;; s = (s + 1) & mask) {
            Slot &slot = slots[s];
            if (slot.member == 0) {
                slot = Slot{tag, quint32(i + 1)};
                break;
            }
            if (slot.tag == tag && sameText(slot.member - 1, i)) {
                marks[i] = Mark::Repeat;
                break;
            }
        }
    }
    return marks;
}

void TextSet::rehash(size_t slotCount)
{
    std::vector<Slot> slots(slotCount);
    const size_t mask = slotCount - 1;
    for (const Slot &slot : m_slots) {
        if (slot.member == 0)
            continue;
        size_t i = size_t(hashOf(m_texts[slot.member - 1], m_fold)) & mask;
        while (slots[i].member != 0)
            i = (i + 1) & mask;
        slots[i] = slot;
    }
    m_slots = std::move(slots);
    m_mask = mask;
}

} // namespace quillcast
