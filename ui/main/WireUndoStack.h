#pragma once

#include <QString>

#include <vector>

// One change of a box's text: `removed` at `at` was replaced by `inserted`.
struct WireEdit
{
    qsizetype at = 0;
    QString removed;
    QString inserted;
};

// What one Undo takes back: the edits of one user action, and where the
// selection stood before it.
struct WireUndoStep
{
    std::vector<WireEdit> edits;
    qsizetype anchorBefore = 0;
    qsizetype positionBefore = 0;
};

// The outgoing box's history. Characters typed one after another, each right
// after the one before, are taken back together; any other edit, an undo or a
// redo starts a new step.
class WireUndoStack
{
public:
    bool canUndo() const { return !m_undo.empty(); }
    bool canRedo() const { return !m_redo.empty(); }

    // Records a user's edit; `typed` marks a character typed at the caret.
    void record(WireUndoStep step, bool typed);
    // The step to take back (moved onto the redo side), or to do again.
    WireUndoStep takeUndo();
    WireUndoStep takeRedo();
    void clear();

private:
    std::vector<WireUndoStep> m_undo;
    std::vector<WireUndoStep> m_redo;
    bool m_typing = false;
};
