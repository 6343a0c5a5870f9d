#include "CommandLineFilePanel.h"

namespace quillcast::cli {

void CommandLineFilePanel::runOpenPanel(const OpenRequest &, OpenCompletion completion)
{
    if (m_path.isEmpty())
        completion(std::nullopt);
    else
        completion(QStringList{m_path});
}

void CommandLineFilePanel::runSavePanel(const SaveRequest &, SaveCompletion completion)
{
    if (m_path.isEmpty())
        completion(std::nullopt);
    else
        completion(m_path);
}

} // namespace quillcast::cli
