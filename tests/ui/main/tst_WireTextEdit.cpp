#include "CodePageTable.h"
#include "LineBreakSetting.h"
#include "RowPainter.h"
#include "TextRules.h"
#include "TimeTexts.h"
#include "WireEditScript.h"
#include "WireMetrics.h"
#include "WireTextEdit.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTest>
#include <QTimeZone>
#include <QTimer>

// The box's text is exactly what was put in, whatever was edited around it,
// and what is shown never hides a character or invents a line break.
class tst_WireTextEdit : public QObject
{
    Q_OBJECT

private:
    static QString allBytes()
    {
        QByteArray bytes;
        for (int c = 0; c < 256; ++c)
            bytes += char(c);
        return CodePageTable::decode(bytes);
    }
    static QFont wireFont()
    {
        QFont font(QStringLiteral("Courier New"));
        font.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")});
        font.setPointSizeF(8.25);
        return font;
    }
    static QString outputDir()
    {
        const QString dir = qEnvironmentVariable("TAPWIRE_TEST_OUTPUT");
        return dir.isEmpty() ? QStringLiteral(".") : dir;
    }

private slots:
    // The setting Enter's choice is kept in stays away from the user's own.
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void exactAcrossAppends_data()
    {
        QTest::addColumn<QStringList>("pieces");
        QTest::newRow("CR LF, CR and LF") << QStringList{"a\r\nb\rc\nd"};
        QTest::newRow("CR LF split") << QStringList{"line\r", "\nnext"};
        QTest::newRow("CR then CR LF") << QStringList{"\r", "\r\n", "\n", "\r"};
        QTest::newRow("LF CR") << QStringList{"\n\r", "x"};
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

    void setTextForgetsALoneCr()
    {
        WireTextEdit box;
        box.appendText(QStringLiteral("old\r"));
        box.setText(QString());
        box.appendText(QStringLiteral("\nnew"));
        QCOMPARE(box.text(), QStringLiteral("\nnew"));
        QCOMPARE(box.rows().rowCount(), 2);
    }

    void editsMatchTheReference_data()
    {
        QTest::addColumn<bool>("outgoing");
        QTest::addColumn<int>("width");
        QTest::addColumn<qsizetype>("slice");
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<bool>("dump");
        QList<quint32> seeds{1, 2, 3};
        if (qEnvironmentVariableIsSet("TAPWIRE_SEED"))
            seeds = {quint32(qEnvironmentVariableIntValue("TAPWIRE_SEED"))};
        for (const quint32 seed : seeds) {
            QTest::addRow("outgoing box, seed %u", seed)
                << true << 240 << qsizetype(1 << 20) << seed << false;
            QTest::addRow("transcript, seed %u", seed)
                << false << 240 << qsizetype(1 << 20) << seed << false;
            // A few characters to a row, so that a mark that no longer fits
            // moves words across several rows.
            QTest::addRow("narrow transcript, seed %u", seed)
                << false << 70 << qsizetype(1 << 20) << seed << false;
            // Laid out a few characters at a time, so that edits meet rows
            // that are not laid out yet.
            QTest::addRow("transcript in slices, seed %u", seed)
                << false << 240 << qsizetype(9) << seed << false;
            // Shown as a hex dump now and then, wide enough for its columns.
            QTest::addRow("transcript and its dump, seed %u", seed)
                << false << 560 << qsizetype(9) << seed << true;
        }
    }
    void editsMatchTheReference()
    {
        QFETCH(bool, outgoing);
        QFETCH(int, width);
        QFETCH(qsizetype, slice);
        QFETCH(quint32, seed);
        QFETCH(bool, dump);
        WireTextEdit box;
        box.setLayoutSlice(slice);
        box.setFont(wireFont());
        box.setUndoRedoEnabled(outgoing);
        // Narrow, so that lines wrap often; the dump low, so that a page is short.
        box.resize(width, dump ? 64 : 120);
        box.show();
        box.setFocus();
        QRandomGenerator generator(seed);
        auto random = [&generator](quint32 bound) { return generator.bounded(bound); };
        WireEditScript<decltype(random)> script(box, random, dump);
        for (int step = 0; step < 800; ++step) {
            const QString failure = script.step();
            QVERIFY2(failure.isEmpty(),
                     qPrintable(QStringLiteral("step %1: %2").arg(step).arg(failure)));
        }
    }

    void enterInsertsTheChosenLineBreak_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QString>("inserted");
        QTest::newRow("CR LF") << int(EditCommands::LineBreak::CrLf) << QStringLiteral("\r\n");
        QTest::newRow("LF") << int(EditCommands::LineBreak::Lf) << QStringLiteral("\n");
        QTest::newRow("CR") << int(EditCommands::LineBreak::Cr) << QStringLiteral("\r");
    }
    void enterInsertsTheChosenLineBreak()
    {
        // Chosen, the line break is kept for the next run; Enter, Return and
        // the keypad's Enter put it in, in the text and in the dump.
        QFETCH(int, choice);
        QFETCH(QString, inserted);
        {
            QWidget window;
            LineBreakSetting(&window).setLineBreak(EditCommands::LineBreak(choice));
        }
        QWidget window;
        const LineBreakSetting kept(&window);
        QCOMPARE(int(kept.lineBreak()), choice);
        WireTextEdit box;
        box.setLineBreak(kept.lineBreak());
        box.setHexEditable(true);
        box.show();
        box.setFocus();
        QTest::keyClick(&box, Qt::Key_Return);
        QTest::keyClick(&box, Qt::Key_Enter, Qt::KeypadModifier);
        box.setHexShown(true);
        QTest::keyClick(&box, Qt::Key_Enter);
        QCOMPARE(box.text(), inserted.repeated(3));
    }

