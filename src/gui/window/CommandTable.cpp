#include "window/CommandTable.h"

#include <QAction>

namespace quillcast::gui {

CommandTable::Rule CommandTable::menuRule(Command command)
{
    return [command](const CommandEnablingState &state) {
        if (const std::optional<bool> menu = CommandEnabling::isEnabled(command, CommandEnabling::Control::MenuItem, state))
            return *menu;
        return CommandEnabling::isEnabled(command, CommandEnabling::Control::ToolbarItem, state).value_or(true);
    };
}

CommandTable::Rule CommandTable::toolbarRule(Command command)
{
    return [command](const CommandEnablingState &state) {
        return CommandEnabling::isEnabled(command, CommandEnabling::Control::ToolbarItem, state).value_or(true);
    };
}

CommandTable::Rule CommandTable::onPreviewTab(Rule onPreview, Rule elsewhere)
{
    return [onPreview = std::move(onPreview), elsewhere = std::move(elsewhere)](const CommandEnablingState &state) {
        return state.selectedTab == 3 ? onPreview(state) : elsewhere(state);
    };
}

CommandTable::Rule CommandTable::whileIdle(Rule rule)
{
    return [rule = std::move(rule)](const CommandEnablingState &state) { return !state.preparingSending && rule(state); };
}

void CommandTable::add(QAction *action, Rule rule)
{
    m_entries.append({action, std::move(rule)});
}

void CommandTable::evaluate(const CommandEnablingState &state) const
{
    for (const Entry &entry : m_entries) {
        entry.action->setEnabled(entry.rule(state));
    }
}

} // namespace quillcast::gui
