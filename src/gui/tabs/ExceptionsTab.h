#pragma once

#include <QList>
#include <QWidget>

#include <optional>

namespace quillcast::gui {

struct WindowContext;

// The exception-list page: the exceptions table with its search field and its status line.
class ExceptionsTab : public QWidget
{
    Q_OBJECT

public:
    ExceptionsTab(WindowContext &context, QWidget *parent = nullptr);

    // The selected rows of the table, as rows of the shown view.
    QList<qsizetype> selectedRows() const;
    void focusSearch();

Q_SIGNALS:
    void selectionChanged();

private:
    WindowContext &m_context;
};

} // namespace quillcast::gui
