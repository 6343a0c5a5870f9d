#include "mail/TagTextEdit.h"

#include <QSignalBlocker>

namespace quillcast::gui {

TagTextEdit::TagTextEdit(QWidget *parent) : QPlainTextEdit(parent)
{
    setTabChangesFocus(true);
}

bool TagTextEdit::insertTag(const QString &tag)
{
    if (!hasFocus() || isReadOnly())
        return false;
    insertPlainText(tag);
    ensureCursorVisible();
    return true;
}

void TagTextEdit::showText(const QString &text)
{
    if (toPlainText() == text)
        return;
    const QSignalBlocker quiet(this);
    setPlainText(text);
}

} // namespace quillcast::gui
