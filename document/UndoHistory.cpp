#include "UndoHistory.h"

void UndoHistory::record(UndoStep step, bool typed)
{
    m_redo.clear();
    if (typed && m_typing && step.edits.size() == 1 && step.edits.front().text.isEmpty()) {
        UndoRecord &last = m_undo.back().edits.back();
        const UndoRecord &edit = step.edits.front();
        if (edit.at == last.at + last.length) {
            last.length += edit.length;
            return;
        }
    }
    m_undo.push_back(std::move(step));
    m_typing = typed;
}

namespace {

// Moves the last step of one side onto the other.
UndoStep &moveLast(std::vector<UndoStep> &from, std::vector<UndoStep> &to)
{
    to.push_back(std::move(from.back()));
    from.pop_back();
    return to.back();
}

} // namespace

UndoStep &UndoHistory::takeUndo()
{
    m_typing = false;
    return moveLast(m_undo, m_redo);
}

UndoStep &UndoHistory::takeRedo()
{
    m_typing = false;
    return moveLast(m_redo, m_undo);
}

void UndoHistory::clear()
{
    m_undo.clear();
    m_redo.clear();
    m_typing = false;
}
