#pragma once

#include "platform/FilePanel.h"

#include <QString>

namespace quillcast::cli {

// The open and save panels of a command: the file was named on the command
// line, so every panel answers at once with that path (cancels when the
// command named none). Nothing is shown, so the file types the panel allows
// do not matter.
class CommandLineFilePanel final : public FilePanel
{
public:
    explicit CommandLineFilePanel(QString path) : m_path(std::move(path)) {}

    void runOpenPanel(const OpenRequest &request, OpenCompletion completion) override;
    void runSavePanel(const SaveRequest &request, SaveCompletion completion) override;
    void setAllowedExtensions(const QStringList &) override {}

private:
    QString m_path;
};

} // namespace quillcast::cli
