#include "tables/RecordsTableView.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

namespace quillcast::gui {

RecordsTableView::RecordsTableView(QWidget *parent) : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                    | QAbstractItemView::AnyKeyPressed);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setAlternatingRowColors(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);

    // The record number is a column of its own; the row header would only
    // repeat positions, and sizing it walks every row.
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    horizontalHeader()->setSectionsMovable(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setMinimumSectionSize(40);
    horizontalHeader()->setDefaultSectionSize(150);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
}

QList<qsizetype> RecordsTableView::selectedRowNumbers() const
{
    QList<qsizetype> rows;
    if (!selectionModel())
        return rows;
    for (const QItemSelectionRange &range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void RecordsTableView::scrollToLastColumn()
{
    if (!model() || model()->columnCount() == 0)
        return;
    // The header lays the new section out on the loop's next turn.
    QTimer::singleShot(0, this, [this] {
        if (!model() || model()->columnCount() == 0)
            return;
        const int last = model()->columnCount() - 1;
        if (model()->rowCount() > 0)
            scrollTo(model()->index(std::max(0, rowAt(0)), last), QAbstractItemView::EnsureVisible);
        horizontalScrollBar()->setValue(horizontalScrollBar()->maximum());
    });
}

void RecordsTableView::selectOnly(int row)
{
    if (!model() || row < 0 || row >= model()->rowCount())
        return;
    const QModelIndex first = model()->index(row, std::min(2, model()->columnCount() - 1));
    selectionModel()->setCurrentIndex(first, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(first, QAbstractItemView::EnsureVisible);
}

} // namespace quillcast::gui
