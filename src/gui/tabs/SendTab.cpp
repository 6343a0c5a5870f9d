#include "tabs/SendTab.h"

#include "WindowContext.h"

namespace quillcast::gui {

SendTab::SendTab(WindowContext &context, QWidget *parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("sendTab"));
}

QList<qsizetype> SendTab::selectedRows() const
{
    return {};
}

void SendTab::startRun(quillcast::SendRun::Kind /*kind*/)
{
}

void SendTab::runSelected(bool /*sending*/)
{
}

void SendTab::cancelRun()
{
}

void SendTab::focusSearch()
{
}

} // namespace quillcast::gui
