#include "CodePageTable.h"
#include "WindowDriver.h"

#include <QClipboard>
#include <QRandomGenerator>
#include <QRegularExpression>

using namespace LoopbackTools;

namespace {

// CR and LF in every order and count up to four, each run ended by a dot.
QByteArray crLfCombinations()
{
    QByteArray text;
    for (int length = 1; length <= 4; ++length) {
        for (int bits = 0; bits < (1 << length); ++bits) {
            for (int i = 0; i < length; ++i)
                text += (bits >> i) & 1 ? '\r' : '\n';
            text += '.';
        }
    }
    return text;
}

// The shape of a number text, checked without the port rule's own code: an
// optional minus; digits without a leading zero, a fraction without trailing
// zeros and without "0" before the point, or a mantissa with an exponent of
// at least two digits; at most 15 significant digits.
bool looksLikeNumberText(const QString &text)
{
    static const QRegularExpression shape(QStringLiteral(
        R"(^-?(?:[1-9]\d*(?:\.\d*[1-9])?|\.\d*[1-9]|[1-9](?:\.\d*[1-9])?E[+-]\d{2,})$)"));
    if (!shape.match(text).hasMatch())
        return false;
    QString digits = text.section(QLatin1Char('E'), 0, 0);
    digits.remove(QRegularExpression(QStringLiteral("[-.]")));
    while (digits.startsWith(QLatin1Char('0')))
        digits.remove(0, 1);
    return digits.size() <= 15;
}

// Plain (not exponent) number texts from 1E-4 up to below 1E15 are surely
// kept; beyond them, the exponent form's limits decide.
bool surelyKept(const QString &text)
{
    if (!looksLikeNumberText(text) || text.contains(QLatin1Char('E')))
        return false;
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    const QString whole = text.left(point < 0 ? text.size() : point).remove(QLatin1Char('-'));
    if (!whole.isEmpty())
        return whole.size() <= 15;
    return !text.contains(QStringLiteral(".0000"));
}

} // namespace

// What a user or a peer can throw at the window's entries: port texts the
// endpoint refuses, bytes of every kind through the outgoing box, text the
// code page cannot carry, and random editing of the port box.
class tst_HostileInput : public QObject
{
    Q_OBJECT

private:
    WindowDriver w;

    // Types as a keyboard with any character on it would; CR LF is the Enter key.
    static void type(QWidget *target, const QString &text)
    {
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.mid(i, 2) == QLatin1String("\r\n")) {
                QTest::keyClick(target, Qt::Key_Return);
                ++i;
            } else {
                QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(text.at(i)),
                                    Qt::NoModifier);
            }
        }
    }

    // Pastes as the user does, with the keyboard shortcut.
    static void paste(QWidget *target, const QString &text)
    {
        QApplication::clipboard()->setText(text);
        QTest::keySequence(target, QKeySequence::Paste);
    }