    void longLineIsOneLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("after");
        QTest::newRow("5,000 A, CR LF, 50 B")
            << QString(5000, u'A') << QStringLiteral("\r\n") + QString(50, u'B');
        QTest::newRow("64 MiB") << QString(64 * 1024 * 1024, u'A') << QString();
        QTest::newRow("words") << QStringLiteral("word ").repeated(1000) << QString();
    }
    void longLineIsOneLine()
    {
        QFETCH(QString, line);
        QFETCH(QString, after);
        WireTextEdit box;
        box.setFont(wireFont());
        box.resize(801, 353);
        // Appended in uneven pieces, as a peer would deliver it.
        for (qsizetype at = 0; at < line.size(); at += 65521)
            box.appendText(line.mid(at, 65521));
        box.appendText(after);
        QCOMPARE(box.text().size(), line.size() + after.size());

        // Every row of the line but its last is full: the next character, or
        // the next word where the row ends after a space, would not fit.
        const RowLayout &rows = box.rows();
        const int width = rows.width();
        const int cell = box.metrics().advance(u'A');
        const QString text = box.text();
        qsizetype row = 0;
        for (; rows.rowEnd(row, text.size()) < line.size(); ++row) {
            const qsizetype start = rows.rowStart(row);
            const qsizetype end = rows.rowEnd(row, text.size());
            const int used = int(end - start) * cell;
            qsizetype next = 1;
            if (text[end - 1] == u' ')
                next = text.indexOf(u' ', end) - end;
            const bool full = used + int(next) * cell > width;
            if (!full)
                QFAIL(qPrintable(
                    QStringLiteral("row %1 (%2..%3) ends short").arg(row).arg(start).arg(end)));
        }
        // Then the line's last row, and a row for what follows its line end.
        QCOMPARE(rows.rowCount(), row + (after.isEmpty() ? 1 : 2));
    }

    void marksAreLegibleAndDistinct()
    {
        // At 96 dpi, each control character (but TAB), each byte the code page
        // leaves undefined, NBSP and SHY show as a mark of their own.
        QString marked;
        for (char16_t c = 0; c < 0x20; ++c)
            if (c != u'\t')
                marked += QChar(c);
        marked += QStringLiteral("\x7F\u0081\u008D\u008F\u0090\u009D\u00A0\u00AD");
        QCOMPARE(marked.size(), 32 + 5 + 2);

        const WireMetrics metrics(wireFont());
        const RowPainter marks;
        const auto render = [&](const std::function<void(QPainter &)> &draw) {
            QImage image(40, metrics.rowHeight(), QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            painter.setFont(metrics.font());
            draw(painter);
            return image;
        };
        QList<QImage> images;
        for (const QChar c : marked) {
            const QImage image = render([&](QPainter &painter) {
                marks.drawMark(painter, metrics, 0, 0, c.unicode(), Qt::black, Qt::white);
            });
            int top = image.height();
            int bottom = -1;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (image.pixel(x, y) != qRgb(255, 255, 255)) {
                        top = qMin(top, y);
                        bottom = qMax(bottom, y);
                    }
                }
            }
            QVERIFY2(bottom - top + 1 >= 7, qPrintable(TextRules::markFor(c.unicode()).label));
            images << image;
        }
        // Nor may a mark look like a space, a hyphen or a missing glyph.
        for (const QString &look :
             {QStringLiteral(" "), QStringLiteral("-"), QStringLiteral("\uFFFF")})
            images << render([&](QPainter &painter) {
                painter.setPen(Qt::black);
                painter.drawText(QPointF(0, metrics.baseline()), look);
            });
        for (int a = 0; a < images.size(); ++a)
            for (int b = a + 1; b < images.size(); ++b)
                QVERIFY2(images[a] != images[b],
                         qPrintable(QStringLiteral("%1 and %2 look alike").arg(a).arg(b)));
    }

    void screenshotOfEveryByte()
    {
        WireTextEdit box;
        box.setFont(wireFont());
        box.resize(801, 353);
        const QString bytes = allBytes();
        for (int row = 0; row < 16; ++row)
            box.appendText(bytes.mid(row * 16, 16) + QStringLiteral(" \r\n"));
        box.show();
        const QString path = outputDir() + QStringLiteral("/wire-every-byte.png");
        QVERIFY(box.grab().save(path));
    }

    void hexDumpShowsTheSameDocument()
    {
        WireTextEdit box;
        box.setFont(wireFont());
        box.setUndoRedoEnabled(false);
        box.resize(801, 353);
        const QString bytes = allBytes();
        box.appendText(bytes);
        box.setHexShown(true);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        // Sixteen characters to a row, each row's offset that of its first.
        const HexRows &rows = box.hexRows();
        QCOMPARE(rows.cellCount(), 256);
        for (qsizetype row = 0; row < 16; ++row)
            QCOMPARE(rows.rowStart(row), row * 16);
        QCOMPARE(HexRows::offsetText(0xF0), QStringLiteral("000000F0"));
        QVERIFY(box.grab().save(outputDir() + QStringLiteral("/wire-hex-dump.png")));

        // Selecting in the dump selects the same characters; Copy copies them.
        const QPoint from = box.characterRect(20).topLeft() + QPoint(1, 1);
        const QPoint to = box.characterRect(40).topLeft() + QPoint(1, 1);
        QTest::mousePress(box.viewport(), Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(box.viewport(), to);
        QTest::mouseRelease(box.viewport(), Qt::LeftButton, Qt::NoModifier, to);
        QCOMPARE(qMakePair(box.anchorPosition(), box.cursorPosition()),
                 qMakePair(qsizetype(20), qsizetype(40)));
        box.copy();
        QCOMPARE(QApplication::clipboard()->text(), bytes.mid(20, 20));

        // Nothing the user does changes the text; what a peer sends arrives.
        box.setFocus();
        QTest::keyClicks(&box, QStringLiteral("x"));
        QTest::keyClick(&box, Qt::Key_Backspace);
        QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
        QAccessible::queryAccessibleInterface(&box)->editableTextInterface()->insertText(
            0, QStringLiteral("x"));
        QCOMPARE(box.text(), bytes);
        // The menu, the way back to the text, still opens from the keyboard.
        QStringList offered;
        QTimer::singleShot(0, &box, [&offered] {
            if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
                for (const QAction *action : menu->actions())
                    offered << action->text();
                menu->close();
            }
        });
        QTest::keyClick(&box, Qt::Key_F10, Qt::ShiftModifier);
        QVERIFY2(offered.join(u'|').contains(QStringLiteral("&Copy")),
                 qPrintable(offered.join(u'|')));
        box.appendText(QStringLiteral("end"));
        QCOMPARE(rows.cellCount(), 259);

        // A character the code page can't carry is one cell, a surrogate pair
        // too: the offsets after it stay right.
        box.setHexShown(false);
        box.setCursorPosition(5);
        QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier,
                        QStringLiteral("\U0001F600"));
        QApplication::sendEvent(&box, &typed);
        box.setHexShown(true);
        QCOMPARE(rows.cellCount(), 260);
        QCOMPARE(rows.rowStart(1), 17);
        QCOMPARE(rows.cellOf(box.text().size()), 260);
        QCOMPARE(HexRows::cellText(box.document(), 5), QStringLiteral("\U0001F600"));
        QCOMPARE(HexRows::cellText(box.document(), 0), QStringLiteral("\u2400"));
    }

    // The gutter's local times, in a zone east or west of UTC: cut to the
    // millisecond, never rounded up into the next second or day.
    void clockTimesAreLocal_data()
    {
        QTest::addColumn<qint64>("time");
        QTest::addColumn<int>("offset");
        QTest::addColumn<QString>("shown");
        const qint64 read = 1709647387123456; // 2024-03-05 14:03:07.123456 UTC
        QTest::newRow("UTC") << read << 0 << "14:03:07.123";
        QTest::newRow("east, past midnight") << read << 10 * 3600 + 1800 << "00:33:07.123";
        QTest::newRow("west, the day before")
            << read - qint64(14) * 3600'000'000 << -8 * 3600 << "16:03:07.123";
        QTest::newRow("cut, not rounded") << read - 123456 - 400 << 0 << "14:03:06.999";
    }
    void clockTimesAreLocal()
    {
        QFETCH(qint64, time);
        QFETCH(int, offset);
        QFETCH(QString, shown);
        QCOMPARE(TimeTexts::clockTime(time, QTimeZone(offset)), shown);
    }

    // What the tip says about the character under the pointer: its piece's
    // read time, size (a piece an edit cut in two whole) and the gap since
    // the piece before; a status line's time; nothing for typed text.
    void tipsTellThePiece_data()
    {
        QTest::addColumn<qsizetype>("position");
        QTest::addColumn<QString>("tip");
        const QString first = QStringLiteral("Read 14:03:07.123456 \u00B7 1,448 bytes \u00B7 no "
                                             "earlier piece in the transcript");
        QTest::newRow("first piece") << qsizetype(0) << first;
        QTest::newRow("typed inside it") << qsizetype(100) << QString();
        QTest::newRow("its other half") << qsizetype(1449) << first;
        QTest::newRow("status line")
            << qsizetype(1450) << QStringLiteral("Status line written 14:03:07.123461");
        QTest::newRow("one byte")
            << qsizetype(1459)
            << QStringLiteral("Read 14:03:07.124268 \u00B7 1 byte \u00B7 0.812 ms after the "
                              "previous piece");
        QTest::newRow("seconds later")
            << qsizetype(1462)
            << QStringLiteral("Read 14:03:19.123801 \u00B7 3 bytes \u00B7 11.999533 s after "
                              "the previous piece");
        QTest::newRow("clock set back")
            << qsizetype(1463)
            << QStringLiteral("Read 14:03:19.121301 \u00B7 1 byte \u00B7 2.500 ms before the "
                              "previous piece");
    }
    void tipsTellThePiece()
    {
        QFETCH(qsizetype, position);
        QFETCH(QString, tip);
        const qint64 read = 1709647387123456;
        OriginSpans origins;
        origins.append(1448, {Origin::Peer, read});
        origins.append(9, {Origin::Status, read + 5});
        origins.append(1, {Origin::Peer, read + 812});
        origins.append(3, {Origin::Peer, read + 12'000'345});
        origins.append(1, {Origin::Peer, read + 11'997'845});
        origins.replace(100, 100, {{2, {}}});
        QCOMPARE(TimeTexts::originTip(origins, position, QTimeZone::utc()), tip);
    }

    void copyAndPasteAreExact_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("mixed line ends") << QStringLiteral("a\r\nb\rc\nd");
        QTest::newRow("controls") << QString::fromLatin1("\x01\x02\0z", 4);
        QTest::newRow("trailing CR LF") << QStringLiteral("end\r\n");
        QTest::newRow("every byte") << allBytes();
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
        target.setCursorPosition(1);
        target.paste();
        QCOMPARE(target.text(), QStringLiteral("<") + text + QStringLiteral(">"));
    }

    void clicksSelectAWordAndALine()
    {
        WireTextEdit box;
        box.setFont(wireFont());
        box.resize(400, 200);
        box.show();
        for (int i = 0; i < 200; ++i)
            box.appendText(QStringLiteral("line %1 here\r\n").arg(i));
        QScrollBar *bar = box.verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 100);
        bar->setValue(100);
        const QPoint onWord =
            box.characterRect(box.text().indexOf(QStringLiteral("102 here")) + 1).center();
        QTest::mouseDClick(box.viewport(), Qt::LeftButton, Qt::NoModifier, onWord);
        QCOMPARE(box.selectedText(), QStringLiteral("102"));
        QTest::mouseClick(box.viewport(), Qt::LeftButton, Qt::NoModifier, onWord);
        QCOMPARE(box.selectedText(), QStringLiteral("line 102 here\r\n"));
        QCOMPARE(bar->value(), 100);
    }

    void followsTheEndOnlyWhenAtTheEnd()
    {
        WireTextEdit box;
        box.resize(300, 200);
        box.show();
        QScrollBar *bar = box.verticalScrollBar();
        for (int i = 0; i < 200; ++i)
            box.appendText(QStringLiteral("line %1\r\n").arg(i));
        // A burst is shown a moment later, all together.
        QTRY_COMPARE(bar->maximum(),
                     200 + 1 - (box.viewport()->height() - 4) / box.metrics().rowHeight());
        QCOMPARE(bar->value(), bar->maximum());

        bar->setValue(10);
        box.appendText(QStringLiteral("more\r\nand more\r\n"));
        QCOMPARE(bar->value(), 10);
    }

    void readsOutToAScreenReader()
    {
        WireTextEdit box;
        box.show();
        box.setText(QStringLiteral("ab\r\ncd"));
        box.setSelection(1, 5);
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&box);
        QVERIFY(accessible);
        QCOMPARE(accessible->role(), QAccessible::EditableText);
        QAccessibleTextInterface *text = accessible->textInterface();
        QVERIFY(text);
        QCOMPARE(text->characterCount(), 6);
        QCOMPARE(text->text(0, 6), box.text());
        QCOMPARE(text->cursorPosition(), 5);
        int from = 0;
        int to = 0;
        text->selection(0, &from, &to);
        QCOMPARE(qMakePair(from, to), qMakePair(1, 5));
        // A position inside the CR LF is no place for the caret.
        text->setCursorPosition(3);
        QCOMPARE(box.cursorPosition(), 2);

        // Each run names its origin, so that a peer's line that imitates
        // a status line is told from a real one.
        box.appendBytes("CLOSED.\r\n", {Origin::Peer, 1});
        box.appendText(QStringLiteral("CLOSED.\r\n"), {Origin::Status, 2});
        for (const auto &[offset, origin, run] :
             {std::tuple{0, "typed", qMakePair(0, 6)}, std::tuple{8, "peer", qMakePair(6, 15)},
              std::tuple{15, "status", qMakePair(15, 24)}}) {
            QVERIFY2(text->attributes(offset, &from, &to)
                         .startsWith(QStringLiteral("tapwire-origin:%1;").arg(origin)),
                     origin);
            QCOMPARE(qMakePair(from, to), run);
        }
    }

    void aReaderHearsEveryCharacter()
    {
        // Strings on the accessibility bus end at U+0000: each control
        // character is its control picture, one for one at the same offset.
        WireTextEdit box;
        box.resize(600, 200);
        box.show();
        const QString sent = CodePageTable::decode(
            QByteArray("one\r\ntwo\rthree\nfour\0\a\x1b[0m\x7f\tfive\xe9\x80 end", 37));
        box.appendText(sent);
        QAccessibleTextInterface *text =
            QAccessible::queryAccessibleInterface(&box)->textInterface();
        QCOMPARE(text->characterCount(), int(sent.size()));
        QString spoken = sent;
        spoken.replace(u'\0', u'\u2400').replace(u'\a', u'\u2407').replace(u'\x1b', u'\u241B');
        spoken.replace(u'\x7f', u'\u2421');
        QCOMPARE(text->text(0, -1), spoken);
        QCOMPARE(text->text(20, 25), spoken.mid(20, 5));
        // A line is a row as shown: a lone CR ends one.
        int from = 0;
        int to = 0;
        QCOMPARE(text->textAtOffset(6, QAccessible::LineBoundary, &from, &to),
                 QStringLiteral("two\r"));
        const int five = int(sent.indexOf(QStringLiteral("five")));
        const int four = int(sent.indexOf(QStringLiteral("four")));
        QCOMPARE(text->textAtOffset(five, QAccessible::LineBoundary, &from, &to), spoken.mid(four));
        QCOMPARE(qMakePair(from, to), qMakePair(four, int(sent.size())));
        QCOMPARE(text->textBeforeOffset(five, QAccessible::LineBoundary, &from, &to),
                 QStringLiteral("three\n"));
        QCOMPARE(text->textAfterOffset(0, QAccessible::LineBoundary, &from, &to),
                 QStringLiteral("two\r"));
        QCOMPARE(text->textAtOffset(five, QAccessible::WordBoundary, &from, &to),
                 QStringLiteral("five\u00E9"));
    }
};

QTEST_MAIN(tst_WireTextEdit)
#include "tst_WireTextEdit.moc"
