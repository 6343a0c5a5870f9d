#include "tabs/PreviewTab.h"

#include "WindowContext.h"

namespace quillcast::gui {

PreviewTab::PreviewTab(WindowContext &context, QWidget *parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("previewTab"));
}

void PreviewTab::focusSearch()
{
}

} // namespace quillcast::gui
