#pragma once

#include "platform/DocumentOpener.h"

#include <QStringList>

namespace quillcast {

// A fake document controller for tests: records what it was asked to open.
class RecordingDocumentOpener final : public DocumentOpener
{
public:
    bool openDocument(const QString &path) override;

    QStringList opened;
};

} // namespace quillcast
