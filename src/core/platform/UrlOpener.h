#pragma once

#include <QString>
#include <QUrl>

namespace quillcast {

// The desktop's service that hands URLs and files to their default
// applications. The windowing layer supplies the real one; core only decides
// what to open.
class UrlOpener
{
public:
    virtual ~UrlOpener() = default;

    // Opens the URL with the default application for its scheme; false when
    // the desktop cannot.
    virtual bool openUrl(const QUrl &url) = 0;
    // Opens a file or folder with its default application.
    virtual bool openFile(const QString &path) = 0;
    virtual bool fileExists(const QString &path) const = 0;
};

} // namespace quillcast
