#pragma once

#include "CaretMoves.h"
#include "CommandProgress.h"
#include "EditCommands.h"
#include "HexView.h"
#include "TextArea.h"
#include "TextRules.h"
#include "TextView.h"
#include "WireDocument.h"
#include "WireMetrics.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QElapsedTimer>

#include <memory>
#include <optional>

class QAction;
class QHelpEvent;
class QMenu;
class QMimeData;

// A multi-line box showing a WireDocument, the exact text that crossed, or
// will cross, the wire. What the box shows is derived from that text alone:
// CR LF is a line break; a lone CR or LF shows its mark and ends the row;
// control characters and characters that would draw as nothing show as small
// labels; a long line wraps at the right edge and is never broken anywhere
// else.
//
// The box is an input map and a frame for a view: it turns keys, clicks,
// drops and input methods into the document's editing commands
// (EditCommands) and caret moves, and shows on screen the rows of the view it
// holds (RowView): the text (TextView) or the hex dump (HexView). What typing
// and pasting put in is the view's to say. Its jobs live in files named for
// them: WireTextEdit.cpp (the document, clipboard, menu, timers),
// WireTextEditView.cpp (the view shown, scrolling, the frame, painting),
// WireTextEditKeys.cpp (keys and input methods), WireTextEditMouse.cpp
// (clicks and selecting), WireTextEditDrag.cpp (drag and drop), KeyMoves
// (which key moves the caret how).
class WireTextEdit : public QAbstractScrollArea, public TextArea
{
    Q_OBJECT

public:
    explicit WireTextEdit(QWidget *parent = nullptr);
    ~WireTextEdit() override;

    WireDocument &document() { return m_document; }
    const WireDocument &document() const { return m_document; }

    // TextArea
    qsizetype textLength() const override { return m_document.size(); }
    void forEachPiece(const std::function<void(const QString &piece)> &visit) const override;
    qsizetype
    forEachBytePiece(const std::function<void(const QByteArray &bytes)> &visit) const override
    {
        return m_document.forEachBytePiece(0, m_document.size(), visit);
    }
    // Replaces the whole text and forgets the undo history.
    void setText(const QString &text) override;
    void appendText(const QString &piece, OriginStamp stamp) override;
    void appendBytes(const QByteArray &bytes, OriginStamp stamp) override;
    QByteArrayView appendRead(qsizetype most, OriginStamp stamp,
                              const std::function<qsizetype(char *, qsizetype)> &read) override
    {
        return m_document.appendRead(most, stamp, read);
    }
    // Adds text as typed.
    void appendText(const QString &piece) { appendText(piece, {}); }
    qsizetype memoryBytes() const override { return m_document.memoryBytes(); }
    void setLengthChanged(std::function<void()> changed) override
    {
        m_lengthChanged = std::move(changed);
    }

    // A copy of the whole text, for checks; the program reads it in pieces.
    QString text() const { return m_document.text(0, m_document.size()); }

    void setUndoRedoEnabled(bool enabled) { m_document.setUndoEnabled(enabled); }
    bool isUndoRedoEnabled() const { return m_document.isUndoEnabled(); }

    // The caret and the selection, as positions in the text. A position
    // between the CR and LF of a pair, or inside a surrogate pair, moves back
    // to the one before.
    qsizetype cursorPosition() const { return m_document.position(); }
    qsizetype anchorPosition() const { return m_document.anchor(); }
    void setCursorPosition(qsizetype position) { setSelection(position, position); }
    void setSelection(qsizetype anchor, qsizetype position);
    qsizetype selectionStart() const { return m_document.selectionStart(); }
    qsizetype selectionEnd() const { return m_document.selectionEnd(); }
    bool hasSelection() const { return m_document.hasSelection(); }
    QString selectedText() const { return m_document.selectedText(); }

    // Where the character at `position` is drawn, in viewport coordinates,
    // laying rows out as far as it first.
    QRect characterRect(qsizetype position);
    // Where the caret is drawn, once its row is laid out (empty before).
    QRect caretRect() const;
    // The position nearest to a point of the viewport.
    qsizetype positionAt(const QPoint &point) { return caretAt(point).position; }
    void ensureVisible(qsizetype position);

