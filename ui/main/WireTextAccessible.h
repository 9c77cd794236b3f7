#pragma once

#include <QAccessibleWidget>

class WireTextEdit;

// What a screen reader sees of a WireTextEdit: an editable, multi-line text
// with its caret and selection, read from the box's document and changed
// through it. Strings on the accessibility bus cannot carry every character
// (U+0000 ends one), so each control character a reader is given is its
// control picture (TextRules::spokenAs), one for one, at the same offset. A
// line for a reader is a row as the box shows it.
class WireTextAccessible : public QAccessibleWidget,
                           public QAccessibleTextInterface,
                           public QAccessibleEditableTextInterface
{
public:
    explicit WireTextAccessible(WireTextEdit *box);

    // Makes Qt's accessibility ask this class about every WireTextEdit.
    static void install();
    // Whether a screen reader listens, so that changes are worth announcing.
    static bool isListening();
    // Passes a change on to the screen reader.
    static void announce(QAccessibleEvent *event);
    // Announcements go to `listener` instead, for a test that logs them.
    using Listener = void (*)(QAccessibleEvent *event);
    static void setListener(Listener listener);

    QString text(QAccessible::Text kind) const override;
    QAccessible::State state() const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    // QAccessibleTextInterface
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                             int *startOffset, int *endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                            int *startOffset, int *endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                         int *endOffset) const override;

    // QAccessibleEditableTextInterface
    void deleteText(int startOffset, int endOffset) override;
    void insertText(int offset, const QString &text) override;
    void replaceText(int startOffset, int endOffset, const QString &text) override;

private:
    WireTextEdit *box() const;
    // The unit of `boundary` around the character at `offset`.
    struct Unit
    {
        qsizetype from;
        qsizetype to;
    };
    Unit unitAt(qsizetype offset, QAccessible::TextBoundaryType boundary) const;
    QString unitText(const Unit &unit, int *startOffset, int *endOffset) const;
};
