#include "tabs/MailTab.h"

#include "WindowContext.h"

namespace quillcast::gui {

MailTab::MailTab(WindowContext &context, QWidget *parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("mailTab"));
}

void MailTab::addAttachment()
{
}

void MailTab::removeSelectedAttachments()
{
}

QList<qsizetype> MailTab::selectedAttachmentRows() const
{
    return {};
}

} // namespace quillcast::gui
