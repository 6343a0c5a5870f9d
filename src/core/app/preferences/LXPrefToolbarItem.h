#pragma once

#include <QString>

namespace quillcast {

// One item of the preferences toolbar. Choosing it shows the panel whose
// index is its tag (the widgets call LXPrefToolbarDelegate::PanelAction).
struct LXPrefToolbarItem
{
    QString itemIdentifier;
    QString label;
    QString paletteLabel;
    QString toolTip;
    QString imageName;
    int tag = 0;
};

} // namespace quillcast
