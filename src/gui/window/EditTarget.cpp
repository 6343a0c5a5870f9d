#include "window/EditTarget.h"

#include "window/TableRowCopy.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QTextEdit>

namespace quillcast::gui {

namespace {

bool clipboardHasText()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText();
}

template<typename Editor>
bool canOnTextView(const Editor &editor, EditTarget::Operation operation)
{
    using Op = EditTarget::Operation;
    const bool writable = !editor.isReadOnly();
    switch (operation) {
    case Op::Undo: return writable && editor.document()->isUndoAvailable();
    case Op::Redo: return writable && editor.document()->isRedoAvailable();
    case Op::Cut: return writable && editor.textCursor().hasSelection();
    case Op::Copy: return editor.textCursor().hasSelection();
    case Op::Paste: return writable && editor.canPaste();
    case Op::SelectAll: return !editor.document()->isEmpty();
    }
    return false;
}

template<typename Editor>
void performOnTextView(Editor &editor, EditTarget::Operation operation)
{
    using Op = EditTarget::Operation;
    switch (operation) {
    case Op::Undo: editor.undo(); break;
    case Op::Redo: editor.redo(); break;
    case Op::Cut: editor.cut(); break;
    case Op::Copy: editor.copy(); break;
    case Op::Paste: editor.paste(); break;
    case Op::SelectAll: editor.selectAll(); break;
    }
}

} // namespace

EditTarget::EditTarget(QWidget *focus) : m_focus(focus) {}

bool EditTarget::isTextEditor() const
{
    return qobject_cast<QLineEdit *>(m_focus) || qobject_cast<QTextEdit *>(m_focus)
        || qobject_cast<QPlainTextEdit *>(m_focus);
}

bool EditTarget::can(Operation operation) const
{
    if (auto *line = qobject_cast<QLineEdit *>(m_focus)) {
        // A password field never gives its text away.
        const bool visible = line->echoMode() == QLineEdit::Normal;
        const bool writable = !line->isReadOnly();
        switch (operation) {
        case Operation::Undo: return writable && line->isUndoAvailable();
        case Operation::Redo: return writable && line->isRedoAvailable();
        case Operation::Cut: return writable && visible && line->hasSelectedText();
        case Operation::Copy: return visible && line->hasSelectedText();
        case Operation::Paste: return writable && clipboardHasText();
        case Operation::SelectAll: return !line->text().isEmpty();
        }
        return false;
    }
    if (auto *text = qobject_cast<QTextEdit *>(m_focus))
        return canOnTextView(*text, operation);
    if (auto *plain = qobject_cast<QPlainTextEdit *>(m_focus))
        return canOnTextView(*plain, operation);
    if (auto *view = qobject_cast<QAbstractItemView *>(m_focus)) {
        switch (operation) {
        case Operation::Copy: return view->selectionModel() && view->selectionModel()->hasSelection();
        case Operation::SelectAll:
            return view->model() && view->model()->rowCount() > 0
                && view->selectionMode() != QAbstractItemView::NoSelection;
        default: return false;
        }
    }
    return false;
}

bool EditTarget::perform(Operation operation) const
{
    if (!can(operation))
        return false;
    if (auto *line = qobject_cast<QLineEdit *>(m_focus)) {
        switch (operation) {
        case Operation::Undo: line->undo(); break;
        case Operation::Redo: line->redo(); break;
        case Operation::Cut: line->cut(); break;
        case Operation::Copy: line->copy(); break;
        case Operation::Paste: line->paste(); break;
        case Operation::SelectAll: line->selectAll(); break;
        }
        return true;
    }
    if (auto *text = qobject_cast<QTextEdit *>(m_focus)) {
        performOnTextView(*text, operation);
        return true;
    }
    if (auto *plain = qobject_cast<QPlainTextEdit *>(m_focus)) {
        performOnTextView(*plain, operation);
        return true;
    }
    if (auto *view = qobject_cast<QAbstractItemView *>(m_focus)) {
        if (operation == Operation::Copy)
            QGuiApplication::clipboard()->setText(TableRowCopy::selectedRowsAsText(*view));
        else
            view->selectAll();
        return true;
    }
    return false;
}

} // namespace quillcast::gui