    // The rows the text is shown in, for those who check how it wraps. Text
    // inserted in one piece longer than the layout slice (1 Mi characters)
    // is laid out a slice at a time between events; until then only
    // rows().knownRows() are known.
    const RowLayout &rows() const { return m_textView.rows(); }
    void setLayoutSlice(qsizetype characters) { m_textView.setSlice(characters); }
    const WireMetrics &metrics() const { return m_metrics; }
    // What sets the program's own status lines apart (StatusColours): the
    // tint behind their characters and the mark beside their rows.
    QColor statusTint() const;
    QColor statusMark() const;

    // Replaces [from, to) by `text` as the user would: undoable, with the
    // caret after the new text; nothing while the view shown takes no edits.
    void replaceRange(qsizetype from, qsizetype to, const QString &text);
    // Replaces the whole text with bytes in the wire's code page, as the
    // user would (Open File), with the caret at the start.
    void replaceAllWithBytes(const QList<QByteArray> &pieces);

    // The box's context menu: the editing commands, then the actions added here.
    QMenu *createStandardContextMenu();
    void addContextAction(QAction *action) { m_contextActions.append(action); }

    // Whether a file dropped onto the box is announced (fileDropped) instead
    // of its name going in as text.
    void setAcceptsFileDrops(bool accepts) { m_acceptsFileDrops = accepts; }

    // What Enter, Return and the keypad's Enter put in (CR LF until told
    // otherwise). What a screen reader or a paste puts in stays as it is.
    void setLineBreak(EditCommands::LineBreak lineBreak) { m_lineBreak = lineBreak; }

    // Shows the same document as a hex dump (HexView): an offset, sixteen
    // bytes in the code page, then the same sixteen characters, one cell
    // each. Caret and selection stay on the same characters; the caret can
    // stand between the CR and LF of a pair there, and moves to after the LF
    // when the text is shown again. The dump takes no edits unless made
    // editable (setHexEditable): hex digits in its byte column, characters in
    // the other.
    void setHexShown(bool shown);
    void setHexEditable(bool editable) { m_hexView.setEditable(editable); }
    bool isHexShown() const { return m_view == &m_hexView; }
    const HexRows &hexRows() const { return m_hexView.rows(); }
    // Whether the user can change the text in the view shown.
    bool isEditable() const { return m_view->isEditable(); }
    // The row shown around `position`, [first, second).
    QPair<qsizetype, qsizetype> shownRow(qsizetype position);

