#pragma once

#include <QLineEdit>

namespace quillcast::gui {

// A single-line field of the mail form that takes merge tags from the tag
// menus.
class TagLineEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit TagLineEdit(QWidget *parent = nullptr);

    // Puts tag at the cursor, in place of the selection, as typing it would:
    // textEdited() reports the change. A field without the keyboard focus is
    // not being edited and takes nothing (false).
    bool insertTag(const QString &tag);
};

} // namespace quillcast::gui
