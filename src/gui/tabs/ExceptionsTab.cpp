#include "tabs/ExceptionsTab.h"

#include "WindowContext.h"

namespace quillcast::gui {

ExceptionsTab::ExceptionsTab(WindowContext &context, QWidget *parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("exceptionsTab"));
}

QList<qsizetype> ExceptionsTab::selectedRows() const
{
    return {};
}

void ExceptionsTab::focusSearch()
{
}

} // namespace quillcast::gui
