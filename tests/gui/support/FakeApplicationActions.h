#pragma once

#include "ApplicationActions.h"

#include <QStringList>

namespace quillcast::gui::testing {

// The application's commands, recorded instead of done.
class FakeApplicationActions final : public ApplicationActions
{
public:
    void newDocument() override { ++newDocuments; }
    void showOpenPanel(QWidget *) override { ++openPanels; }
    bool openDocument(const QString &path) override
    {
        opened.append(path);
        return true;
    }
    QStringList recentDocuments() const override { return recent; }
    void clearRecentDocuments() override { recent.clear(); }
    void noteRecentDocument(const QString &path) override
    {
        recent.removeAll(path);
        recent.prepend(path);
    }
    void quit() override { ++quits; }
    void showPreferences(int panel) override { preferencePanels.append(panel); }

    int newDocuments = 0;
    int openPanels = 0;
    int quits = 0;
    QStringList opened;
    QStringList recent;
    QList<int> preferencePanels;
};

} // namespace quillcast::gui::testing
