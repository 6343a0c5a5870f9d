#pragma once

#include <QRectF>
#include <QString>

namespace quillcast {

// The preferences window as the panel logic sees it; the widgets implement
// it, tests use a plain stand-in.
//
// Geometry is in Qt's coordinates: y grows downwards and a frame's y is its
// top edge. The frame is the whole window, title bar and toolbar included;
// the content area is what lies below the toolbar.
class LXPrefWindow
{
public:
    virtual ~LXPrefWindow() = default;

    virtual QRectF frame() const = 0;
    // Moves and resizes the window, showing the change (animated where the
    // platform animates it).
    virtual void setFrame(const QRectF &frame) = 0;
    virtual qreal contentHeight() const = 0;
    virtual void setTitle(const QString &title) = 0;
    // Shows the page of that index of the panels' tab view.
    virtual void selectTabPage(int index) = 0;
};

} // namespace quillcast
