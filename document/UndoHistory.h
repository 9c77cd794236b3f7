#pragma once

#include <QString>

#include <vector>

// One change recorded for undo: `removed` at `at` was replaced by `inserted`.
struct UndoRecord
{
    qsizetype at = 0;
    QString removed;
    QString inserted;
};

// What one Undo takes back: the edits of one user action, and where the
// selection stood before it.
struct UndoStep
{
    std::vector<UndoRecord> edits;
    qsizetype anchorBefore = 0;
    qsizetype positionBefore = 0;
};

// The outgoing box's edit history. Characters typed one after another, each right
// after the one before, are taken back together; any other edit, an undo or a
// redo starts a new step.
class UndoHistory
{
public:
    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }

    // Records a user's edit; `typed` marks a character typed at the caret.
    void record(UndoStep step, bool typed);
    // The step to take back (moved onto the redo side), or to do again.
    UndoStep takeUndo();
    UndoStep takeRedo();
    void clear();

private:
    std::vector<UndoStep> m_undo;
    std::vector<UndoStep> m_redo;
    bool m_typing = false;
};
