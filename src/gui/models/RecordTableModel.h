#pragma once

#include "document/RecordList.h"
#include "util/Dict.h"
#include "util/Value.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>

#include <functional>
#include <optional>

namespace quillcast::gui {

// One records table of a mailing window: the rows of a record list's shown
// view (the records its search lets through), the columns its caller
// describes. The model holds no copy of the records: every cell is read from
// the view when the table asks, so a list of a million records costs the
// table only the rows on screen.
//
// The record list announces single rows added, removed or changed, and the
// model passes each on as that row alone (no reset for a cell edit, an added
// record or a tick); a new search or a bulk command rearranges the view and
// resets the table.
//
// Edits go through the editor the caller gives (the document's entry point
// that stores the value and marks the mailing edited); the model never writes
// a record itself.
class RecordTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    struct Column
    {
        enum class Kind {
            Text, // shown and edited as typed
            Check, // a check box over a boolean flag
            Number, // an integer, right-aligned
            Date, // a date and time in the user's short format
        };
        // The record's key the column shows.
        QString key;
        QString title;
        Kind kind = Kind::Text;
        bool editable = false;
    };
    using Editor = std::function<void(const Dict &record, const QString &key, const Value &value)>;

    RecordTableModel(RecordList &list, Editor editor, QObject *parent = nullptr);
    // A table over another view of the list's records, one the list does not
    // keep (the preview's own search over the send list): its rows follow
    // only whole re-evaluations, which the caller announces with
    // viewRearranged(). The view must outlive the model.
    RecordTableModel(RecordList &list, const ArrangedView &view, Editor editor, QObject *parent = nullptr);

    // The view was re-evaluated: the table shows its records anew.
    void viewRearranged();

    // Replaces the columns: a column added at the end or removed, or titles
    // alone changed, are announced as such; anything else resets the table.
    void setColumns(const QList<Column> &columns);
    const QList<Column> &columns() const { return m_columns; }
    // The column showing key, or -1.
    int columnOfKey(const QString &key) const;

    // The record on row, if the view still has one there.
    std::optional<Dict> recordAt(int row) const;
    // The row of this very record in the view, or -1.
    int rowOf(const Dict &record) const;
    RecordList &list() const { return m_list; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void insertedRows(RecordList::Part part, qsizetype first, qsizetype last);
    void removedRows(RecordList::Part part, qsizetype first, qsizetype last);
    void changedRow(RecordList::Part part, qsizetype row, const QString &key);
    void rearranged(RecordList::Part part);
    static QString displayText(const Value &value, Column::Kind kind);
    const ArrangedView &view() const { return m_view ? *m_view : m_list.shown(); }

    RecordList &m_list;
    // None: the list's shown view.
    const ArrangedView *m_view = nullptr;
    Editor m_editor;
    QList<Column> m_columns;
    // The rows the table was last told of: changes only between the begin
    // and end of an announcement, as the views expect.
    int m_rows = 0;
};

} // namespace quillcast::gui
