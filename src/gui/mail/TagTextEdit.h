#pragma once

#include <QPlainTextEdit>

namespace quillcast::gui {

// A multi-line field of the mail form (a body) that takes merge tags from
// the tag menus. Plain text only: what is pasted keeps no formatting, as the
// mail form stores text.
class TagTextEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit TagTextEdit(QWidget *parent = nullptr);

    // Puts tag at the cursor, in place of the selection, as typing it would:
    // textChanged() reports the change. A field without the keyboard focus
    // is not being edited and takes nothing (false).
    bool insertTag(const QString &tag);
    // Shows text unless it is what the field holds already, without
    // reporting a change (the document's own value coming back): the cursor
    // and the undo history of the field stay where they are while the user
    // types.
    void showText(const QString &text);
};

} // namespace quillcast::gui
