#include "tables/RecordListPanel.h"

#include "document/RecordList.h"
#include "tables/ListStatusLine.h"
#include "tables/RecordsTableView.h"
#include "tables/SearchCoalescer.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace quillcast::gui {

RecordListPanel::RecordListPanel(const Names &names, QWidget *parent) : QWidget(parent)
{
    m_searchField = new QLineEdit(this);
    m_searchField->setObjectName(names.searchField);
    m_searchField->setPlaceholderText(tr("Search"));
    m_searchField->setAccessibleName(tr("Search"));
    m_searchField->setClearButtonEnabled(true);
    m_searchField->setMaximumWidth(320);
    m_searchField->setMinimumWidth(200);

    m_table = new RecordsTableView(this);
    m_table->setObjectName(names.table);
    m_table->setAccessibleName(names.tableAccessible);

    m_add = new QPushButton(tr("Add Record"), this);
    m_add->setObjectName(names.addButton);
    m_add->setAccessibleName(tr("Add Record"));
    m_remove = new QPushButton(tr("Remove Record"), this);
    m_remove->setObjectName(names.removeButton);
    m_remove->setAccessibleName(tr("Remove Record"));

    m_status = new ListStatusLine(this);
    m_status->setObjectName(names.status);

    m_search = new SearchCoalescer(this);

    auto *searchRow = new QHBoxLayout;
    searchRow->addStretch(1);
    searchRow->addWidget(m_searchField);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_add);
    buttonRow->addWidget(m_remove);
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_status);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(searchRow);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttonRow);

    setTabOrder(m_searchField, m_table);
    setTabOrder(m_table, m_add);
    setTabOrder(m_add, m_remove);

    connect(m_searchField, &QLineEdit::textEdited, m_search, &SearchCoalescer::textEdited);
}

void RecordListPanel::bind(RecordList *list, std::function<qsizetype()> checkedCount,
                           std::function<void(const QString &)> setSearchText, const QString &searchText)
{
    m_list = list;
    list->filterShownIfStale();
    m_status->bind(list, std::move(checkedCount));
    m_search->bind(list, std::move(setSearchText));
    m_searchField->setText(searchText);
}

void RecordListPanel::unbind()
{
    m_list = nullptr;
    m_search->bind(nullptr, {});
    m_status->bind(nullptr, {});
    m_table->setModel(nullptr);
}

void RecordListPanel::filterWhenStale()
{
    QTimer::singleShot(0, this, [this, list = m_list] {
        if (list && list == m_list)
            list->filterShownIfStale();
    });
}

void RecordListPanel::showSearchText(const QString &text)
{
    if (m_searchField->text() != text) {
        m_search->cancel();
        m_searchField->setText(text);
    }
}

QList<qsizetype> RecordListPanel::selectedRows() const
{
    return m_table->selectedRowNumbers();
}

void RecordListPanel::focusSearch()
{
    m_searchField->setFocus(Qt::ShortcutFocusReason);
    m_searchField->selectAll();
}

} // namespace quillcast::gui
