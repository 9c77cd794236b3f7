#include "KeyMoves.h"

#include <QKeyEvent>

#include <algorithm>

namespace KeyMoves {

namespace {

using CaretMoves::Move;

struct Binding
{
    QKeySequence::StandardKey move;
    QKeySequence::StandardKey select;
    Move caretMove;
};
const Binding bindings[] = {
    {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar, Move::NextChar},
    {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar, Move::PreviousChar},
    {QKeySequence::MoveToNextWord, QKeySequence::SelectNextWord, Move::NextWord},
    {QKeySequence::MoveToPreviousWord, QKeySequence::SelectPreviousWord, Move::PreviousWord},
    {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, Move::NextRow},
    {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, Move::PreviousRow},
    {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, Move::NextPage},
    {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, Move::PreviousPage},
    {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, Move::RowStart},
    {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, Move::RowEnd},
    {QKeySequence::MoveToStartOfBlock, QKeySequence::SelectStartOfBlock, Move::LineStart},
    {QKeySequence::MoveToEndOfBlock, QKeySequence::SelectEndOfBlock, Move::LineEnd},
    {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, Move::DocumentStart},
    {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, Move::DocumentEnd},
};

const QKeySequence::StandardKey editingKeys[] = {QKeySequence::Undo,
                                                 QKeySequence::Redo,
                                                 QKeySequence::Cut,
                                                 QKeySequence::Copy,
                                                 QKeySequence::Paste,
                                                 QKeySequence::SelectAll,
                                                 QKeySequence::Delete,
                                                 QKeySequence::DeleteEndOfWord,
                                                 QKeySequence::DeleteStartOfWord};

} // namespace

std::optional<KeyMove> moveFor(const QKeyEvent *key)
{
    for (const Binding &binding : bindings) {
        const bool select = key->matches(binding.select);
        if (select || key->matches(binding.move))
            return KeyMove{binding.caretMove, select};
    }
    return std::nullopt;
}

bool typesText(const QKeyEvent *key)
{
    const QString text = key->text();
    if (text.isEmpty())
        return false;
    // Ctrl, Alt or Meta with a key make a shortcut or open a menu; Ctrl+Alt
    // together is AltGr on some systems, which types.
    const Qt::KeyboardModifiers modifiers =
        key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (modifiers && modifiers != (Qt::ControlModifier | Qt::AltModifier))
        return false;
    const char16_t c = text.front().unicode();
    return !(c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0));
}

bool isEditingKey(const QKeyEvent *key)
{
    return typesText(key) || key->key() == Qt::Key_Backspace || key->key() == Qt::Key_Return ||
           key->key() == Qt::Key_Enter ||
           std::any_of(
               std::begin(editingKeys), std::end(editingKeys),
               [key](QKeySequence::StandardKey standard) { return key->matches(standard); }) ||
           moveFor(key).has_value();
}

} // namespace KeyMoves
