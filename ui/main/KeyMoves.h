#pragma once

#include "CaretMoves.h"

#include <QKeySequence>

#include <optional>

class QKeyEvent;

// Which keys move the caret, and how; which keys a text box keeps for itself.
namespace KeyMoves {

struct KeyMove
{
    CaretMoves::Move move;
    bool select;
};

// The caret move a key asks for, if any: each move has the key that moves
// and the key that selects while it does.
std::optional<KeyMove> moveFor(const QKeyEvent *key);

// Text a key types, as opposed to the control characters of keys such as
// Escape or Backspace and the letters of shortcuts.
bool typesText(const QKeyEvent *key);

// Keys a box handles itself while it has the focus, whatever shortcuts the
// window has.
bool isEditingKey(const QKeyEvent *key);

} // namespace KeyMoves
