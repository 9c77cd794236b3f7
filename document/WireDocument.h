#pragma once

#include "OriginSpans.h"
#include "TextSnapshot.h"
#include "TextStore.h"
#include "UndoHistory.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class RowLayout;

// The exact text of a box, with its selection and its undo history. The text
// is exactly what was put in: every character a peer sent or a user typed
// stays itself, and CR LF, a lone CR and a lone LF stay distinct whatever is
// edited around them. Beside the text, every character keeps its origin: the
// peer's, with the time its piece was read; a status line's, with its time;
// or typed. change() is the one place text and origins change; each change is
// announced (aboutToChange, changed) with where it happened, how many
// characters went and how many came.
//
// Outside the document only RowLayout reads the store, to wrap rows straight
// from its blocks; everyone else is handed a character (at), a copy of a range
// (text), copies of its pieces in order (forEachPiece) or a range as it is now
// (snapshot), so that how it keeps the text can change behind them. What the editing keys do is
// written once, in EditCommands, over the edits below.
class WireDocument : public QObject
{
    Q_OBJECT

public:
    explicit WireDocument(QObject *parent = nullptr,
                          qsizetype blockLength = TextStore::defaultBlockLength);

    qsizetype size() const { return m_store.size(); }
    bool isEmpty() const { return m_store.size() == 0; }
    char16_t at(qsizetype position) const { return m_store.at(position); }
    // A copy of [from, to), clamped to the text.
    QString text(qsizetype from, qsizetype to) const;
    // Where each character came from. Views read it; edits keep it.
    const OriginSpans &origins() const { return m_origins; }
    // What the text and its origins hold in memory, in bytes.
    qsizetype memoryBytes() const { return m_store.size() + m_origins.memoryBytes(); }
    // Copies of [from, to) in order, none longer than pieceLength, none
    // ending between the CR and LF of a pair or inside a surrogate pair.
    static constexpr qsizetype pieceLength = 64 * 1024;
    void forEachPiece(qsizetype from, qsizetype to,
                      const std::function<void(const QString &piece)> &visit) const;

    // [from, to) as bytes in the wire's code page, in pieces; stops before
    // the piece holding the first character that has no byte there and
    // returns its position, or returns -1.
    qsizetype forEachBytePiece(qsizetype from, qsizetype to,
                               const std::function<void(const QByteArray &bytes)> &visit) const
    {
        from = qBound<qsizetype>(0, from, size());
        return m_store.forEachBytePiece(from, qBound(from, to, size()), visit);
    }

    // [from, to), clamped to the text, as it is now: later edits leave it as it was.
    TextSnapshot snapshot(qsizetype from, qsizetype to) const;
    // Calls `visit` with each stretch of [from, to) that can hold a
    // surrogate or a character without a byte in the code page, with where
    // it starts; nothing else can. Costs a step a block elsewhere.
    void forEachWideRun(qsizetype from, qsizetype to,
                        const std::function<void(qsizetype start, QStringView units)> &visit) const
    {
        m_store.forEachWideRun(qMax<qsizetype>(0, from), to, visit);
    }
    // The first position in [from, to) that holds a CR or an LF, or -1; and
    // the last. What a line is, TextRules says; these find its ends fast.
    qsizetype firstLineBreak(qsizetype from, qsizetype to) const
    {
        return m_store.firstLineBreak(qMax<qsizetype>(0, from), to);
    }
    qsizetype lastLineBreak(qsizetype from, qsizetype to) const
    {
        return m_store.lastLineBreak(from, to);
    }

    // The caret (position) and the other end of the selection (anchor). A
    // position that is no stop (TextRules::isStop: between the CR and LF of a
    // pair, unless the dump is shown, or inside a surrogate pair) moves back
    // to the one before.
    qsizetype anchor() const { return m_anchor; }
    qsizetype position() const { return m_position; }
    qsizetype selectionStart() const { return qMin(m_anchor, m_position); }
    qsizetype selectionEnd() const { return qMax(m_anchor, m_position); }
    bool hasSelection() const { return m_anchor != m_position; }
    // The selection as one string (a drag takes it; Copy and Cut take a
    // snapshot instead).
    QString selectedText() const { return text(selectionStart(), selectionEnd()); }
    void setSelection(qsizetype anchor, qsizetype position);
    void setCaret(qsizetype position) { setSelection(position, position); }
    // Whether the caret can stand between the CR and LF of a pair, as it can
    // in the dump, where each is a cell of its own. Turned off, an end that
    // stands there moves to after the LF, so it stays by the same characters.
    void setCaretBetweenCrLf(bool between);
    bool caretBetweenCrLf() const { return m_caretBetweenCrLf; }

