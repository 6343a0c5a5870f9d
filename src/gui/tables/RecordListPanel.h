#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class QLineEdit;
class QPushButton;

namespace quillcast {
class RecordList;
}

namespace quillcast::gui {

class ListStatusLine;
class RecordsTableView;
class SearchCoalescer;

// One records list as a page shows it: the search field above the table it
// filters, the add and remove buttons and the counts line below. The page
// keeps the list's rules (its columns, its commands, when its buttons are on).
class RecordListPanel : public QWidget
{
    Q_OBJECT

public:
    // The object and accessible names of the panel's controls.
    struct Names
    {
        QString searchField;
        QString table;
        QString tableAccessible;
        QString addButton;
        QString removeButton;
        QString status;
    };

    RecordListPanel(const Names &names, QWidget *parent = nullptr);

    // Shows the list: its stale shown view is walked, the counts line follows
    // it and typing searches it. checkedCount counts the ticked records,
    // setSearchText stores what was searched, searchText is what was stored.
    void bind(RecordList *list, std::function<qsizetype()> checkedCount,
              std::function<void(const QString &)> setSearchText, const QString &searchText);
    void unbind();

    // The list was put in place whole: its shown view is walked once the loop
    // comes round, so that a command that filters itself is not doubled.
    void filterWhenStale();
    // A command changed the stored search: the field says so, and what was
    // typed before is not searched any more.
    void showSearchText(const QString &text);

    QList<qsizetype> selectedRows() const;
    void focusSearch();

    QLineEdit *searchField() const { return m_searchField; }
    RecordsTableView *table() const { return m_table; }
    QPushButton *addButton() const { return m_add; }
    QPushButton *removeButton() const { return m_remove; }
    SearchCoalescer &search() const { return *m_search; }

private:
    QPointer<RecordList> m_list;
    QLineEdit *m_searchField = nullptr;
    RecordsTableView *m_table = nullptr;
    QPushButton *m_add = nullptr;
    QPushButton *m_remove = nullptr;
    ListStatusLine *m_status = nullptr;
    SearchCoalescer *m_search = nullptr;
};

} // namespace quillcast::gui
