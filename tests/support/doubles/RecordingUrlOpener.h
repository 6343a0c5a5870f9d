#pragma once

#include "platform/UrlOpener.h"

#include <QSet>
#include <QStringList>

namespace quillcast {

// A fake opener for tests: records what it was asked to open, knows only the
// files it is told exist, and answers every open with a chosen result.
class RecordingUrlOpener final : public UrlOpener
{
public:
    bool openUrl(const QUrl &url) override;
    bool openFile(const QString &path) override;
    bool fileExists(const QString &path) const override;

    void addExistingFile(const QString &path);
    void setOpenResult(bool result);

    // URLs as full encoded text, in the order they were opened.
    QStringList openedUrls;
    QStringList openedFiles;

private:
    QSet<QString> m_existingFiles;
    bool m_openResult = true;
};

} // namespace quillcast
