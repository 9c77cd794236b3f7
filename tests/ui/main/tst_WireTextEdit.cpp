#include "WireText.h"
#include "WireTextEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

// The box's text is exactly what was put in, however it was split into appends,
// and what is shown never hides a character.
class tst_WireTextEdit : public QObject
{
    Q_OBJECT

private:
    static QString allBytes()
    {
        QString text;
        for (int c = 0; c < 256; ++c)
            text += QChar(char16_t(c));
        return text;
    }

private slots:
    void exactAcrossAppends_data()
    {
        QTest::addColumn<QStringList>("pieces");
        QTest::newRow("CR LF, CR and LF") << QStringList{"a\r\nb\rc\nd"};
        QTest::newRow("CR LF split") << QStringList{"line\r", "\nnext"};
        QTest::newRow("CR then CR LF") << QStringList{"\r", "\r\n", "\n", "\r"};
        QTest::newRow("LF CR") << QStringList{"\n\r", "x"};
        QTest::newRow("lone CR then text") << QStringList{"a\r", "b"};
        QTest::newRow("blank lines") << QStringList{"\r\n\r\n", "\r\n"};
        QTest::newRow("controls") << QStringList{QString::fromLatin1("\0\x01\t\x1b\x7f", 5)};
        QTest::newRow("all bytes") << QStringList{allBytes(), allBytes()};
        QTest::newRow("status after text") << QStringList{"no break", "CLOSED.\r\n"};
    }
    void exactAcrossAppends()
    {
        QFETCH(QStringList, pieces);
        WireTextEdit box;
        for (const QString &piece : pieces)
            box.appendText(piece);
        QCOMPARE(box.text(), pieces.join(QString()));
    }

    void showsLineEndsAndControls()
    {
        WireTextEdit box;
        box.appendText(QString::fromLatin1("a\r\nb\rc\nd\0e\xAD", 11));
        const QStringList shown = box.toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(shown, (QStringList{"a", "b\u240D", "c\u240A", "d\u2400e\u2010"}));
    }

    void longLineIsSplitButExact()
    {
        WireTextEdit box;
        QString line;
        for (int i = 0; i < 3 * WireText::maxBlockLength + 17; ++i)
            line += QChar(u'a' + i % 26);
        // Appended in uneven pieces, as a network peer would deliver it.
        for (int at = 0; at < line.size(); at += 1000)
            box.appendText(line.mid(at, 1000));
        QCOMPARE(box.text(), line);
        box.showPending();
        QCOMPARE(box.document()->blockCount(), 4);
        for (QTextBlock b = box.document()->begin(); b.isValid(); b = b.next())
            QVERIFY(b.length() - 1 <= WireText::maxBlockLength + 1);
    }

    void setTextReplacesAndClearKeepsNothing()
    {
        WireTextEdit box;
        box.appendText(QStringLiteral("old\r"));
        box.setText(QString());
        box.appendText(QStringLiteral("\nnew"));
        // The CR before the clear must not pair with the LF after it.
        QCOMPARE(box.text(), QStringLiteral("\nnew"));
    }

    void typedLineBreakIsCrLf()
    {
        WireTextEdit box;
        box.show();
        box.setFocus();
        QTest::keyClicks(&box, QStringLiteral("ab"));
        QTest::keyClick(&box, Qt::Key_Return);
        QTest::keyClick(&box, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(&box, QStringLiteral("c"));
        QCOMPARE(box.text(), QStringLiteral("ab\r\n\r\nc"));
        box.appendText(QStringLiteral("\n"));
        QCOMPARE(box.text(), QStringLiteral("ab\r\n\r\nc\n"));
    }

    void typingAfterLoneCrDoesNotPairWithNextLf()
    {
        WireTextEdit box;
        box.show();
        box.appendText(QStringLiteral("x\r"));
        box.moveCursor(QTextCursor::End);
        QTest::keyClicks(&box, QStringLiteral("y"));
        box.appendText(QStringLiteral("\n"));
        QCOMPARE(box.text(), QStringLiteral("x\ry\n"));
    }

    void copyAndPasteAreExact_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("mixed line ends") << QStringLiteral("a\r\nb\rc\nd");
        QTest::newRow("controls") << QString::fromLatin1("\x01\x02\0z", 4);
        QTest::newRow("trailing CR LF") << QStringLiteral("end\r\n");
    }
    void copyAndPasteAreExact()
    {
        QFETCH(QString, text);
        WireTextEdit source;
        source.appendText(text);
        source.selectAll();
        source.copy();
        QCOMPARE(QApplication::clipboard()->text(), text);

        WireTextEdit target;
        target.appendText(QStringLiteral("<>"));
        QTextCursor cursor = target.textCursor();
        cursor.setPosition(1);
        target.setTextCursor(cursor);
        target.paste();
        QCOMPARE(target.text(), QStringLiteral("<") + text + QStringLiteral(">"));
    }

    void symbolsTheUserPutsInStayThemselves_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::newRow("NUL symbol") << QStringLiteral("\u2400");
        QTest::newRow("CR symbol before CR LF") << QStringLiteral("\u240D\r\nx");
        QTest::newRow("LF symbol at the end") << QStringLiteral("a\u240A");
        QTest::newRow("line separator") << QStringLiteral("a\u2028b");
        QTest::newRow("word joiner") << QStringLiteral("\u2060");
        QTest::newRow("hyphen") << QStringLiteral("\u2010-\u00AD");
    }
    void symbolsTheUserPutsInStayThemselves()
    {
        QFETCH(QString, pasted);
        WireTextEdit box;
        box.show();
        QApplication::clipboard()->setText(pasted);
        box.paste();
        QCOMPARE(box.text(), pasted);
        // Typed, a break after the pasted text is CR LF; data after it keeps its meaning.
        QTest::keyClick(&box, Qt::Key_Return);
        QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier,
                        QStringLiteral("\u2400"));
        QApplication::sendEvent(&box, &typed);
        box.appendText(QStringLiteral("\x01\r"));
        box.appendText(QStringLiteral("\n"));
        QCOMPARE(box.text(), pasted + QStringLiteral("\r\n\u2400\x01\r\n"));
    }

    void partialSelectionCopiesItsOwnText()
    {
        WireTextEdit box;
        box.appendText(QStringLiteral("ab\r\ncd\nef"));
        // Shown as "ab" / "cd␊" / "ef": select from 'b' to 'e'.
        QCOMPARE(box.exactText(1, 8), QStringLiteral("b\r\ncd\ne"));
        QCOMPARE(box.exactText(3, 5), QStringLiteral("cd"));
    }

    void followsTheEndOnlyWhenAtTheEnd()
    {
        WireTextEdit box;
        box.resize(300, 200);
        box.show();
        QScrollBar *bar = box.verticalScrollBar();
        for (int i = 0; i < 200; ++i)
            box.appendText(QStringLiteral("line %1\r\n").arg(i));
        // A burst is gathered and shown a moment later.
        QTRY_VERIFY(box.toPlainText().endsWith(QStringLiteral("line 199\n")));
        QCOMPARE(bar->value(), bar->maximum());
        QTextCursor end(box.document());
        end.movePosition(QTextCursor::End);
        QVERIFY(box.viewport()->rect().contains(box.cursorRect(end).center()));

        bar->setValue(10);
        box.appendText(QStringLiteral("more\r\nand more\r\n"));
        box.showPending();
        QCOMPARE(bar->value(), 10);
    }
};

QTEST_MAIN(tst_WireTextEdit)
#include "tst_WireTextEdit.moc"
