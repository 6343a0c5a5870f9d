#pragma once

#include "app/preferences/LXPrefToolbarDelegate.h"

namespace quillcast {

// This application's preference panels, in toolbar and tab order:
//   0 "General"      startup action and startup document
//   1 "Mail Server"  the mail server connections (opened by the send path on
//                    wrong server settings)
//   2 "Update"       the update check
class MyPrefToolbarDelegate : public LXPrefToolbarDelegate
{
public:
    enum Panel { General = 0, MailServer = 1, Update = 2 };

protected:
    QList<int> heightArray() const override;
    QStringList returnAllkeys() const override;
    std::optional<LXPrefToolbarItem> toolbar(const QString &itemIdentifier, bool willBeInserted) const override;
};

} // namespace quillcast
