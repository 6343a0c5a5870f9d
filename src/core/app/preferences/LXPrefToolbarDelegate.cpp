#include "app/preferences/LXPrefToolbarDelegate.h"

using namespace Qt::StringLiterals;

namespace quillcast {

QString LXPrefToolbarDelegate::toolbarIdentifier()
{
    return u"prefToolBar"_s;
}

std::optional<LXPrefToolbarItem> LXPrefToolbarDelegate::toolbar(const QString &, bool) const
{
    return std::nullopt;
}

void LXPrefToolbarDelegate::setUpToolbar()
{
    m_items.clear();
    for (const QString &identifier : returnAllkeys()) {
        if (std::optional<LXPrefToolbarItem> item = toolbar(identifier, true))
            m_items.append(std::move(*item));
    }
    m_myHeightArray = heightArray();
    PanelAction(nullptr);
}

void LXPrefToolbarDelegate::PanelAction(const LXPrefToolbarItem *item)
{
    if (item == nullptr) {
        if (m_items.isEmpty())
            return;
        item = &m_items.first();
    }
    // An item whose tag names no panel (none of ours) changes nothing rather
    // than showing a page that is not there.
    const int index = item->tag;
    if (index < 0 || index >= m_myHeightArray.size())
        return;
    m_selectedItemIdentifier = item->itemIdentifier;
    showPanel(index, item->label);
}

void LXPrefToolbarDelegate::selectPanel(int index)
{
    if (index < 0 || index >= m_items.size() || index >= m_myHeightArray.size())
        return;
    const LXPrefToolbarItem &item = m_items.at(index);
    m_selectedItemIdentifier = item.itemIdentifier;
    showPanel(index, item.label);
}

int LXPrefToolbarDelegate::ToolbarHeightForWindow(const LXPrefWindow *window)
{
    if (window == nullptr)
        return 0;
    return int(window->frame().height() - window->contentHeight());
}

void LXPrefToolbarDelegate::showPanel(int index, const QString &title)
{
    if (m_window == nullptr)
        return;
    m_window->setTitle(title);
    m_window->selectTabPage(index);

    // A whole number of points, the toolbar's share truncated.
    const int height = m_myHeightArray.at(index) + ToolbarHeightForWindow(m_window);
    // The top edge stays where it is. With y growing downwards that is simply
    // the same y and a new height; where y grows upwards from the bottom edge
    // the same rule reads "origin y = old y - (new height - old height)", the
    // difference truncated to an integer, which is the same thing for the
    // whole-number frames windows have.
    QRectF frame = m_window->frame();
    frame.setHeight(height);
    m_window->setFrame(frame);
}

} // namespace quillcast
