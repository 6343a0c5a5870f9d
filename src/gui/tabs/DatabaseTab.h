#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

#include <optional>

class QLabel;
class QLineEdit;
class QListView;
class QPushButton;

namespace quillcast {
class MyDocument;
}

namespace quillcast::gui {

struct WindowContext;
class KeyListModel;
class RecordListPanel;
class RecordTableModel;
class RecordsTableView;
class SearchCoalescer;

// The database page: the key list, the records table with its search field and its status line.
class DatabaseTab : public QWidget
{
    Q_OBJECT

public:
    DatabaseTab(WindowContext &context, QWidget *parent = nullptr);
    ~DatabaseTab() override;

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

    // Adds a record, then selects it and brings it into view.
    void addRecord();
    // Removes the selected record that comes last in the table.
    void removeRecord();

    // The records table's model, its search and the key list's, for the
    // window's commands and for tests.
    RecordTableModel *recordsModel() const { return m_recordsModel; }
    SearchCoalescer &search() const;
    KeyListModel *keyModel() const { return m_keyModel; }

Q_SIGNALS:
    // The selection of the records table or of the key list changed.
    void selectionChanged();

private:
    void bindDocument(MyDocument *document);
    void unbindDocument();
    void updateColumns();
    void keySelectionChanged();
    void updateButtons();

    WindowContext &m_context;
    QPointer<MyDocument> m_doc;
    QList<QMetaObject::Connection> m_docConnections;

    QLineEdit *m_searchField = nullptr;
    QLabel *m_keysLabel = nullptr;
    QListView *m_keyList = nullptr;
    QPushButton *m_addColumn = nullptr;
    QPushButton *m_deleteColumn = nullptr;
    RecordListPanel *m_panel = nullptr;
    RecordsTableView *m_table = nullptr;
    QPushButton *m_addRecord = nullptr;
    QPushButton *m_removeRecord = nullptr;
    QLabel *m_keyMessage = nullptr;

    KeyListModel *m_keyModel = nullptr;
    RecordTableModel *m_recordsModel = nullptr;
};

} // namespace quillcast::gui
