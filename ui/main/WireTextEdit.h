#pragma once

#include "TextArea.h"
#include "WireLayout.h"
#include "WireMetrics.h"
#include "WireUndoStack.h"

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QElapsedTimer>

class QAction;
class QMenu;
class QMimeData;

// A multi-line box for text that crossed, or will cross, the wire. The text it
// holds is exact: every character the peer sent or the user put in stays
// itself, and CR LF, a lone CR and a lone LF stay distinct whatever is edited
// around them. What the box shows is derived from that text alone: CR LF is a
// line break; a lone CR or LF shows its mark and ends the row; control
// characters and characters that would draw as nothing show as small labels;
// a long line wraps at the right edge and is never broken anywhere else.
//
// It is a full text box (caret, selection, clipboard, drag and drop, input
// methods, undo, context menu, accessibility), and appending costs in
// proportion to the piece however long the text grows.
class WireTextEdit : public QAbstractScrollArea, public TextArea
{
    Q_OBJECT

public:
    explicit WireTextEdit(QWidget *parent = nullptr);
    ~WireTextEdit() override;

    QString text() const override { return m_text; }
    // Replaces the whole text and forgets the undo history.
    void setText(const QString &text) override;
    void appendText(const QString &piece) override;

    // The outgoing box keeps a history; the transcript does not, so that undo
    // can never take back what a peer sent.
    void setUndoRedoEnabled(bool enabled);
    bool isUndoRedoEnabled() const { return m_undoEnabled; }

    // The caret and the selection, as positions in the text. A position
    // between the CR and LF of a pair, or inside a surrogate pair, moves back
    // to the one before.
    qsizetype cursorPosition() const { return m_position; }
    qsizetype anchorPosition() const { return m_anchor; }
    void setCursorPosition(qsizetype position);
    void setSelection(qsizetype anchor, qsizetype position);
    qsizetype selectionStart() const { return qMin(m_anchor, m_position); }
    qsizetype selectionEnd() const { return qMax(m_anchor, m_position); }
    bool hasSelection() const { return m_anchor != m_position; }
    QString selectedText() const;

    // Where the character at `position` is drawn, in viewport coordinates.
    QRect characterRect(qsizetype position) const;
    QRect cursorRect() const;
    // The position nearest to a point of the viewport.
    qsizetype positionAt(const QPoint &point, bool *atRowEnd = nullptr) const;
    void ensureVisible(qsizetype position);

    // The rows the text is shown in, for those who check how it wraps. Text
    // inserted in one piece longer than the layout slice (1 Mi characters)
    // is laid out a slice at a time between events; until then only
    // rows().knownRows() are known.
    const WireLayout &rows() const { return m_layout; }
    void setLayoutSlice(qsizetype characters) { m_layoutSlice = qMax<qsizetype>(1, characters); }
    const WireMetrics &metrics() const { return *m_metrics; }

    // Replaces [from, to) by `text` as the user would: undoable, with the
    // caret after the new text.
    void replaceRange(qsizetype from, qsizetype to, const QString &text);

    // The box's context menu: the editing commands, then the actions added here.
    QMenu *createStandardContextMenu();
    void addContextAction(QAction *action) { m_contextActions.append(action); }

    // Whether a file dropped onto the box is announced (fileDropped) instead
    // of its name going in as text.
    void setAcceptsFileDrops(bool accepts) { m_acceptsFileDrops = accepts; }

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
    // User and Typing edits are recorded for undo; what a peer appends and
    // Other edits are not.
    enum class EditKind { User, Typing, Append, Other };

    // The one place the text changes.
    void edit(qsizetype from, qsizetype to, const QString &text, EditKind kind);
    void applySteps(const WireUndoStep &step, bool backwards);
    void insertFromUser(const QString &text, bool typed = false);
    void deleteSelectionOr(qsizetype from, qsizetype to);

    void relayout();
    // Rows of a large insertion are laid out a slice at a time between
    // events (layOutSlice); what needs a row lays out as far as it first.
    bool isLaidOut(qsizetype position) const;
    void layOutThrough(qsizetype position) const;
    void layOutSlice();
    QRect caretRect() const;
    void updateScrollRange();
    int fullRows() const;
    QPoint rowOrigin(qsizetype row) const;
    int xOf(qsizetype row, qsizetype position) const;
    // The position nearest to x in a row; past the end of a row that wraps,
    // that is where the next row starts, and `atRowEnd` says so.
    qsizetype positionInRow(qsizetype row, int x, bool *atRowEnd = nullptr) const;
    qsizetype rowAtY(int y) const;
    qsizetype characterAt(const QPoint &point) const;
    qsizetype caretRow() const;

    void moveCursor(qsizetype position, bool select, bool keepColumn = false,
                    bool atRowEnd = false);
    void selectRange(qsizetype anchor, qsizetype position);
    bool handleMovement(QKeyEvent *event);
    bool handleEditing(QKeyEvent *event);
    void restartBlinking();
    // Shows what a peer appended: at once, or while it floods together with
    // what follows, a few dozen times a second.
    void showChanges();
    void showNow();
    void selectionToSelectionClipboard();
    void notifyCursorMoved(qsizetype oldAnchor, qsizetype oldPosition);

    void paintRow(QPainter &painter, qsizetype row, const QPoint &origin) const;
    QPalette::ColorGroup colourGroup() const;
    int wrapWidth() const;
    // The local file a drag offers, when the box takes files.
    QString droppedFile(const QMimeData *source) const;

    QString m_text;
    std::unique_ptr<WireMetrics> m_metrics;
    mutable WireLayout m_layout;
    QBasicTimer m_layoutTimer;
    qsizetype m_layoutSlice = qsizetype(1) << 20;
    // Where to scroll once layout gets there (-1 for nowhere).
    qsizetype m_visibleLater = -1;
    bool m_appendedSinceShown = false;

    qsizetype m_anchor = 0;
    qsizetype m_position = 0;
    // At a wrap, the caret can stand at the end of the row above instead of the
    // start of the row below (after End, or a click past a row's end).
    bool m_caretAtRowEnd = false;
    // Up and Down keep to the column they started from.
    int m_wantedX = -1;

    bool m_undoEnabled = true;
    WireUndoStack m_undo;

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
};