    // Shows, in a gutter left of the rows, the local time (HH:MM:SS.mmm) of
    // each row that starts a line (in the dump, of each row) whose first
    // character came from the peer or is a status line's; the text wraps in
    // the width left. Hovering over such a character then tells its time to
    // the microsecond, and for the peer's, about the piece it came in.
    void setTimesShown(bool shown);

public slots:
    void selectAll();
    void copy();
    void cut();
    void paste();
    void undo();
    void redo();

signals:
    void textChanged();
    void cursorPositionChanged();
    void selectionChanged();
    void fileDropped(const QString &path);

protected:
    bool event(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

    // What a drop or paste puts into the box, from what was offered.
    virtual bool canInsertFromMimeData(const QMimeData *source) const;
    virtual QString textFromMimeData(const QMimeData *source) const;

private:
    // What the document announces (WireTextEdit.cpp).
    void documentAboutToChange(qsizetype from, qsizetype removed, qsizetype added);
    void documentChanged(qsizetype from, qsizetype removed, qsizetype added, bool appended);
    void selectionSet(qsizetype oldAnchor, qsizetype oldPosition);
    // An edit or a new selection that no caret move made: the caret keeps
    // only its column in the dump, and a digit waiting there is dropped.
    void forgetCaretPlace();
    // Runs an editing command on the document, if the view shown takes edits.
    void runCommand(const std::function<void(WireDocument &)> &command);
    // Puts in what typing or pasting amounts to in the view shown.
    void enter(const RowView::Entry &entry);
    void removeSelection();
    // Tells the user at the caret why a key or a paste did nothing.
    void showRefusal(const QString &why);
    void selectionToSelectionClipboard();
    // The selection as it is now, for a clipboard, which takes it over.
    QMimeData *selectionMimeData() const;
    void restartBlinking();

    // The view shown, scrolling and painting (WireTextEditView.cpp).
    void relayout();
    void layOutSlice();
    void updateScrollRange();
    int fullRows() const;
    int wrapWidth() const;
    // Where a row's left edge and top are in the viewport, and which row is
    // at height `y` (the first or last known past either end). Every row's
    // left edge is the same.
    int rowLeft() const;
    QPoint rowOrigin(qsizetype row) const;
    qsizetype rowAtY(int y) const;
    QRect rectOf(const RowView::Place &place) const;
    CaretMoves::Caret caretAt(const QPoint &point);
    qsizetype characterAt(const QPoint &point);
    // The character drawn under `point` and its cell (in the dump, the one
    // under the point of its two); -1 where none is.
    qsizetype characterUnder(const QPoint &point, QRect *cell);
    // The time gutter's width, and the time shown beside `row`, if any.
    void updateTimeGutter();
    std::optional<qint64> rowTime(qsizetype row) const;
    void showTimeTip(const QHelpEvent *event);
    qsizetype caretRow() const { return m_view->caretRow(m_caret); }
    // Shows what a peer appended: at once, or while it floods together with
    // what follows, a few dozen times a second.
    void showChanges();
    void showNow();
    QPalette::ColorGroup colourGroup() const;

    // Keys (WireTextEditKeys.cpp).
    // Moves the caret to `target`, keeping the anchor if `select`.
    void moveCursor(const CaretMoves::Caret &target, bool select);
    bool handleMovement(QKeyEvent *event);
    bool handleEditing(QKeyEvent *event);
    // Shift+F10: the context menu at the caret.
    bool handleMenuKey(QKeyEvent *event);

    // Drag and drop (WireTextEditDrag.cpp).
    void startDrag();
    // The local file a drag offers, when the box takes files.
    QString droppedFile(const QMimeData *source) const;

    void autoScroll();
    // A triple click selects the line around `position`. The ends of a very
    // long one are searched for a stretch at a time between events, behind a
    // progress whose Cancel leaves the selection as it was.
    void selectLineAround(qsizetype position);
    void searchLine();
    void cancelLineSearch();

    WireDocument m_document;
    WireMetrics m_metrics;
    TextView m_textView{m_document, m_metrics};
    HexView m_hexView{m_document, m_metrics};
    // The view shown.
    RowView *m_view = &m_textView;
    bool m_timesShown = false;
    // The time gutter's width in pixels, 0 while it is hidden.
    int m_timeGutter = 0;
    QBasicTimer m_layoutTimer;
    // Where to scroll once layout gets there (-1 for nowhere).
    qsizetype m_visibleLater = -1;
    bool m_appendedSinceShown = false;
    // What an edit removes, kept for the screen reader's announcement.
    QString m_removedForReader;

    // The caret as the view shown places it (CaretMoves::Caret): its position
    // is the document's, with where it stands at a wrap, the column Up and
    // Down keep to, and its column in the dump.
    CaretMoves::Caret m_caret;
    EditCommands::LineBreak m_lineBreak = EditCommands::LineBreak::CrLf;

    QString m_preedit;
    bool m_caretShown = true;
    QBasicTimer m_blinkTimer;
    QBasicTimer m_tripleClickTimer;
    QPoint m_tripleClickPoint;
    QBasicTimer m_autoScrollTimer;
    QBasicTimer m_showTimer;
    QElapsedTimer m_sinceShown;
    QPoint m_pressPoint;
    bool m_mightDrag = false;
    bool m_selecting = false;
    qsizetype m_dropPosition = -1;
    bool m_acceptsFileDrops = false;
    QList<QAction *> m_contextActions;
    std::function<void()> m_lengthChanged;
    std::unique_ptr<TextRules::LineSearch> m_lineSearch;
    QBasicTimer m_lineSearchTimer;
    CommandProgress m_lineProgress;
};