    // User and Typing edits are recorded for undo; what a peer appends and
    // Other edits (undo and redo themselves, replacing the whole text) are not.
    enum class EditKind { User, Typing, Append, Other };
    // [from, to) becomes `text`, of origin `stamp`. The caret and the anchor
    // keep their place in the text around it.
    void edit(qsizetype from, qsizetype to, const QString &text, EditKind kind,
              OriginStamp stamp = {});

    // Replaces the whole text, as typed, and forgets the undo history; the
    // caret goes to 0.
    void setText(const QString &text);
    void append(const QString &piece, OriginStamp stamp = {});
    // What a peer sent, as bytes in the wire's code page: each byte is the
    // one character it stands for there, kept without being decoded.
    void appendBytes(const QByteArray &bytes, OriginStamp stamp);
    // Up to `most` bytes of origin `stamp` read straight into the text's end:
    // `read(into, most)` writes them and returns how many. Returns where they
    // went, until the next change. Only the room for them can fail for want of
    // memory, before anything is read.
    QByteArrayView appendRead(qsizetype most, OriginStamp stamp,
                              const std::function<qsizetype(char *into, qsizetype most)> &read);
    // Replaces the selection as a user would; the caret ends after the new
    // text. `typed` marks a character typed at the caret.
    void replaceSelection(const QString &text, bool typed = false);
    // Removes the selection, or else [from, to).
    void removeSelectionOr(qsizetype from, qsizetype to);
    // Replaces the whole text with pieces of bytes in the wire's code page,
    // as a user would (Open File): one step for undo.
    void replaceAllWithBytes(const QList<QByteArray> &pieces);
    // Replaces [from, to), moved back to stops, as a user would; `typed` as
    // for replaceSelection.
    void replaceRange(qsizetype from, qsizetype to, const QString &text, bool typed = false);
    // Puts dropped text at `at`; `moved` takes the selection away first (a
    // drag within the box). One step for undo; the new text ends up selected.
    void drop(qsizetype at, const QString &text, bool moved);

    // The outgoing box keeps a history; the transcript does not, so that undo
    // can never take back what a peer sent.
    void setUndoEnabled(bool enabled);
    bool isUndoEnabled() const { return m_undoEnabled; }
    bool canUndo() const { return m_undoEnabled && m_undo.canUndo(); }
    bool canRedo() const { return m_undoEnabled && m_undo.canRedo(); }
    void undo();
    void redo();
    // The edits from beginUndoStep() to endUndoStep() are taken back as one.
    void beginUndoStep();
    void endUndoStep();

signals:
    // Just before [from, from + removed) becomes `added` characters.
    void aboutToChange(qsizetype from, qsizetype removed, qsizetype added);
    // Just after; `appended` for a peer's append at the end.
    void changed(qsizetype from, qsizetype removed, qsizetype added, bool appended);
    // setSelection was called; the selection was oldAnchor..oldPosition.
    void selectionSet(qsizetype oldAnchor, qsizetype oldPosition);

private:
    friend class RowLayout; // wraps rows straight from the store
    const TextStore &store() const { return m_store; }

    // Records a user's edit of [from, to) to `added` characters, before it
    // is made: in the step being gathered, or as a step of its own.
    void recordForUndo(qsizetype from, qsizetype to, qsizetype added, bool typed);
    // [from, to) becomes `text`, its characters of the origins `runs`.
    void replace(qsizetype from, qsizetype to, const QString &text, const OriginRuns &runs,
                 EditKind kind);
    // Announces a change of [from, from + removed) to `added` characters
    // around `change`, which makes it, and keeps the selection's place.
    template <typename Change>
    void change(qsizetype from, qsizetype removed, qsizetype added, bool appended, Change change);
    // `added` characters appended by `append`, all of them or, should memory
    // run out, none.
    template <typename Append> void appendWhole(qsizetype added, Append append);
    void apply(UndoStep &step, bool backwards);

    TextStore m_store;
    OriginSpans m_origins;
    qsizetype m_anchor = 0;
    qsizetype m_position = 0;
    bool m_undoEnabled = true;
    UndoHistory m_undo;
    // The step edits are gathered into between beginUndoStep() and
    // endUndoStep(), while m_gathering is above 0.
    UndoStep m_gathered;
    int m_gathering = 0;
    bool m_caretBetweenCrLf = false;
};
