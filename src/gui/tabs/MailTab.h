#pragma once

#include <QList>
#include <QWidget>

#include <optional>

namespace quillcast::gui {

struct WindowContext;

// The mail page: the mail form, its message kind and transport, the connection, the attachments and the rendered HTML body.
class MailTab : public QWidget
{
    Q_OBJECT

public:
    MailTab(WindowContext &context, QWidget *parent = nullptr);

    // The attachment commands: the chooser then the add; the selected rows.
    void addAttachment();
    void removeSelectedAttachments();
    QList<qsizetype> selectedAttachmentRows() const;

Q_SIGNALS:
    void selectionChanged();

private:
    WindowContext &m_context;
};

} // namespace quillcast::gui
