#include "import/ImportRows.h"

#include "platform/UnusedMemory.h"

namespace quillcast {

QStringList ImportRows::fields(qsizetype row) const
{
    QStringList out;
    const qsizetype n = fieldCount(row);
    out.reserve(n);
    for (qsizetype j = 0; j < n; ++j)
        out.append(field(row, j));
    return out;
}

void ImportRows::giveBackRows(qsizetype first, qsizetype last)
{
    if (first >= last)
        return;
    const RowStart &from = m_rowStarts[size_t(first)];
    const RowStart &to = m_rowStarts[size_t(last)];
    // The rows' text runs from the first one's start to the next one's; a
    // text shared with another string is that string's too and is kept.
    if (m_text.isDetached() && last < rowCount()) {
        const QChar *text = m_text.constData();
        UnusedMemory::giveBack(text + from.lineStart, size_t(to.lineStart - from.lineStart) * sizeof(QChar));
    }
    UnusedMemory::giveBack(m_fields.data() + from.firstField, size_t(to.firstField - from.firstField) * sizeof(Span));
    // The first row's start stays, as the row before reads it for its field
    // count, and so does the start after the last.
    UnusedMemory::giveBack(m_rowStarts.data() + first + 1, size_t(last - first - 1) * sizeof(RowStart));
}

} // namespace quillcast
