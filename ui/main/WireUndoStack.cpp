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

WireUndoStep WireUndoStack::takeUndo()
{
    WireUndoStep step = std::move(m_undo.back());
    m_undo.pop_back();
    m_redo.push_back(step);
    m_typing = false;
    return step;
}

WireUndoStep WireUndoStack::takeRedo()
{
    WireUndoStep step = std::move(m_redo.back());
    m_redo.pop_back();
    m_undo.push_back(step);
    m_typing = false;
    return step;
}

void WireUndoStack::clear()
{
    m_undo.clear();
    m_redo.clear();
    m_typing = false;
}
