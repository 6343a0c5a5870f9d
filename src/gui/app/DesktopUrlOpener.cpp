#include "app/DesktopUrlOpener.h"

#include <QDesktopServices>
#include <QFileInfo>

namespace quillcast::gui {

bool DesktopUrlOpener::openUrl(const QUrl &url)
{
    return url.isValid() && QDesktopServices::openUrl(url);
}

bool DesktopUrlOpener::openFile(const QString &path)
{
    if (!QFileInfo::exists(path))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

bool DesktopUrlOpener::fileExists(const QString &path) const
{
    return QFileInfo::exists(path);
}

} // namespace quillcast::gui
