#pragma once

// A plain string that follows the edits a user and a peer make to a box, by
// rules written out here. The differential tests and the fuzz target check
// after each edit that a box, or its document, holds exactly what the
// reference holds.
//
// The reference's rules:
// - The text is a plain string; the box must hold exactly it.
// - A position is never between the two halves of a surrogate pair, nor,
//   unless the text is shown as a dump (cells), between the CR and LF of a
//   pair: a position there moves back one. When the dump gives way to the
//   text, a position between CR and LF moves on to after the LF.
// - An append adds at the end; a caret or anchor at the end moves with it.
// - Typing, Enter, paste and an input method's text replace the selection;
//   the caret ends after the new text. Enter inserts CR LF, LF or CR, as
//   chosen. Typed over (in the dump), a character with no selection replaces
//   the character after the caret, if there is one. Text dropped from
//   elsewhere goes in where it is dropped and ends up selected.
// - Backspace and Delete remove the selection, or else one character before
//   or after the caret, where a lone CR, a lone LF and a surrogate pair are
//   one character each, and a CR LF pair is one in the text, two in the dump.
// - Cut copies the selection and removes it; copy leaves the text alone and
//   puts exactly the selection on the clipboard.
// - Clear and setting the text replace everything, put the caret at 0 and
//   forget the undo history.
// - Undo (outgoing box only) takes back one step: one edit, or characters
//   typed one after another, each right after the one before (not in the
//   dump). It restores the text and selection from before the step; redo
//   restores the text after it, with the caret just after what the step put
//   in (each moved back as above where the view, as it is now, lets no caret
//   stand there).
// - Moving the caret (keys, clicks) never changes the text.
// - Every character has an origin: an appended one the stamp it was appended
//   with, anything else typed. A peer's piece read in the same millisecond
//   as the peer's character before it takes that character's stamp. Undo
//   and redo restore origins with the text.

#include "OriginSpans.h"

#include <QString>

#include <utility>
#include <vector>

// The reference and the checks against it are the oracle, not what is fuzzed:
// clang leaves their comparisons out of the coverage a fuzzer learns from,
// which they would only slow down.
// clang-format off
#if defined(__clang__)
#define ORACLE_BEGIN \
    _Pragma("clang attribute push(__attribute__((no_sanitize(\"coverage\"))), apply_to = function)")
#define ORACLE_END _Pragma("clang attribute pop")
#else
#define ORACLE_BEGIN
#define ORACLE_END
#endif
// clang-format on

ORACLE_BEGIN

class WireReference
{
public:
    QString text;
    // Each character's origin.
    std::vector<OriginStamp> origins;
    qsizetype anchor = 0;
    qsizetype position = 0;
    bool undoEnabled = true;
    // Shown as a dump, where CR and LF are cells of their own.
    bool cells = false;

    qsizetype selectionStart() const { return qMin(anchor, position); }
    qsizetype selectionEnd() const { return qMax(anchor, position); }
    QString selected() const
    {
        return text.mid(selectionStart(), selectionEnd() - selectionStart());
    }

    // The reference's own idea of where the caret can stand, of a character
    // and of a line end, independent of the rules it checks.
    static bool isBoundary(const QString &text, qsizetype at)
    {
        if (at <= 0 || at >= text.size())
            return true;
        return !(text[at - 1] == u'\r' && text[at] == u'\n') &&
               !(text[at - 1].isHighSurrogate() && text[at].isLowSurrogate());
    }
    // Where the caret can stand as the text is shown.
    bool isStop(qsizetype at) const
    {
        if (!cells)
            return isBoundary(text, at);
        return at <= 0 || at >= text.size() ||
               !(text[at - 1].isHighSurrogate() && text[at].isLowSurrogate());
    }
    qsizetype snap(qsizetype at) const
    {
        at = qBound<qsizetype>(0, at, text.size());
        return isStop(at) ? at : at - 1;
    }
    qsizetype next(qsizetype at) const
    {
        if (at >= text.size())
            return text.size();
        return isStop(at + 1) ? at + 1 : at + 2;
    }
    qsizetype previous(qsizetype at) const
    {
        if (at <= 0)
            return 0;
        return isStop(at - 1) ? at - 1 : at - 2;
    }
    void showCells(bool shown)
    {
        cells = shown;
        if (!isStop(anchor))
            ++anchor;
        if (!isStop(position))
            ++position;
    }
    // 2 for CR LF, 1 for a lone CR or LF.
    static int lineEndAt(const QString &text, qsizetype at)
    {
        if (text[at] == u'\r')
            return at + 1 < text.size() && text[at + 1] == u'\n' ? 2 : 1;
        return text[at] == u'\n' ? 1 : 0;
    }

    // The line around the boundary `at`, to and with its line end.
    QPair<qsizetype, qsizetype> lineAround(qsizetype at) const
    {
        qsizetype from = 0;
        for (qsizetype i = 0; i < text.size();) {
            const int end = lineEndAt(text, i);
            if (end && i >= at)
                return {from, i + end};
            i += qMax(1, end);
            if (end && i <= at)
                from = i;
        }
        return {from, text.size()};
    }

