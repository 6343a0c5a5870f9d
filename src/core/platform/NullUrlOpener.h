#pragma once

#include "platform/UrlOpener.h"

namespace quillcast {

// The opener of a process without a desktop (CLI, tests): it opens nothing,
// so every open reports failure. Files are still looked up on disk.
class NullUrlOpener final : public UrlOpener
{
public:
    bool openUrl(const QUrl &url) override;
    bool openFile(const QString &path) override;
    bool fileExists(const QString &path) const override;

    static NullUrlOpener &instance();
};

} // namespace quillcast
