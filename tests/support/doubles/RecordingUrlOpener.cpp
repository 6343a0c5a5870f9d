#include "RecordingUrlOpener.h"

namespace quillcast {

bool RecordingUrlOpener::openUrl(const QUrl &url)
{
    openedUrls.append(url.toString(QUrl::FullyEncoded));
    return m_openResult;
}

bool RecordingUrlOpener::openFile(const QString &path)
{
    openedFiles.append(path);
    return m_openResult;
}

bool RecordingUrlOpener::fileExists(const QString &path) const
{
    return m_existingFiles.contains(path);
}

void RecordingUrlOpener::addExistingFile(const QString &path)
{
    m_existingFiles.insert(path);
}

void RecordingUrlOpener::setOpenResult(bool result)
{
    m_openResult = result;
}

} // namespace quillcast
