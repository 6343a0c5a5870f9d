#pragma once

#include <QListWidget>
#include <QStringList>

namespace quillcast::gui {

// The attachment list of the mail page, and a drop target for files: a drag
// of local files whose source allows copying is taken as a copy (the files
// stay where they are; the mailing only refers to them), any other drag is
// refused. While a valid drag is over the list it is highlighted.
class AttachmentListView : public QListWidget
{
    Q_OBJECT

public:
    explicit AttachmentListView(QWidget *parent = nullptr);

    // Whether a drag the list would take is over it.
    bool isHighlighted() const { return m_highlighted; }
    // What the empty list says.
    void setPlaceholderText(const QString &text);

Q_SIGNALS:
    // The local files of a drop, in the order the drag gave them.
    void filesDropped(const QStringList &paths);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    bool acceptsDrag(QDropEvent *event) const;
    void setHighlighted(bool highlighted);

    bool m_highlighted = false;
    QString m_placeholder;
};

} // namespace quillcast::gui
