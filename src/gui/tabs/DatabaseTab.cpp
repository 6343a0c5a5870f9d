#include "tabs/DatabaseTab.h"

#include "WindowContext.h"

namespace quillcast::gui {

DatabaseTab::DatabaseTab(WindowContext &context, QWidget *parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("databaseTab"));
}

QList<qsizetype> DatabaseTab::selectedRows() const
{
    return {};
}

std::optional<qsizetype> DatabaseTab::selectedKeyRow() const
{
    return {};
}

void DatabaseTab::addColumn()
{
}

void DatabaseTab::deleteSelectedKey()
{
}

void DatabaseTab::focusSearch()
{
}

} // namespace quillcast::gui