private slots:
    void init() { w.open(); }
    void cleanup() { w.close(); }

    void portTextsAreCheckedAtListenAndConnect_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("listen");
        QTest::addColumn<int>("reported");
        QTest::addColumn<int>("endpointPort");
        QTest::newRow("Connect -1") << "-1" << false << 380 << 0;
        QTest::newRow("Listen 65536") << "65536" << true << 380 << 0;
        QTest::newRow("Connect 65536") << "65536" << false << 380 << 0;
        QTest::newRow("Listen 99999999999") << "99999999999" << true << 6 << 0;
        QTest::newRow("Connect 99999999999") << "99999999999" << false << 6 << 0;
        QTest::newRow("Connect 1E+15") << "1E+15" << false << 6 << 0;
        QTest::newRow("Connect 2.5 rounds to 2") << "2.5" << false << 0 << 2;
    }
    void portTextsAreCheckedAtListenAndConnect()
    {
        QFETCH(QString, port);
        QFETCH(bool, listen);
        QFETCH(int, reported);
        QFETCH(int, endpointPort);
        w.line("txtAddress")->setText(QStringLiteral("127.0.0.1"));
        w.line("txtPort")->setText(port);
        QCOMPARE(w.line("txtPort")->text(), port);
        QVERIFY(w.click(listen ? "cmdListen" : "cmdConnect"));
        if (reported) {
            // Refused before the session starts: nothing appended, still idle.
            QCOMPARE(w.reportNumbers(), QList<int>{reported});
            QCOMPARE(w.enabledControls(), WindowDriver::idle());
            QCOMPARE(w.endpoint()->State(), int(EndpointState::Closed));
        } else {
            QCOMPARE(w.endpoint()->RemotePort(), endpointPort);
            QCOMPARE(w.enabledControls(), WindowDriver::pending());
            QVERIFY(w.click("cmdClose"));
        }
        QCOMPARE(w.transcript(), QString(reported ? "" : "CLOSED.\r\n"));
        w.listen();
        QCOMPARE(w.endpoint()->State(), int(EndpointState::Listening));
    }

    void pastedBytesGoOutAndComeBackExactly_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("NUL bytes") << QByteArray("\0a\0\0b\0", 6);
        QTest::newRow("every byte") << allBytesPattern(256);
        QTest::newRow("CR and LF in every combination") << crLfCombinations();
    }
    void pastedBytesGoOutAndComeBackExactly()
    {
        QFETCH(QByteArray, bytes);
        auto peer = w.acceptedPeer();
        QVERIFY(peer);
        const QString text = CodePageTable::decode(bytes);
        paste(w.box("txtSendData"), text);
        QVERIFY(w.click("cmdSendData"));
        QByteArray sent;
        QVERIFY(spinUntil([&] { return (sent += peer->readAll()).size() >= bytes.size(); }));
        QCOMPARE(sent, bytes);

        const QString before = w.transcript();
        peer->write(bytes);
        QVERIFY(spinUntil([&] { return w.transcript().size() >= before.size() + bytes.size(); }));
        QCOMPARE(w.transcript(), before + text);
    }

    void unencodableTextSendsNothing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("pasted");
        QTest::newRow("typed CJK") << QStringLiteral("ab\u4E2Dcd") << false;
        QTest::newRow("typed snowman after CR LF") << QStringLiteral("ok\r\n\u2603") << false;
        QTest::newRow("pasted emoji") << QStringLiteral("x \U0001F600 y") << true;
        QTest::newRow("pasted lone surrogate") << QString(QChar(0xD800)) << true;
    }
    void unencodableTextSendsNothing()
    {
        QFETCH(QString, text);
        QFETCH(bool, pasted);
        auto peer = w.acceptedPeer();
        QVERIFY(peer);
        WireTextEdit *out = w.box("txtSendData");
        out->setFocus();
        if (pasted)
            paste(out, text);
        else
            type(out, text);
        QCOMPARE(out->text(), text);
        QVERIFY(w.click("cmdSendData"));
        QCOMPARE(w.reportNumbers(), QList<int>{40200});

        // Nothing left: the next send arrives alone.
        out->selectAll();
        QTest::keyClicks(out, QStringLiteral("fine"));
        QVERIFY(w.click("cmdSendData"));
        QByteArray got;
        QVERIFY(spinUntil([&] { return (got += peer->readAll()).size() >= 4; }));
        QTest::qWait(20);
        QCOMPARE(got + peer->readAll(), QByteArray("fine"));
        QCOMPARE(w.enabledControls(), WindowDriver::connected());
    }

    void portBoxHoldsANumberWhateverIsTyped_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed : {1u, 2u, 3u})
            QTest::addRow("seed %u", seed) << seed;
        if (qEnvironmentVariableIsSet("TAPWIRE_SEED")) {
            const quint32 seed = quint32(qEnvironmentVariableIntValue("TAPWIRE_SEED"));
            QTest::addRow("seed %u from TAPWIRE_SEED", seed) << seed;
        }
    }
    void portBoxHoldsANumberWhateverIsTyped()
    {
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        const auto pick = [&](const auto &list) {
            return list.at(random.bounded(int(list.size())));
        };
        const QString keys = QStringLiteral("0123456789.-+eEdD&hHo x\t,");
        const QStringList pastes = {"80",   "-80", "1.5",   ".5",  "1E+15", "007",        " 8",
                                    "&H50", "1e3", "65535", "-.5", "2.5",   "99999999999"};
        QLineEdit *port = w.line("txtPort");
        QLineEdit *address = w.line("txtAddress");
        // What the user's edit made, before the port rule answers it.
        QStringList changes;
        connect(port, &QLineEdit::textEdited, port, [&](const QString &t) { changes << t; });

        for (int step = 0; step < 600; ++step) {
            const int action = random.bounded(9);
            QLineEdit *target = action == 8 ? address : port;
            target->setFocus();
            target->setCursorPosition(random.bounded(target->text().size() + 1));
            changes.clear();
            switch (action) {
            case 0:
            case 1:
                QTest::keyClick(target, pick(keys).toLatin1());
                break;
            case 2:
                target->setSelection(0, random.bounded(target->text().size() + 1));
                QTest::keyClick(target, pick(keys).toLatin1());
                break;
            case 3:
                QTest::keyClick(target, Qt::Key_Backspace);
                break;
            case 4:
                QTest::keyClick(target, Qt::Key_Delete);
                break;
            case 5:
                paste(target, pick(pastes));
                break;
            case 6:
                QTest::keySequence(target, QKeySequence::SelectAll);
                QTest::keyClick(target, Qt::Key_Delete);
                break;
            case 7:
                QTest::keySequence(target,
                                   random.bounded(2) ? QKeySequence::Undo : QKeySequence::Redo);
                break;
            default: // the address box empties or fills
                random.bounded(2) ? address->clear() : QTest::keyClicks(address, "h");
                break;
            }

            const QString text = port->text();
            const QString where =
                QStringLiteral("seed %1, step %2, action %3: typed '%4', box '%5'")
                    .arg(seed)
                    .arg(step)
                    .arg(action)
                    .arg(changes.value(0), text);
            // Whatever the edit made stays exactly, or the whole box becomes "0".
            if (!changes.isEmpty()) {
                const QString typed = changes.first();
                QVERIFY2(text == typed || text == QLatin1String("0"), qPrintable(where));
                if (!looksLikeNumberText(typed) && typed != QLatin1String("0"))
                    QVERIFY2(text == QLatin1String("0"), qPrintable(where));
                if (surelyKept(typed))
                    QVERIFY2(text == typed, qPrintable(where));
            }
            QVERIFY2(text == QLatin1String("0") || looksLikeNumberText(text), qPrintable(where));
            const bool complete = !address->text().isEmpty() && !text.isEmpty();
            QVERIFY2(w.button("cmdConnect")->isEnabled() == complete, qPrintable(where));
            QVERIFY2(w.button("cmdListen")->isEnabled() == complete, qPrintable(where));
        }
    }
};

QTEST_MAIN(tst_HostileInput)
#include "tst_HostileInput.moc"
