#pragma once

#include "OriginSpans.h"

#include <QString>

#include <vector>

// One change recorded for undo: at `at`, the `length` characters now in the
// text stand where `text` stood, with its origins. Only the text that is not in the document is
// kept (what an edit removed, or after an undo what it had put in), so a large
// paste or Open File costs nothing more to take back; once taken back, it is
// kept, as UTF-16, for Redo. Undoing or redoing swaps the two.
struct UndoRecord
{
    qsizetype at = 0;
    qsizetype length = 0;
    QString text;
    OriginRuns origins;
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
    // The step to take back (moved onto the redo side), or to do again
    // (moved back); the caller swaps its records as it applies them.
    UndoStep &takeUndo();
    UndoStep &takeRedo();
    void clear();

private:
    std::vector<UndoStep> m_undo;
    std::vector<UndoStep> m_redo;
    bool m_typing = false;
};
