#pragma once

#include "platform/UrlOpener.h"

namespace quillcast::gui {

// Hands URLs and files to the desktop's default applications.
class DesktopUrlOpener final : public UrlOpener
{
public:
    bool openUrl(const QUrl &url) override;
    bool openFile(const QString &path) override;
    bool fileExists(const QString &path) const override;
};

} // namespace quillcast::gui
