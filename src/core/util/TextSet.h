#pragma once

#include <QString>
#include <QStringView>

#include <functional>
#include <optional>
#include <vector>

namespace quillcast {

// A set of texts for a pass over a million addresses, compared either
// exactly or as QString::toLower() makes them (two texts are then one member
// exactly when their lower-cased forms are equal).
//
// Ignoring case does not lower-case the common case: pure ASCII text is kept
// as it is (shared, not copied) and compared and hashed with A-Z read as
// a-z, which is all toLower() does to it; any other text is lower-cased once,
// in full, on the way in. The two kinds mix safely: toLower() never yields
// A-Z, so reading A-Z as a-z leaves a lower-cased text as it is.
//
// The table keeps part of each member's hash beside it, so a probe reads
// another member's characters only when those agree.
class TextSet
{
public:
    explicit TextSet(Qt::CaseSensitivity cs, qsizetype expected = 0);

    // Adds the text; false when an equal one is a member already.
    bool insert(QString text);
    bool contains(QStringView text) const;
    qsizetype size() const { return qsizetype(m_texts.size()); }
    bool isEmpty() const { return m_texts.empty(); }

    // Which texts of a long run are the first of their text, compared as a
    // set with this sensitivity compares them. textAt(i) gives the i-th
    // text, or none; for a long run it is called from several threads at
    // once, so it must only read. A text is read once more only when it
    // may equal an earlier one.
    //
    // The run's texts are read and hashed side by side, and the table is
    // then filled in order with each slot fetched ahead of its turn: checking
    // a million addresses is otherwise a cache miss per address on one core.
    enum class Mark : quint8 { NoText, First, Repeat };
    using TextAt = std::function<std::optional<QString>(size_t)>;
    static std::vector<Mark> marks(size_t count, Qt::CaseSensitivity cs, const TextAt &textAt);

private:
    // Eight bytes a slot: a million members take 16 MB of table.
    struct Slot
    {
        quint32 tag = 0; // the hash's upper half (the lower picks the slot)
        quint32 member = 0; // 1 + index into m_texts; 0 for a free slot
    };

    // fold: A-Z read as a-z (the texts are held as the set holds them).
    static quint64 hashOf(QStringView text, bool fold);
    static bool equal(QStringView a, QStringView b, bool fold);
    void rehash(size_t slotCount);

    bool m_fold;
    std::vector<QString> m_texts;
    std::vector<Slot> m_slots;
    size_t m_mask = 0;
};

} // namespace quillcast
