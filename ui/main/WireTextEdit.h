#pragma once

#include "TextArea.h"

#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTimer>

class QTextBlock;
class QTextCursor;

// A multi-line box for text that crossed, or will cross, the wire. Its text is
// exact: CR LF, a lone CR and a lone LF stay distinct and every character
// survives. On screen CR LF is a line break, a lone CR or LF shows its symbol
// and ends the line, and other control characters show as their symbols, so
// nothing arrives invisibly. Appending costs in proportion to the piece, however
// long the text or its lines grow.
class WireTextEdit : public QPlainTextEdit, public TextArea
{
    Q_OBJECT

public:
    explicit WireTextEdit(QWidget *parent = nullptr);

    QString text() const override;
    void setText(const QString &text) override;
    // Shown at once when the box is idle; while a peer floods, pieces are
    // gathered briefly and shown together. text() includes them either way.
    void appendText(const QString &piece) override;
    // Shows whatever appendText() is still gathering.
    void showPending();

    // The exact text between two positions of the displayed document.
    QString exactText(int from, int to) const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    QMimeData *createMimeDataFromSelection() const override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    void showPiece(QStringView piece);
    // Puts text the user typed or pasted at the cursor, exactly.
    void insertUserText(QTextCursor &cursor, QStringView exact);
    static char16_t *writeBlock(char16_t *out, const QString &shown, int first, int last,
                                char16_t &beforeBreak);
    static char16_t *writeBlockWithLiterals(char16_t *out, const QTextBlock &block, int first,
                                            int last, char16_t &beforeBreak);

    QString m_pending;
    QElapsedTimer m_sinceShown;
    QTimer m_showTimer;
    // The last append ended in a CR shown as a line of its own; an LF at the
    // start of the next piece turns it into the CR LF it really was.
    bool m_crPending = false;
    bool m_appending = false;
    // Whether the user ever put in a character that looks like one of the
    // box's symbols; until then the text is read without looking at formats.
    bool m_hasLiterals = false;
};
