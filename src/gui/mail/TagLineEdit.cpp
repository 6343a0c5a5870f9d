#include "mail/TagLineEdit.h"

namespace quillcast::gui {

TagLineEdit::TagLineEdit(QWidget *parent) : QLineEdit(parent)
{
}

bool TagLineEdit::insertTag(const QString &tag)
{
    if (!hasFocus() || isReadOnly())
        return false;
    insert(tag);
    return true;
}

} // namespace quillcast::gui
