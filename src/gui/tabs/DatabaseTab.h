#pragma once

#include <QList>
#include <QWidget>

#include <optional>

namespace quillcast::gui {

struct WindowContext;

// The database page: the key list, the records table with its search field and its status line.
class DatabaseTab : public QWidget
{
    Q_OBJECT

public:
    DatabaseTab(WindowContext &context, QWidget *parent = nullptr);

    // The selected rows of the records table, as rows of the shown view
    // (what the record commands take).
    QList<qsizetype> selectedRows() const;
    // The selected row of the key list, if any.
    std::optional<qsizetype> selectedKeyRow() const;
    // Adds a column (the key list's new row is selected and the table
    // scrolls to the new column).
    void addColumn();
    // Deletes the selected key after its sheet.
    void deleteSelectedKey();
    void focusSearch();

Q_SIGNALS:
    // The selection of the records table or of the key list changed.
    void selectionChanged();

private:
    WindowContext &m_context;
};

} // namespace quillcast::gui
