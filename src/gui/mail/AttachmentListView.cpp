#include "mail/AttachmentListView.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

namespace quillcast::gui {

namespace {

QStringList localFiles(const QMimeData *data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    return paths;
}

} // namespace

AttachmentListView::AttachmentListView(QWidget *parent) : QListWidget(parent)
{
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
}

void AttachmentListView::setPlaceholderText(const QString &text)
{
    m_placeholder = text;
    viewport()->update();
}

bool AttachmentListView::acceptsDrag(QDropEvent *event) const
{
    // A move would have the source delete the file it hands over, a link
    // needs no file at all: only copying fits an attachment.
    return (event->possibleActions() & Qt::CopyAction) && !localFiles(event->mimeData()).isEmpty();
}

void AttachmentListView::dragEnterEvent(QDragEnterEvent *event)
{
    if (!acceptsDrag(event)) {
        event->ignore();
        return;
    }
    setHighlighted(true);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void AttachmentListView::dragMoveEvent(QDragMoveEvent *event)
{
    if (!acceptsDrag(event)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void AttachmentListView::dragLeaveEvent(QDragLeaveEvent *event)
{
    setHighlighted(false);
    event->accept();
}

void AttachmentListView::dropEvent(QDropEvent *event)
{
    setHighlighted(false);
    if (!acceptsDrag(event)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    Q_EMIT filesDropped(localFiles(event->mimeData()));
}

void AttachmentListView::setHighlighted(bool highlighted)
{
    if (m_highlighted == highlighted)
        return;
    m_highlighted = highlighted;
    viewport()->update();
}

void AttachmentListView::paintEvent(QPaintEvent *event)
{
    QListWidget::paintEvent(event);
    if (count() > 0 && !m_highlighted)
        return;
    QPainter painter(viewport());
    if (count() == 0 && !m_placeholder.isEmpty()) {
        QColor text = palette().color(QPalette::PlaceholderText);
        painter.setPen(text);
        painter.drawText(viewport()->rect().adjusted(8, 4, -8, -4), Qt::AlignCenter | Qt::TextWordWrap,
                         m_placeholder);
    }
    if (m_highlighted) {
        QPen pen(palette().color(QPalette::Highlight), 2);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(viewport()->rect().adjusted(1, 1, -1, -1));
    }
}

} // namespace quillcast::gui
