#include "app/ApplicationIcon.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace quillcast::gui {

QIcon ApplicationIcon::load()
{
    return QIcon::fromTheme(QString::fromLatin1(themeName), bundled());
}

QIcon ApplicationIcon::bundled()
{
    // Every rendered size is in the resources; Qt picks the nearest one.
    QIcon icon;
    const QFileInfoList sizes = QDir(u":/icons"_s).entryInfoList({u"quillcast-*.png"_s}, QDir::Files);
    for (const QFileInfo &file : sizes)
        icon.addFile(file.filePath());
    return icon;
}

} // namespace quillcast::gui
