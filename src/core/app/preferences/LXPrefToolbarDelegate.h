#pragma once

#include "app/preferences/LXPrefToolbarItem.h"
#include "app/preferences/LXPrefWindow.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace quillcast {

// A preferences window made of panels chosen from a toolbar: choosing an
// item shows its panel, puts the item's label in the window title and
// resizes the window to the panel's own height, keeping the top edge in
// place. The panels, their items and heights come from a subclass.
//
// The window is not owned: the widgets that own it attach it and detach it
// (setWindow(nullptr)) before it goes away. Without a window the selection
// still changes; there is just nothing to retitle or resize.
class LXPrefToolbarDelegate
{
public:
    virtual ~LXPrefToolbarDelegate() = default;

    // The toolbar's identifier; its items cannot be customised by the user.
    static QString toolbarIdentifier();

    void setWindow(LXPrefWindow *window) { m_window = window; }

    // Once, when the window's interface is loaded: creates the toolbar items,
    // takes the panel heights, and shows the first panel.
    void setUpToolbar();

    // Every panel is shown, allowed and selectable, in the subclass's order.
    QStringList toolbarDefaultItemIdentifiers() const { return returnAllkeys(); }
    QStringList toolbarAllowedItemIdentifiers() const { return returnAllkeys(); }
    QStringList toolbarSelectableItemIdentifiers() const { return returnAllkeys(); }

    // The action of every toolbar item: shows the item's panel; with no item,
    // the first panel.
    void PanelAction(const LXPrefToolbarItem *item);
    // Shows the panel at that index; an index outside the toolbar does
    // nothing.
    void selectPanel(int index);

    // Frame height minus content height, truncated to an integer; 0 for no
    // window.
    static int ToolbarHeightForWindow(const LXPrefWindow *window);

    // The toolbar's items, in order (empty before setUpToolbar).
    const QList<LXPrefToolbarItem> &toolbarItems() const { return m_items; }
    QString selectedItemIdentifier() const { return m_selectedItemIdentifier; }

protected:
    // Content height of each panel, by panel index.
    virtual QList<int> heightArray() const { return {}; }
    // Identifiers of the panels' items, in panel order.
    virtual QStringList returnAllkeys() const { return {}; }
    // The item for an identifier; none for one that is not a panel's.
    virtual std::optional<LXPrefToolbarItem> toolbar(const QString &itemIdentifier, bool willBeInserted) const;

private:
    void showPanel(int index, const QString &title);

    LXPrefWindow *m_window = nullptr;
    QList<LXPrefToolbarItem> m_items;
    QList<int> m_myHeightArray;
    QString m_selectedItemIdentifier;
};

} // namespace quillcast
