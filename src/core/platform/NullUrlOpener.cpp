#include "platform/NullUrlOpener.h"

#include <QFileInfo>

namespace quillcast {

bool NullUrlOpener::openUrl(const QUrl &)
{
    return false;
}

bool NullUrlOpener::openFile(const QString &)
{
    return false;
}

bool NullUrlOpener::fileExists(const QString &path) const
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

NullUrlOpener &NullUrlOpener::instance()
{
    static NullUrlOpener opener;
    return opener;
}

} // namespace quillcast
