#include "ScriptedFilePanel.h"

namespace quillcast {

void ScriptedFilePanel::runOpenPanel(const OpenRequest &request, OpenCompletion completion)
{
    m_openRequests.append(request);
    std::optional<QString> answer;
    if (!m_openAnswers.empty()) {
        answer = std::move(m_openAnswers.front());
        m_openAnswers.pop_front();
    }
    if (answer)
        completion(QStringList{*answer});
    else
        completion(std::nullopt);
}

void ScriptedFilePanel::runSavePanel(const SaveRequest &request, SaveCompletion completion)
{
    m_saveRequests.append(request);
    std::optional<QString> answer;
    if (!m_saveAnswers.empty()) {
        answer = std::move(m_saveAnswers.front());
        m_saveAnswers.pop_front();
    }
    completion(std::move(answer));
}

void ScriptedFilePanel::setAllowedExtensions(const QStringList &extensions)
{
    m_extensionChanges.append(extensions);
}

} // namespace quillcast
