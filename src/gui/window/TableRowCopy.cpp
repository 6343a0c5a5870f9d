#include "window/TableRowCopy.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>

#include <algorithm>

namespace quillcast::gui {

namespace {

// A tab or a line break inside a cell would split it into two cells or rows.
QString cellText(const QModelIndex &index)
{
    QString text;
    const QVariant shown = index.data(Qt::DisplayRole);
    if (shown.isValid()) {
        text = shown.toString();
    } else {
        // A check box column ("sel") shows no text: its state is its value.
        const QVariant check = index.data(Qt::CheckStateRole);
        if (check.isValid())
            text = check.value<Qt::CheckState>() == Qt::Unchecked ? QStringLiteral("0") : QStringLiteral("1");
    }
    for (QChar &c : text) {
        if (c == u'\t' || c == u'\n' || c == u'\r')
            c = u' ';
    }
    return text;
}

} // namespace

QString TableRowCopy::selectedRowsAsText(const QAbstractItemView &view)
{
    const QAbstractItemModel *model = view.model();
    const QItemSelectionModel *selection = view.selectionModel();
    if (!model || !selection)
        return {};

    QList<int> rows;
    for (const QItemSelectionRange &range : selection->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());

    // The columns as shown: in the header's visual order, hidden ones left out.
    QList<int> columns;
    const auto *table = qobject_cast<const QTableView *>(&view);
    const QHeaderView *header = table ? table->horizontalHeader() : nullptr;
    for (int visual = 0; visual < model->columnCount(); ++visual) {
        const int logical = header ? header->logicalIndex(visual) : visual;
        if (logical < 0 || (header && header->isSectionHidden(logical)))
            continue;
        columns.append(logical);
    }

    QString text;
    for (int row : rows) {
        QStringList cells;
        cells.reserve(columns.size());
        for (int column : columns)
            cells.append(cellText(model->index(row, column)));
        text += cells.join(u'\t');
        text += u'\n';
    }
    return text;
}

} // namespace quillcast::gui
