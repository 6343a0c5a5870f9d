#include "util/UndoManager.h"

#include <utility>

namespace quillcast {

UndoManager::UndoManager(QObject *parent) : QObject(parent)
{
}

UndoManager::~UndoManager() = default;

void UndoManager::registerUndo(Action action)
{
    if (!action)
        return;
    if (m_mode != Mode::Normal) {
        m_collecting.actions.push_back(std::move(action));
        return;
    }
    m_undoStack.push_back(Step{QString(), {std::move(action)}});
    dropOldestBeyondLevels(m_undoStack);
    m_redoStack.clear();
    Q_EMIT changed();
}

UndoManager::Step *UndoManager::stepNamedNext()
{
    if (m_mode != Mode::Normal)
        return &m_collecting;
    return m_undoStack.empty() ? nullptr : &m_undoStack.back();
}

void UndoManager::setActionName(const QString &name)
{
    Step *step = stepNamedNext();
    if (!step)
        return;
    step->name = name;
    if (m_mode == Mode::Normal)
        Q_EMIT changed();
}

QString UndoManager::undoActionName() const
{
    return m_undoStack.empty() ? QString() : m_undoStack.back().name;
}

QString UndoManager::redoActionName() const
{
    return m_redoStack.empty() ? QString() : m_redoStack.back().name;
}

bool UndoManager::undo()
{
    return run(m_undoStack, Mode::Undoing);
}

bool UndoManager::redo()
{
    return run(m_redoStack, Mode::Redoing);
}

bool UndoManager::run(std::vector<Step> &from, Mode mode)
{
    // An undo started from inside another one would interleave two steps.
    if (m_mode != Mode::Normal || from.empty())
        return false;
    Step step = std::move(from.back());
    from.pop_back();

    m_mode = mode;
    m_collecting = Step{step.name, {}};
    for (auto it = step.actions.rbegin(); it != step.actions.rend(); ++it)
        (*it)();
    m_mode = Mode::Normal;

    Step collected = std::exchange(m_collecting, Step{});
    if (!collected.actions.empty()) {
        std::vector<Step> &to = mode == Mode::Undoing ? m_redoStack : m_undoStack;
        to.push_back(std::move(collected));
        dropOldestBeyondLevels(to);
    }
    Q_EMIT changed();
    return true;
}

void UndoManager::setLevelsOfUndo(qsizetype levels)
{
    m_levels = levels < 0 ? 0 : levels;
    dropOldestBeyondLevels(m_undoStack);
    dropOldestBeyondLevels(m_redoStack);
    Q_EMIT changed();
}

void UndoManager::dropOldestBeyondLevels(std::vector<Step> &stack)
{
    if (m_levels > 0 && qsizetype(stack.size()) > m_levels)
        stack.erase(stack.begin(), stack.end() - m_levels);
}

void UndoManager::removeAllActions()
{
    if (m_undoStack.empty() && m_redoStack.empty())
        return;
    m_undoStack.clear();
    m_redoStack.clear();
    Q_EMIT changed();
}

} // namespace quillcast
