#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

#include <optional>

class QPushButton;

namespace quillcast {
class MyDocument;
}

namespace quillcast::gui {

struct WindowContext;
class RecordListPanel;
class RecordTableModel;
class RecordsTableView;
class SearchCoalescer;

// The exception-list page: the exceptions table with its search field and its status line.
class ExceptionsTab : public QWidget
{
    Q_OBJECT

public:
    ExceptionsTab(WindowContext &context, QWidget *parent = nullptr);
    ~ExceptionsTab() override;

    // The selected rows of the table, as rows of the shown view.
    QList<qsizetype> selectedRows() const;
    void focusSearch();

    // Adds an exception record, then selects it and brings it into view.
    void addException();
    // Removes the selected record that comes last in the table.
    void removeException();

    RecordTableModel *exceptionsModel() const { return m_model; }
    SearchCoalescer &search() const;

Q_SIGNALS:
    void selectionChanged();

private:
    void bindDocument(MyDocument *document);
    void unbindDocument();
    void updateButtons();

    WindowContext &m_context;
    QPointer<MyDocument> m_doc;
    QList<QMetaObject::Connection> m_docConnections;

    RecordListPanel *m_panel = nullptr;
    RecordsTableView *m_table = nullptr;
    QPushButton *m_add = nullptr;
    QPushButton *m_remove = nullptr;

    RecordTableModel *m_model = nullptr;
};

} // namespace quillcast::gui
