#pragma once

#include "platform/FilePanel.h"

#include <QList>

#include <deque>

namespace quillcast {

// A file panel without a screen: records every request and answers each at
// once with the next scripted answer (cancel when none is left).
class ScriptedFilePanel final : public FilePanel
{
public:
    void runOpenPanel(const OpenRequest &request, OpenCompletion completion) override;
    void runSavePanel(const SaveRequest &request, SaveCompletion completion) override;
    void setAllowedExtensions(const QStringList &extensions) override;

    // The next open (save) panel answers with this path; nothing cancels it.
    void queueOpenAnswer(std::optional<QString> path) { m_openAnswers.push_back(std::move(path)); }
    void queueSaveAnswer(std::optional<QString> path) { m_saveAnswers.push_back(std::move(path)); }

    const QList<OpenRequest> &openRequests() const { return m_openRequests; }
    const QList<SaveRequest> &saveRequests() const { return m_saveRequests; }
    // Every list setAllowedExtensions received, in order.
    const QList<QStringList> &extensionChanges() const { return m_extensionChanges; }

private:
    std::deque<std::optional<QString>> m_openAnswers;
    std::deque<std::optional<QString>> m_saveAnswers;
    QList<OpenRequest> m_openRequests;
    QList<SaveRequest> m_saveRequests;
    QList<QStringList> m_extensionChanges;
};

} // namespace quillcast
