#include "models/RecordTableModel.h"

#include <QDateTime>
#include <QLocale>

#include <limits>

namespace quillcast::gui {

namespace {

int clampedRows(qsizetype rows)
{
    // A table cannot show more rows than an int counts; no mailing comes near.
    return int(std::min<qsizetype>(rows, std::numeric_limits<int>::max()));
}

} // namespace

RecordTableModel::RecordTableModel(RecordList &list, Editor editor, QObject *parent)
    : QAbstractTableModel(parent), m_list(list), m_editor(std::move(editor)), m_rows(clampedRows(list.shown().size()))
{
    connect(&list, &RecordList::rowsInserted, this, &RecordTableModel::insertedRows);
    connect(&list, &RecordList::rowsRemoved, this, &RecordTableModel::removedRows);
    connect(&list, &RecordList::rowChanged, this, &RecordTableModel::changedRow);
    connect(&list, &RecordList::rearranged, this, &RecordTableModel::rearranged);
}

RecordTableModel::RecordTableModel(RecordList &list, const ArrangedView &view, Editor editor, QObject *parent)
    : QAbstractTableModel(parent), m_list(list), m_view(&view), m_editor(std::move(editor)),
      m_rows(clampedRows(view.size()))
{
    // The list's row signals count rows of its own shown view, not of this one.
}

void RecordTableModel::viewRearranged()
{
    beginResetModel();
    m_rows = clampedRows(view().size());
    endResetModel();
}

void RecordTableModel::setColumns(const QList<Column> &columns)
{
    const auto sameKeys = [](const QList<Column> &a, const QList<Column> &b, qsizetype n) {
        for (qsizetype i = 0; i < n; ++i) {
            if (a[i].key != b[i].key || a[i].kind != b[i].kind || a[i].editable != b[i].editable)
                return false;
        }
        return true;
    };
    const qsizetype had = m_columns.size();
    const qsizetype has = columns.size();
    if (has == had && sameKeys(columns, m_columns, has)) {
        m_columns = columns;
        if (has > 0)
            Q_EMIT headerDataChanged(Qt::Horizontal, 0, int(has - 1));
        return;
    }
    if (has == had + 1 && sameKeys(columns, m_columns, had)) {
        beginInsertColumns({}, int(had), int(had));
        m_columns = columns;
        endInsertColumns();
        return;
    }
    if (has == had - 1) {
        // One column gone: find which.
        qsizetype gone = 0;
        while (gone < has && m_columns[gone].key == columns[gone].key)
            ++gone;
        QList<Column> without = m_columns;
        without.removeAt(gone);
        if (sameKeys(columns, without, has)) {
            beginRemoveColumns({}, int(gone), int(gone));
            m_columns = columns;
            endRemoveColumns();
            return;
        }
    }
    beginResetModel();
    m_columns = columns;
    endResetModel();
}

int RecordTableModel::columnOfKey(const QString &key) const
{
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].key == key)
            return int(i);
    }
    return -1;
}

std::optional<Dict> RecordTableModel::recordAt(int row) const
{
    if (row < 0 || row >= m_rows)
        return std::nullopt;
    return view().at(row);
}

int RecordTableModel::rowOf(const Dict &record) const
{
    const qsizetype row = view().indexOf(record);
    return row < m_rows ? int(row) : -1;
}

int RecordTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int RecordTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant RecordTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() >= m_columns.size())
        return {};
    const Column &column = m_columns[index.column()];
    if (role == Qt::TextAlignmentRole && column.kind == Column::Kind::Number)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::CheckStateRole
        && role != Qt::AccessibleTextRole)
        return {};
    const std::optional<Dict> record = recordAt(index.row());
    if (!record)
        return {};
    const Value value = record->value(column.key);
    if (column.kind == Column::Kind::Check) {
        if (role == Qt::CheckStateRole)
            return value.toBool() ? Qt::Checked : Qt::Unchecked;
        if (role == Qt::AccessibleTextRole)
            return value.toBool() ? tr("checked") : tr("not checked");
        return {};
    }
    if (role == Qt::CheckStateRole)
        return {};
    if (role == Qt::EditRole && column.kind == Column::Kind::Text)
        return value.toString();
    return displayText(value, column.kind);
}

bool RecordTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() >= m_columns.size() || !m_editor)
        return false;
    const Column &column = m_columns[index.column()];
    if (!column.editable)
        return false;
    const std::optional<Dict> record = recordAt(index.row());
    if (!record)
        return false;
    if (column.kind == Column::Kind::Check) {
        if (role != Qt::CheckStateRole)
            return false;
        m_editor(*record, column.key, Value(value.toInt() == Qt::Checked));
        return true;
    }
    if (role != Qt::EditRole)
        return false;
    if (column.kind == Column::Kind::Number) {
        bool ok = false;
        const qlonglong number = value.toString().trimmed().toLongLong(&ok);
        if (!ok)
            return false;
        m_editor(*record, column.key, Value(qint64(number)));
        return true;
    }
    // Stored exactly as typed: spaces and all.
    m_editor(*record, column.key, Value(value.toString()));
    return true;
}

Qt::ItemFlags RecordTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid() || index.column() >= m_columns.size())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    const Column &column = m_columns[index.column()];
    if (column.editable)
        flags |= column.kind == Column::Kind::Check ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable;
    return flags;
}

QVariant RecordTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
        return m_columns[section].title;
    return {};
}

void RecordTableModel::insertedRows(RecordList::Part part, qsizetype first, qsizetype last)
{
    if (part != RecordList::Part::Shown)
        return;
    // The view has the rows already; the count the table sees moves only
    // between begin and end.
    beginInsertRows({}, int(first), int(last));
    m_rows = clampedRows(view().size());
    endInsertRows();
}

void RecordTableModel::removedRows(RecordList::Part part, qsizetype first, qsizetype last)
{
    if (part != RecordList::Part::Shown)
        return;
    beginRemoveRows({}, int(first), int(last));
    m_rows = clampedRows(view().size());
    endRemoveRows();
}

void RecordTableModel::changedRow(RecordList::Part part, qsizetype row, const QString &key)
{
    if (part != RecordList::Part::Shown || row < 0 || row >= m_rows || m_columns.isEmpty())
        return;
    const int column = columnOfKey(key);
    if (column >= 0) {
        const QModelIndex cell = index(int(row), column);
        Q_EMIT dataChanged(cell, cell);
    } else {
        Q_EMIT dataChanged(index(int(row), 0), index(int(row), int(m_columns.size() - 1)));
    }
}

void RecordTableModel::rearranged(RecordList::Part part)
{
    if (part != RecordList::Part::Shown)
        return;
    beginResetModel();
    m_rows = clampedRows(view().size());
    endResetModel();
}

QString RecordTableModel::displayText(const Value &value, Column::Kind kind)
{
    if (kind == Column::Kind::Date && value.type() == Value::Type::Date)
        return QLocale().toString(value.toDateTime(), QLocale::ShortFormat);
    return value.toString();
}

} // namespace quillcast::gui
