#pragma once

#include "document/CommandEnabling.h"

#include <QList>

#include <functional>

class QAction;

namespace quillcast::gui {

// Which of the window's actions are available: each action with the rule
// that decides it, asked afresh at every evaluation (nothing is cached).
class CommandTable
{
public:
    using Rule = std::function<bool(const CommandEnablingState &state)>;

    // The menu's rule for command; a command the menu's rule set leaves out
    // follows the toolbar's, and one that neither lists is always available.
    static Rule menuRule(Command command);
    // The toolbar's and the buttons' rule for command (available when unlisted).
    static Rule toolbarRule(Command command);
    // On the preview tab, onPreview; on every other tab, elsewhere.
    static Rule onPreviewTab(Rule onPreview, Rule elsewhere);

    // rule, and no send run active: for the commands that would start a
    // second run or change what a run is working on.
    static Rule whileIdle(Rule rule);

    void add(QAction *action, Rule rule);
    // Enables each action as its rule says now.
    void evaluate(const CommandEnablingState &state) const;

private:
    struct Entry
    {
        QAction *action;
        Rule rule;
    };
    QList<Entry> m_entries;
};

} // namespace quillcast::gui
