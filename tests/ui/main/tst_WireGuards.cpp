#include "StatusColours.h"
#include "WireTextAccessible.h"
#include "WireTextEdit.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QStyleFactory>
#include <QTest>

// What a person sees of both boxes, pixel for pixel, and what a screen reader
// hears as they change, event for event: neither changes unless meant to.
// TAPWIRE_UPDATE_GOLDEN=1 writes the pictures anew into the source tree.
class tst_WireGuards : public QObject
{
    Q_OBJECT

private:
    static QFont pinnedFont()
    {
        // The package depends on Liberation; nothing else may stand in.
        QFont font(QStringLiteral("Liberation Mono"));
        font.setPointSizeF(8.25);
        return font;
    }

    static QStringList &events()
    {
        static QStringList log;
        return log;
    }
    static void logEvent(QAccessibleEvent *event)
    {
        if (!qobject_cast<WireTextEdit *>(event->object()))
            return;
        const auto shown = [](const QString &text) {
            QString out;
            for (const QChar c : text)
                out += c.unicode() < 0x20 || c.unicode() >= 0x7F
                           ? QStringLiteral("<%1>").arg(c.unicode(), 0, 16)
                           : QString(c);
            return out;
        };
        switch (event->type()) {
        case QAccessible::TextInserted: {
            const auto *insert = static_cast<QAccessibleTextInsertEvent *>(event);
            events() << QStringLiteral("insert %1 %2")
                            .arg(insert->changePosition())
                            .arg(shown(insert->textInserted()));
            break;
        }
        case QAccessible::TextRemoved: {
            const auto *remove = static_cast<QAccessibleTextRemoveEvent *>(event);
            events() << QStringLiteral("remove %1 %2")
                            .arg(remove->changePosition())
                            .arg(shown(remove->textRemoved()));
            break;
        }
        case QAccessible::TextCaretMoved:
            events() << QStringLiteral("caret %1")
                            .arg(
                                static_cast<QAccessibleTextCursorEvent *>(event)->cursorPosition());
            break;
        case QAccessible::TextSelectionChanged: {
            const auto *selection = static_cast<QAccessibleTextSelectionEvent *>(event);
            events() << QStringLiteral("select %1..%2 caret %3")
                            .arg(selection->selectionStart())
                            .arg(selection->selectionEnd())
                            .arg(selection->cursorPosition());
            break;
        }
        default:
            break;
        }
    }

private slots:
    void initTestCase()
    {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        // A caret that does not blink is always drawn.
        QApplication::setCursorFlashTime(0);
        // The gutter shows local times.
        qputenv("TZ", "UTC");
    }

    // A peer's line that imitates a status line, the real one, and a peer's
    // text with no line end that a status line follows on the same row.
    static void appendForgedAndReal(WireTextEdit &box)
    {
        box.appendBytes("CLOSED.\r\n", {Origin::Peer, 1});
        box.appendText(QStringLiteral("CLOSED.\r\n"), {Origin::Status, 2});
        box.appendBytes("no line end", {Origin::Peer, 3});
        box.appendText(QStringLiteral("CLOSED.\r\n"), {Origin::Status, 4});
    }

