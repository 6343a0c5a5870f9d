#pragma once

#include <QPointer>
#include <QWidget>

namespace quillcast::gui {

// The widget the Edit menu's commands go to: the text field or text view
// with the keyboard focus keeps its own undo, cut, copy and paste; a table
// copies its selected rows. Undo and redo of anything else are the
// document's.
class EditTarget
{
public:
    enum class Operation { Undo, Redo, Cut, Copy, Paste, SelectAll };

    explicit EditTarget(QWidget *focus);

    // Whether the focused widget is a text editor, whose own undo applies.
    bool isTextEditor() const;
    // Whether the focused widget can do the operation now.
    bool can(Operation operation) const;
    // Does it; false when the focused widget cannot.
    bool perform(Operation operation) const;

private:
    QPointer<QWidget> m_focus;
};

} // namespace quillcast::gui
