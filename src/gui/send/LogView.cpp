#include "send/LogView.h"

#include "document/MyDocument.h"

#include <QScrollBar>
#include <QTextCursor>

namespace quillcast::gui {

LogView::LogView(QWidget *parent) : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("logView"));
    setAccessibleName(tr("Log"));
    setReadOnly(true);
    // Log lines are records: wrapping would make one look like two.
    setLineWrapMode(QPlainTextEdit::NoWrap);
    // The undo stack of a read-only view only holds memory: the document's
    // own undo covers Clear Log.
    setUndoRedoEnabled(false);
    setFocusPolicy(Qt::StrongFocus);
    m_flushTimer.setSingleShot(true);
    connect(&m_flushTimer, &QTimer::timeout, this, [this] { write(kLinesPerSlice); });
}

void LogView::setDocument(quillcast::MyDocument *document)
{
    if (m_document)
        disconnect(m_document, nullptr, this, nullptr);
    m_document = document;
    m_pending.clear();
    m_flushTimer.stop();
    if (!document) {
        clear();
        return;
    }
    replaceAll(document->logViewText());
    connect(document, &MyDocument::logAppended, this, &LogView::append);
    connect(document, &MyDocument::logViewTextChanged, this, &LogView::replaceAll);
}

void LogView::append(const QString &text)
{
    m_pending.append(text);
    if (!m_flushTimer.isActive())
        m_flushTimer.start(kDefaultFlushInterval);
}

void LogView::replaceAll(const QString &text)
{
    // The new text holds every line appended before it was set.
    m_pending.clear();
    m_flushTimer.stop();
    setPlainText(text);
    scrollToEnd();
}

void LogView::flush()
{
    write(m_pending.size());
}

void LogView::write(qsizetype lines)
{
    m_flushTimer.stop();
    if (m_pending.isEmpty())
        return;
    const qsizetype count = std::min(lines, m_pending.size());
    QString text;
    for (qsizetype i = 0; i < count; ++i)
        text += m_pending.at(i);
    m_pending.remove(0, count);
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    // A plain format: the appended lines take the view's normal text colour
    // whatever format the text before them ends in.
    cursor.insertText(text, QTextCharFormat());
    scrollToEnd();
    // The rest at the loop's next turn, after what waits there (input,
    // painting): a burst of lines is laid out in slices.
    if (!m_pending.isEmpty())
        m_flushTimer.start(0);
}

void LogView::scrollToEnd()
{
    QScrollBar *bar = verticalScrollBar();
    bar->setValue(bar->maximum());
}

} // namespace quillcast::gui