    // Times beside lines that start in the middle of a piece, a line split
    // across pieces, a status line sharing the peer's row, typed text, a
    // line that wraps and one after a lone LF.
    static void appendTimed(WireTextEdit &box)
    {
        const qint64 read = 1709647387123456; // 2024-03-05 14:03:07.123456 UTC
        box.appendBytes("HTTP/1.1 200 OK\r\nServer: x\r\nContent-Le", {Origin::Peer, read});
        box.appendBytes("ngth: 5\r\n\r\nhello", {Origin::Peer, read + 879'000});
        box.appendText(QStringLiteral("CLOSED.\r\n"), {Origin::Status, read + 1'500'000});
        box.appendText(QStringLiteral("typed\r\n"));
        box.appendBytes(QByteArray(90, 'w') + " no line end\nafter a lone LF",
                        {Origin::Peer, read + 2'004'000});
    }

    void looksAsBefore_data()
    {
        QTest::addColumn<bool>("outgoing");
        QTest::addColumn<bool>("statusLines");
        QTest::addColumn<bool>("dump");
        QTest::addColumn<bool>("times");
        QTest::newRow("outgoing") << true << false << false << false;
        QTest::newRow("transcript") << false << false << false << false;
        QTest::newRow("status-lines") << false << true << false << false;
        QTest::newRow("status-lines-dump") << false << true << true << false;
        QTest::newRow("times") << false << true << false << true;
        QTest::newRow("times-dump") << false << true << true << true;
        // Typing over, with a hex digit waiting for its pair.
        QTest::newRow("outgoing-dump") << true << false << true << false;
    }
    void looksAsBefore()
    {
        QFETCH(bool, outgoing);
        QFETCH(bool, statusLines);
        QFETCH(bool, dump);
        QFETCH(bool, times);
        WireTextEdit box;
        box.setUndoRedoEnabled(outgoing);
        box.setFont(pinnedFont());
        box.resize(times ? QSize(660, 160) : QSize(statusLines ? 560 : 230, 120));
        if (statusLines) {
            if (times)
                appendTimed(box);
            else
                appendForgedAndReal(box);
            box.setHexShown(dump);
            box.setTimesShown(times);
        } else {
            // Marks, a lone CR and LF, CR LF, a line that wraps at a space
            // and a word longer than a row.
            box.appendText(
                QString::fromLatin1("GET / HTTP/1.0\r\nnul\0bel\x07 esc\x1b[0m\tdel\x7f", 37) +
                QStringLiteral("\rcr\nlf \u00A0nbsp \u00AD soft \u20AC\r\n") +
                QStringLiteral("a line long enough to wrap twice in this narrow box, ") +
                QString(40, u'W') + QStringLiteral("\r\nlast"));
            box.setSelection(outgoing ? 5 : 20, outgoing ? 22 : 60);
        }
        box.show();
        QApplication::setActiveWindow(&box);
        box.setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        QTRY_VERIFY(box.hasFocus());
        if (outgoing && dump) {
            box.resize(560, 120);
            box.setHexEditable(true);
            box.setHexShown(true);
            box.setCursorPosition(18);
            QTest::keyClick(&box, Qt::Key_Insert);
            QTest::keyClick(&box, Qt::Key_4);
        }
        QImage image = box.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(image.devicePixelRatio(), 1.0);

        const QString name = QStringLiteral("wire-%1.png").arg(QTest::currentDataTag());
        const QDir golden(QStringLiteral(TAPWIRE_GOLDEN_DIR));
        if (qEnvironmentVariableIsSet("TAPWIRE_UPDATE_GOLDEN"))
            QVERIFY(image.save(golden.filePath(name)));
        const QImage expected(golden.filePath(name));
        QVERIFY2(!expected.isNull(), qPrintable(golden.filePath(name)));
        if (image != expected.convertToFormat(QImage::Format_RGB32)) {
            const QString actual =
                qEnvironmentVariable("TAPWIRE_TEST_OUTPUT", QStringLiteral(".")) +
                QStringLiteral("/actual-") + name;
            image.save(actual);
            QFAIL(qPrintable(QStringLiteral("differs from %1; see %2").arg(name, actual)));
        }
    }

    // The tint behind a status line and the mark beside it stand out from
    // the background by 3:1 as drawn, in a light and a dark palette, at one
    // and two device pixels to a pixel; the peer's half of a shared row
    // stays untinted.
    void statusLinesStandOut_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("light 1x") << false << 1.0;
        QTest::newRow("light 2x") << false << 2.0;
        QTest::newRow("dark 1x") << true << 1.0;
        QTest::newRow("dark 2x") << true << 2.0;
    }
    void statusLinesStandOut()
    {
        QFETCH(bool, dark);
        QFETCH(qreal, ratio);
        WireTextEdit box;
        box.setFont(pinnedFont());
        if (dark) {
            QPalette palette = box.palette();
            palette.setColor(QPalette::Base, QColor(0x23, 0x26, 0x29));
            palette.setColor(QPalette::Text, QColor(0xef, 0xf0, 0xf1));
            box.setPalette(palette);
        }
        box.resize(560, 120);
        appendForgedAndReal(box);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QImage image(box.viewport()->size() * ratio, QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        box.viewport()->render(&image);
        const auto pixel = [&](const QPoint &at) { return QColor(image.pixel(at * ratio)); };

        const QColor base = box.palette().color(QPalette::Base);
        // The first line is the peer's, the second a status line: the space
        // its line end shows as holds nothing but the tint.
        const QRect forgedEnd = box.characterRect(7);
        const QRect statusEnd = box.characterRect(16);
        const QColor tint = pixel(statusEnd.center());
        QCOMPARE(pixel(forgedEnd.center()), base);
        QVERIFY2(StatusColours::contrast(tint, base) >= 3.0, qPrintable(tint.name()));
        // Beside the rows that hold a status line's characters, in the
        // margin left of their first character, and beside no other.
        const auto besideRow = [&](qsizetype first) {
            const QRect at = box.characterRect(first);
            return pixel(QPoint(at.left() - 2, at.center().y()));
        };
        for (const qsizetype first : {9, 18})
            QVERIFY2(StatusColours::contrast(besideRow(first), base) >= 3.0,
                     qPrintable(besideRow(first).name()));
        QCOMPARE(besideRow(0), base);
        // The shared row: the top of the peer's first character, and of the
        // status line's.
        const auto top = [&](qsizetype position) {
            return pixel(box.characterRect(position).topLeft() + QPoint(1, 0));
        };
        QCOMPARE(top(18), base);
        QCOMPARE(top(29), tint);
    }

    void screenReaderHearsAsBefore()
    {
        WireTextAccessible::setListener(logEvent);
        events().clear();
        {
            WireTextEdit box;
            box.show();
            QApplication::setActiveWindow(&box);
            box.setFocus();
            QVERIFY(QTest::qWaitForWindowActive(&box));
            box.appendText(QStringLiteral("ab\r\n"));
            box.appendText(QString::fromLatin1("c\0d", 3));
            QTest::keyClicks(&box, QStringLiteral("xy"));
            box.setSelection(1, 4);
            QTest::keyClick(&box, Qt::Key_Backspace);
            QTest::keyClick(&box, Qt::Key_Z, Qt::ControlModifier);
            QTest::keyClick(&box, Qt::Key_End);
            QTest::keyClick(&box, Qt::Key_Left, Qt::ShiftModifier);
            QTest::keyClick(&box, Qt::Key_Return);
            box.setText(QStringLiteral("new"));
        }
        WireTextAccessible::setListener(nullptr);
        // Typing moves the caret with the text it adds: the insertion says so.
        // A control character is its control picture (U+2400 for NUL).
        const QStringList expected{
            QStringLiteral("insert 0 ab<d><a>"),
            QStringLiteral("insert 4 c<2400>d"),
            QStringLiteral("insert 7 x"),
            QStringLiteral("insert 8 y"),
            QStringLiteral("select 1..4 caret 4"),
            QStringLiteral("remove 1 b<d><a>"),
            QStringLiteral("insert 1 b<d><a>"),
            QStringLiteral("select 1..4 caret 4"),
            QStringLiteral("select 9..9 caret 9"),
            QStringLiteral("select 8..9 caret 8"),
            QStringLiteral("remove 8 y"),
            QStringLiteral("insert 8 <d><a>"),
            QStringLiteral("select 10..10 caret 10"),
            QStringLiteral("remove 0 ab<d><a>c<2400>dx<d><a>"),
            QStringLiteral("insert 0 new"),
            QStringLiteral("caret 0"),
        };
        QCOMPARE(events(), expected);
    }
};

QTEST_MAIN(tst_WireGuards)
#include "tst_WireGuards.moc"
