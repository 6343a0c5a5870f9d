#include "app/preferences/MyPrefToolbarDelegate.h"

#include <array>

using namespace Qt::StringLiterals;

namespace quillcast {

namespace {

struct PanelInfo
{
    QString identifier;
    QString label; // also the palette label and the tool tip
    QString imageName;
    int contentHeight;
};

const std::array<PanelInfo, 3> &panels()
{
    static const std::array<PanelInfo, 3> all{{
        {u"0"_s, u"General"_s, u"generalPref"_s, 210},
        {u"1"_s, u"Mail Server"_s, u"servers"_s, 534},
        {u"2"_s, u"Update"_s, u"swUpdate"_s, 151},
    }};
    return all;
}

} // namespace

QList<int> MyPrefToolbarDelegate::heightArray() const
{
    QList<int> heights;
    for (const PanelInfo &panel : panels())
        heights.append(panel.contentHeight);
    return heights;
}

QStringList MyPrefToolbarDelegate::returnAllkeys() const
{
    QStringList identifiers;
    for (const PanelInfo &panel : panels())
        identifiers.append(panel.identifier);
    return identifiers;
}

std::optional<LXPrefToolbarItem> MyPrefToolbarDelegate::toolbar(const QString &itemIdentifier, bool) const
{
    for (int index = 0; index < int(panels().size()); ++index) {
        const PanelInfo &panel = panels()[size_t(index)];
        if (panel.identifier == itemIdentifier)
            return LXPrefToolbarItem{panel.identifier, panel.label, panel.label, panel.label, panel.imageName, index};
    }
    return std::nullopt;
}

} // namespace quillcast
