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
    }

    void looksAsBefore_data()
    {
        QTest::addColumn<bool>("outgoing");
        QTest::newRow("outgoing") << true;
        QTest::newRow("transcript") << false;
    }
    void looksAsBefore()
    {
        QFETCH(bool, outgoing);
        WireTextEdit box;
        box.setUndoRedoEnabled(outgoing);
        box.setFont(pinnedFont());
        box.resize(230, 120);
        // Marks, a lone CR and LF, CR LF, a line that wraps at a space and a
        // word longer than a row.
        box.appendText(
            QString::fromLatin1("GET / HTTP/1.0\r\nnul\0bel\x07 esc\x1b[0m\tdel\x7f", 37) +
            QStringLiteral("\rcr\nlf \u00A0nbsp \u00AD soft \u20AC\r\n") +
            QStringLiteral("a line long enough to wrap twice in this narrow box, ") +
            QString(40, u'W') + QStringLiteral("\r\nlast"));
        box.setSelection(outgoing ? 5 : 20, outgoing ? 22 : 60);
        box.show();
        QApplication::setActiveWindow(&box);
        box.setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        QTRY_VERIFY(box.hasFocus());
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
