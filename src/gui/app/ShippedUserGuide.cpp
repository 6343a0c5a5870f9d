#include "app/ShippedUserGuide.h"

#include <QDir>
#include <QFileInfo>

namespace quillcast::gui {

QString ShippedUserGuide::path(const QString &programFolder)
{
    const QString installed =
        QDir::cleanPath(QDir(programFolder).absoluteFilePath(QStringLiteral(QUILLCAST_INSTALLED_USER_GUIDE)));
    if (QFileInfo::exists(installed))
        return installed;
    return QStringLiteral(QUILLCAST_BUILD_USER_GUIDE);
}

} // namespace quillcast::gui
