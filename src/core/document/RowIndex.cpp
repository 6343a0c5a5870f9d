#include "document/RowIndex.h"

#include <algorithm>

namespace quillcast {

void RowIndex::appended(const void *identity, qsizetype row)
{
    // Only an index that is exact up to here can take the row without a walk.
    if (row != m_valid)
        return;
    if (identity) {
        auto it = m_rows.find(identity);
        if (it == m_rows.end())
            m_rows.insert(identity, row);
        else if (*it >= m_valid)
            *it = row; // stale, from before a cut
        // else a second occurrence: the first row stays the answer
    }
    m_valid = row + 1;
}

void RowIndex::invalidateFrom(qsizetype row)
{
    if (row < m_valid)
        m_valid = std::max<qsizetype>(row, 0);
}

void RowIndex::removed(const void *identity, qsizetype row)
{
    if (identity)
        m_rows.remove(identity);
    invalidateFrom(row);
}

void RowIndex::clear()
{
    m_rows.clear();
    m_valid = 0;
}

} // namespace quillcast
