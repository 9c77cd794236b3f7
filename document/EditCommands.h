#pragma once

#include <QString>

class WireDocument;

// What the editing keys and clicks do to a document, the same whoever gives
// the command: the box's keys and mouse, a screen reader, the tests. Each edit
// is one step for undo (typed characters may join the typing before them).
// The caret's stops are the document's (TextRules::nextStop): in the text a
// CR LF is one character, in the dump two.
namespace EditCommands {

// What Enter puts in: CR LF (as HTTP, SMTP, IMAP and POP3 want), or a lone LF
// or CR.
enum class LineBreak { CrLf, Lf, Cr };
QString lineBreakText(LineBreak lineBreak);

// Backspace and Delete: the selection, or else the character before or after
// the caret.
void backspace(WireDocument &text);
void deleteForward(WireDocument &text);
// The selection, or else back to the start of the word before the caret, or
// on to the start of the next word.
void deleteWordBack(WireDocument &text);
void deleteWordForward(WireDocument &text);
// Enter.
void insertLineBreak(WireDocument &text, LineBreak lineBreak);
// `typed` replaces the selection, or else goes in before the caret or, with
// `overwrite`, over as many characters after it as it has. `merge` lets it
// join the characters typed just before it in one step for undo.
void type(WireDocument &text, const QString &typed, bool overwrite, bool merge);

// A double and a triple click: the word or the line around the character at
// `position`.
void selectWord(WireDocument &text, qsizetype position);
void selectLine(WireDocument &text, qsizetype position);

} // namespace EditCommands
