#pragma once

#include "platform/FileRevealer.h"

#include <QStringList>

namespace quillcast {

// A fake file manager for tests: records what it was asked to show.
class RecordingFileRevealer final : public FileRevealer
{
public:
    bool revealFile(const QString &path) override;

    QStringList revealed;
};

} // namespace quillcast