    void append(const QString &piece, OriginStamp stamp = {})
    {
        const qsizetype end = text.size();
        if (stamp.origin == Origin::Peer && !origins.empty() &&
            origins.back().origin == Origin::Peer &&
            origins.back().time / 1000 == stamp.time / 1000)
            stamp = origins.back();
        origins.insert(origins.end(), piece.size(), stamp);
        text += piece;
        if (anchor == end)
            anchor = text.size();
        if (position == end)
            position = text.size();
        anchor = snap(anchor);
        position = snap(position);
    }
    void setText(const QString &newText)
    {
        text = newText;
        origins.assign(text.size(), OriginStamp{});
        anchor = position = 0;
        m_undo.clear();
        m_redo.clear();
        m_typing = false;
    }
    // Replaces [from, to) as a user edit would.
    void replace(qsizetype from, qsizetype to, const QString &with, bool typed = false)
    {
        if (from == to && with.isEmpty())
            return;
        const bool merge = typed && m_typing && from == to && from == m_typedEnd;
        if (undoEnabled && !merge)
            m_undo.push_back({text, origins, anchor, position, {}, {}, 0});
        text.replace(from, to - from, with);
        typeOver(from, to, with.size());
        anchor = position = snap(from + with.size());
        if (!undoEnabled)
            return;
        m_redo.clear();
        m_undo.back().textAfter = text;
        m_undo.back().originsAfter = origins;
        m_undo.back().caretAfter = from + with.size();
        m_typing = typed;
        m_typedEnd = from + with.size();
    }
    void replaceSelection(const QString &with, bool typed = false)
    {
        replace(selectionStart(), selectionEnd(), with, typed);
    }
    // `typed` (one character) put in, or typed over the next character.
    void type(const QString &typed, bool overwrite)
    {
        const bool over = overwrite && anchor == position;
        replace(selectionStart(), over ? next(position) : selectionEnd(), typed);
    }
    void removeOr(qsizetype from, qsizetype to)
    {
        if (anchor != position)
            replaceSelection(QString());
        else
            replace(from, to, QString());
    }
    // Text dropped at `at` (a boundary); `moved` takes the selection away
    // first. One step for undo; the new text ends up selected.
    void drop(qsizetype at, const QString &piece, bool moved)
    {
        if (undoEnabled)
            m_undo.push_back({text, origins, anchor, position, {}, {}, 0});
        if (moved) {
            const qsizetype from = selectionStart();
            const qsizetype to = selectionEnd();
            text.remove(from, to - from);
            typeOver(from, to, 0);
            if (at > to)
                at -= to - from;
        }
        at = snap(at);
        text.insert(at, piece);
        typeOver(at, at, piece.size());
        anchor = snap(at);
        position = snap(at + piece.size());
        if (!undoEnabled)
            return;
        m_redo.clear();
        m_undo.back().textAfter = text;
        m_undo.back().originsAfter = origins;
        m_undo.back().caretAfter = at + piece.size();
        m_typing = false;
    }
    void undo()
    {
        if (!undoEnabled || m_undo.empty())
            return;
        m_redo.push_back(std::move(m_undo.back()));
        m_undo.pop_back();
        text = m_redo.back().textBefore;
        origins = m_redo.back().originsBefore;
        anchor = snap(m_redo.back().anchorBefore);
        position = snap(m_redo.back().positionBefore);
        m_typing = false;
    }
    void redo()
    {
        if (!undoEnabled || m_redo.empty())
            return;
        m_undo.push_back(std::move(m_redo.back()));
        m_redo.pop_back();
        text = m_undo.back().textAfter;
        origins = m_undo.back().originsAfter;
        anchor = position = snap(m_undo.back().caretAfter);
        m_typing = false;
    }

private:
    // [from, to) became `added` typed characters.
    void typeOver(qsizetype from, qsizetype to, qsizetype added)
    {
        origins.erase(origins.begin() + from, origins.begin() + to);
        origins.insert(origins.begin() + from, added, OriginStamp{});
    }

    struct Step
    {
        QString textBefore;
        std::vector<OriginStamp> originsBefore;
        qsizetype anchorBefore;
        qsizetype positionBefore;
        QString textAfter;
        std::vector<OriginStamp> originsAfter;
        qsizetype caretAfter;
    };
    std::vector<Step> m_undo;
    std::vector<Step> m_redo;
    bool m_typing = false;
    qsizetype m_typedEnd = -1;
};

// Random text as a peer or a user puts it in: line ends of every kind,
// controls, characters that draw as nothing, now and then a surrogate pair.
// `Random` gives a number below its argument.
template <typename Random> QString randomWireText(Random &random)
{
    static const QString alphabet = QStringLiteral("ab \r\n\r\n\t\x01\x7F\u00A0\u00AD\u20AC");
    QString text;
    const quint32 length = random(5) == 0 ? 20 + random(120) : random(6);
    for (quint32 i = 0; i < length; ++i) {
        if (random(40) == 0)
            text += QStringLiteral("\U0001F600");
        else
            text += alphabet[random(quint32(alphabet.size()))];
    }
    return text;
}

// Text with its controls written out, for a message.
inline QString showText(const QString &text)
{
    QString shown;
    for (const QChar c : text)
        shown += c.unicode() < 0x20 || c.unicode() > 0x7E
                     ? QStringLiteral("\\x%1").arg(c.unicode(), 0, 16)
                     : QString(c);
    return QLatin1Char('"') + shown + QLatin1Char('"');
}

ORACLE_END
