#include "WireUndoStack.h"

void WireUndoStack::record(WireUndoStep step, bool typed)
{
    m_redo.clear();
    if (typed && m_typing && step.edits.size() == 1 && step.edits.front().removed.isEmpty()) {
        WireEdit &last = m_undo.back().edits.back();
        const WireEdit &edit = step.edits.front();
        if (edit.at == last.at + last.inserted.size()) {
            last.inserted += edit.inserted;
            return;
        }
    }
    m_undo.push_back(std::move(step));
    m_typing = typed;
}

namespace {

// Moves the last step of one side onto the other.
WireUndoStep moveLast(std::vector<WireUndoStep> &from, std::vector<WireUndoStep> &to)
{
    to.push_back(std::move(from.back()));
    from.pop_back();
    return to.back();
}

} // namespace

WireUndoStep WireUndoStack::takeUndo()
{
    m_typing = false;
    return moveLast(m_undo, m_redo);
}

WireUndoStep WireUndoStack::takeRedo()
{
    m_typing = false;
    return moveLast(m_redo, m_undo);
}

void WireUndoStack::clear()
{
    m_undo.clear();
    m_redo.clear();
    m_typing = false;
}
