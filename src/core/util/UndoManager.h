#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <vector>

namespace quillcast {

// The document's undo and redo stacks, without any window.
//
// A command registers the step that takes it back; an undo step registers, in
// turn, the step that does it again (its redo), which is how the document's
// commands choose their own redo (the database's "Add Record" redoes by adding
// a fresh record, not the removed one). Registration goes to the undo stack
// during normal work and during a redo, and to the redo stack during an undo;
// a registration during normal work also forgets what could be redone.
//
// Every registration made during one undo or redo forms one step, so that one
// "Undo" in the Edit menu always takes back one whole command. The action name
// names the step registered last (the one the Edit menu will offer next).
class UndoManager : public QObject
{
    Q_OBJECT

public:
    using Action = std::function<void()>;

    explicit UndoManager(QObject *parent = nullptr);
    ~UndoManager() override;

    void registerUndo(Action action);
    void setActionName(const QString &name);

    bool canUndo() const { return !m_undoStack.empty(); }
    bool canRedo() const { return !m_redoStack.empty(); }
    // The names the Edit menu shows ("Undo Add Record"); "" when there is nothing.
    QString undoActionName() const;
    QString redoActionName() const;
    qsizetype undoCount() const { return qsizetype(m_undoStack.size()); }
    qsizetype redoCount() const { return qsizetype(m_redoStack.size()); }

    // Run the last step; false when there was none.
    bool undo();
    bool redo();
    bool isUndoing() const { return m_mode == Mode::Undoing; }
    bool isRedoing() const { return m_mode == Mode::Redoing; }

    void removeAllActions();

    // At most this many steps are kept on each stack, the oldest dropped
    // first; 0 (the default) keeps every step.
    void setLevelsOfUndo(qsizetype levels);
    qsizetype levelsOfUndo() const { return m_levels; }

Q_SIGNALS:
    // Any stack or action name changed: the Edit menu refreshes its two items.
    void changed();

private:
    struct Step
    {
        QString name;
        std::vector<Action> actions; // run last to first
    };
    enum class Mode { Normal, Undoing, Redoing };

    bool run(std::vector<Step> &from, Mode mode);
    Step *stepNamedNext();

    std::vector<Step> m_undoStack;
    std::vector<Step> m_redoStack;
    void dropOldestBeyondLevels(std::vector<Step> &stack);

    Mode m_mode = Mode::Normal;
    qsizetype m_levels = 0;
    // The step being collected while an undo or a redo runs.
    Step m_collecting;
};

} // namespace quillcast
