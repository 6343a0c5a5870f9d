#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

namespace quillcast {

// The rows of a loaded import file: for every accepted record (a line, or
// several when a quoted value holds line breaks), its fields in file order.
// Fields are kept as positions in the shared text rather than as strings of
// their own, so loading a large file costs a few bytes per field; a field
// becomes a string only when a record takes it.
class ImportRows
{
public:
    qsizetype rowCount() const { return m_rowStarts.empty() ? 0 : qsizetype(m_rowStarts.size()) - 1; }
    bool isEmpty() const { return rowCount() == 0; }
    qsizetype fieldCount(qsizetype row) const
    {
        return qsizetype(m_rowStarts[size_t(row) + 1].firstField - m_rowStarts[size_t(row)].firstField);
    }
    // The field text, valid while this object lives.
    QStringView fieldView(qsizetype row, qsizetype field) const
    {
        const RowStart &r = m_rowStarts[size_t(row)];
        const Span &s = m_fields[size_t(r.firstField) + size_t(field)];
        return QStringView(m_text).mid(r.lineStart + s.offset, s.length);
    }
    QString field(qsizetype row, qsizetype field) const { return fieldView(row, field).toString(); }
    QStringList fields(qsizetype row) const;
    // The largest number of fields any line gave under the chosen format,
    // counting lines that gave no row where the format says so.
    qint64 maxFieldCount() const { return m_maxFieldCount; }

    // For the rows' last reader: gives the memory of rows first to last (not
    // included) back to the system as soon as they have been read for the
    // last time. They must not be read again; rows outside the range read as
    // before. Several threads may give back rows that do not overlap.
    void giveBackRows(qsizetype first, qsizetype last);

    // A field as an offset from its row's start; rows are far shorter than
    // 4 Gi characters (longer ones are refused when splitting).
    struct Span
    {
        quint32 offset;
        quint32 length;
    };

private:
    friend class RowSplitter;

    struct RowStart
    {
        qsizetype lineStart;
        qsizetype firstField;
    };

    QString m_text;
    std::vector<Span> m_fields;
    // One entry per row plus a sentinel holding the total field count.
    std::vector<RowStart> m_rowStarts;
    qint64 m_maxFieldCount = 0;
};

} // namespace quillcast
