#pragma once

#include "platform/ApplicationShell.h"

#include <QList>
#include <QStringList>

#include <deque>

namespace quillcast {

// A windowing layer for tests: counts the documents it is asked to create,
// records the rest, and keeps timers until they are fired by hand.
class RecordingApplicationShell final : public ApplicationShell
{
public:
    int openDocumentCount() const override { return openDocuments; }
    void newUntitledDocument() override;
    void showOpenPanel() override { ++openPanelsShown; }
    void runAfter(int milliseconds, std::function<void()> work) override;
    void insertApplicationMenuItem(int position, const QString &title, std::function<void()> action) override;
    void showPreferences(std::optional<int> panel) override { preferencesShown.append(panel); }

    // Fires the pending timers in the order they were set; returns how many ran.
    int fireTimers();

    struct MenuItem
    {
        int position = 0;
        QString title;
        std::function<void()> action;
    };

    int openDocuments = 0;
    int untitledDocumentsCreated = 0;
    int openPanelsShown = 0;
    QList<int> timerDelays;
    QList<MenuItem> menuItems;
    QList<std::optional<int>> preferencesShown;

private:
    std::deque<std::function<void()>> m_timers;
};

} // namespace quillcast
