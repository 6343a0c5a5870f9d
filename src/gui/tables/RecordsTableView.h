#pragma once

#include <QList>
#include <QTableView>

namespace quillcast::gui {

// A records table as the pages show it: whole rows selected, every row the
// same height (so a million rows cost the view nothing to lay out), columns
// in the order of the keys (no dragging them about), scrolled per pixel
// sideways for the wide tables, cells edited in place.
class RecordsTableView : public QTableView
{
    Q_OBJECT

public:
    explicit RecordsTableView(QWidget *parent = nullptr);

    // The selected rows, in ascending order.
    QList<qsizetype> selectedRowNumbers() const;
    // Brings the last column into view (a column was just added).
    void scrollToLastColumn();
    // Selects row alone, makes it current and brings it into view.
    void selectOnly(int row);
};

} // namespace quillcast::gui
