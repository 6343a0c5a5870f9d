#pragma once

#include <QHash>
#include <QtGlobal>

namespace quillcast {

// Where each record of a list sits, by identity, so that finding a record's
// row costs a hash look-up instead of a walk of a million rows.
//
// The index is kept exactly for a prefix of the rows: an append extends it,
// an insertion or removal cuts it back to the changed row, and the rest is
// re-indexed lazily at the next look-up that needs it. A look-up also checks
// the row it found against the list, so a list changed behind the index's
// back costs one re-indexing, never a wrong row. Not thread-safe: the owner
// guards it.
class RowIndex
{
public:
    // The list holds a record with this identity at row, the last one.
    void appended(const void *identity, qsizetype row);
    // Rows from row on have moved (an insertion there).
    void invalidateFrom(qsizetype row);
    // The record with this identity left the list at row; later rows moved up.
    void removed(const void *identity, qsizetype row);
    // Forget everything (a list replaced or re-evaluated).
    void clear();

    // The first row holding identity among count rows, or -1; identityAt(i)
    // tells the identity at row i (nullptr for what is not a record).
    template<typename IdentityAt>
    qsizetype find(const void *identity, qsizetype count, IdentityAt identityAt)
    {
        if (!identity)
            return -1;
        if (m_valid > count)
            clear();
        auto it = m_rows.constFind(identity);
        if (it != m_rows.cend() && *it < m_valid) {
            if (identityAt(*it) == identity)
                return *it;
            // The list changed without telling: start again.
            clear();
        } else if (it == m_rows.cend() && m_valid == count) {
            return -1;
        }
        if (m_valid == 0)
            m_rows.reserve(count);
        const qsizetype start = m_valid;
        for (qsizetype row = start; row < count; ++row) {
            const void *id = identityAt(row);
            if (!id)
                continue;
            auto existing = m_rows.find(id);
            if (existing == m_rows.end()) {
                m_rows.insert(id, row);
                continue;
            }
            // An earlier row of the same record wins: one of the exact
            // prefix, or one met in this walk. What else is there is stale,
            // from before the index was cut back.
            const qsizetype earlier = *existing;
            const bool metInThisWalk = earlier >= start && earlier < row && identityAt(earlier) == id;
            if (earlier >= start && !metInThisWalk)
                *existing = row;
        }
        m_valid = count;
        auto found = m_rows.find(identity);
        if (found == m_rows.end())
            return -1;
        // A record removed without telling leaves a stale row behind.
        if (*found >= count || identityAt(*found) != identity) {
            m_rows.erase(found);
            return -1;
        }
        return *found;
    }

private:
    QHash<const void *, qsizetype> m_rows;
    // Rows below this are indexed exactly.
    qsizetype m_valid = 0;
};

} // namespace quillcast
