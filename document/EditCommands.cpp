#include "EditCommands.h"

#include "TextRules.h"
#include "WireDocument.h"

namespace EditCommands {

QString lineBreakText(LineBreak lineBreak)
{
    switch (lineBreak) {
    case LineBreak::Lf:
        return QStringLiteral("\n");
    case LineBreak::Cr:
        return QStringLiteral("\r");
    default:
        return QStringLiteral("\r\n");
    }
}

void backspace(WireDocument &text)
{
    const qsizetype at = text.position();
    text.removeSelectionOr(TextRules::previousStop(text, at), at);
}

void deleteForward(WireDocument &text)
{
    const qsizetype at = text.position();
    text.removeSelectionOr(at, TextRules::nextStop(text, at));
}

void deleteWordBack(WireDocument &text)
{
    const qsizetype at = text.position();
    text.removeSelectionOr(TextRules::previousWordStart(text, at), at);
}

void deleteWordForward(WireDocument &text)
{
    const qsizetype at = text.position();
    text.removeSelectionOr(at, TextRules::nextWordStart(text, at));
}

void insertLineBreak(WireDocument &text, LineBreak lineBreak)
{
    text.replaceSelection(lineBreakText(lineBreak));
}

void type(WireDocument &text, const QString &typed, bool overwrite, bool merge)
{
    const qsizetype from = text.selectionStart();
    qsizetype to = text.selectionEnd();
    if (overwrite && from == to) {
        // One character typed over each: a surrogate pair is one.
        for (qsizetype i = 0; i < typed.size(); ++i) {
            to = TextRules::nextStop(text, to);
            if (typed.at(i).isHighSurrogate() && i + 1 < typed.size())
                ++i;
        }
    }
    text.replaceRange(from, to, typed, merge);
}

void selectWord(WireDocument &text, qsizetype position)
{
    const TextRules::Span word = TextRules::wordAt(text, position);
    text.setSelection(word.from, word.to);
}

void selectLine(WireDocument &text, qsizetype position)
{
    const TextRules::Span line = TextRules::lineAt(text, position);
    text.setSelection(line.from, line.to);
}

} // namespace EditCommands
