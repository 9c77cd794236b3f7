#include "DocumentScript.h"
#include "HexInput.h"
#include "WireMetrics.h"

#include <QGuiApplication>
#include <QRandomGenerator>
#include <QTest>

// The document, with no widget: its text is exactly what was put in, whatever
// was edited around it, and its rows are those the reference wraps.
class tst_WireDocument : public QObject
{
    Q_OBJECT

private:
    static QFont wireFont()
    {
        QFont font(QStringLiteral("Courier New"));
        font.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")});
        font.setPointSizeF(8.25);
        return font;
    }
    static QList<quint32> seeds()
    {
        if (qEnvironmentVariableIsSet("TAPWIRE_SEED"))
            return {quint32(qEnvironmentVariableIntValue("TAPWIRE_SEED"))};
        return {1, 2, 3, 4, 5, 6};
    }

private slots:
    void editsMatchTheReference_data()
    {
        QTest::addColumn<bool>("outgoing");
        QTest::addColumn<int>("cells");
        QTest::addColumn<qsizetype>("slice");
        QTest::addColumn<qsizetype>("blockLength");
        QTest::addColumn<quint32>("seed");
        // Stores of a few characters to a block, so that edits span, split
        // and join blocks, and a typed character widens one of many.
        const qsizetype whole = TextStore::defaultBlockLength;
        for (const quint32 seed : seeds()) {
            QTest::addRow("outgoing, seed %u", seed)
                << true << 30 << qsizetype(1 << 20) << whole << seed;
            QTest::addRow("outgoing in short blocks, seed %u", seed)
                << true << 30 << qsizetype(1 << 20) << qsizetype(4) << seed;
            QTest::addRow("transcript in short blocks, seed %u", seed)
                << false << 30 << qsizetype(1 << 20) << qsizetype(16) << seed;
            // A few characters to a row, so that a mark that no longer fits
            // moves words across several rows.
            QTest::addRow("narrow transcript, seed %u", seed)
                << false << 7 << qsizetype(1 << 20) << whole << seed;
            // Laid out a few characters at a time, so that edits meet rows
            // that are not laid out yet.
            QTest::addRow("transcript in slices, seed %u", seed)
                << false << 30 << qsizetype(9) << qsizetype(5) << seed;
            QTest::addRow("outgoing in slices, seed %u", seed)
                << true << 7 << qsizetype(9) << whole << seed;
        }
    }
    void editsMatchTheReference()
    {
        QFETCH(bool, outgoing);
        QFETCH(int, cells);
        QFETCH(qsizetype, slice);
        QFETCH(qsizetype, blockLength);
        QFETCH(quint32, seed);
        const WireMetrics metrics(wireFont());
        QRandomGenerator generator(seed);
        auto random = [&generator](quint32 bound) { return generator.bounded(bound); };
        DocumentScript<decltype(random)> script(metrics, cells * metrics.spaceAdvance() + 17, slice,
                                                outgoing, blockLength, random);
        for (int step = 0; step < 5000; ++step) {
            const QString failure = script.step();
            QVERIFY2(failure.isEmpty(),
                     qPrintable(QStringLiteral("step %1: %2").arg(step).arg(failure)));
        }
    }

    void rowsFollowEdits_data()
    {
        QTest::addColumn<quint32>("seed");
        for (const quint32 seed : seeds())
            QTest::addRow("seed %u", seed) << seed;
    }
    void rowsFollowEdits()
    {
        // The rows kept up to date edit by edit, some of them laid out later
        // in slices, are always those the reference wraps the whole text to:
        // in rows a few characters wide, where a CR that finds its LF or a
        // word that grows moves others across several rows.
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        const WireMetrics metrics(wireFont());
        const QString alphabet = QStringLiteral("bbbbbbbbb   \t\r\n\x01\u00A0\u20AC");
        const auto randomText = [&] {
            QString text;
            for (int i = random.bounded(12); i > 0; --i)
                text += random.bounded(30) ? QString(alphabet[random.bounded(int(alphabet.size()))])
                                           : QStringLiteral("\U0001F600");
            return text;
        };
        for (int round = 0; round < 300; ++round) {
            const int width = metrics.advance(u'b') * (2 + random.bounded(14)) + random.bounded(64);
            WireDocument text;
            text.setText(randomText());
            RowLayout rows;
            ReferenceRows referenceRows;
            rows.setGeometry(&metrics, width);
            rows.relayout(text);
            for (int step = 0; step < 40; ++step) {
                const qsizetype from = random.bounded(int(text.size()) + 1);
                const qsizetype removed = random.bounded(int(text.size() - from) + 1) / 2;
                const QString added = randomText();
                text.edit(from, from + removed, added, WireDocument::EditKind::Other);
                rows.update(text, from, removed, added.size(), random.bounded(2) ? 1000 : 3);
                while (!rows.isComplete())
                    rows.layOutMore(text, 1 + random.bounded(5));
                QVERIFY2(referenceRows.matches(rows, text.text(0, text.size()), metrics),
                         qPrintable(QStringLiteral("round %1, step %2").arg(round).arg(step)));
            }
        }
    }

    void findsLineBreaks_data()
    {
        QTest::addColumn<qsizetype>("blockLength");
        QTest::newRow("short blocks") << qsizetype(5);
        QTest::newRow("blocks of many strides") << qsizetype(1000);
        QTest::newRow("one block") << TextStore::defaultBlockLength;
    }
    void findsLineBreaks()
    {
        // The first and last CR or LF of any range, in bytes and in UTF-16,
        // wherever they fall against the blocks and the strides searched.
        QFETCH(qsizetype, blockLength);
        QRandomGenerator random(blockLength);
        for (int round = 0; round < 200; ++round) {
            WireDocument text(nullptr, blockLength);
            QString reference;
            for (int piece = random.bounded(1, 6); piece > 0; --piece) {
                QString more(random.bounded(400), u'x');
                for (int breaks = random.bounded(3); breaks > 0 && !more.isEmpty(); --breaks)
                    more[random.bounded(int(more.size()))] = random.bounded(2) ? u'\r' : u'\n';
                if (random.bounded(4) == 0)
                    more += u'\u4E2D'; // a block of UTF-16
                text.append(more);
                reference += more;
            }
            const int size = int(reference.size());
            const qsizetype from = random.bounded(size + 1);
            const qsizetype to = from + random.bounded(size - int(from) + 1);
            const auto isBreak = [&](qsizetype at) {
                return reference[at] == u'\r' || reference[at] == u'\n';
            };
            qsizetype first = from;
            while (first < to && !isBreak(first))
                ++first;
            qsizetype last = to - 1;
            while (last >= from && !isBreak(last))
                --last;
            QCOMPARE(text.firstLineBreak(from, to), first < to ? first : -1);
            QCOMPARE(text.lastLineBreak(from, to), last >= from ? last : -1);
        }
    }

    void readsHexPairs_data()
    {
        QTest::addColumn<QString>("pasted");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qsizetype>("badAt");
        QTest::addColumn<bool>("odd");
        const auto row = [](const char *name, const QString &pasted, const QByteArray &bytes,
                            qsizetype badAt = 0, bool odd = false) {
            QTest::newRow(name) << pasted << bytes << badAt << odd;
        };
        row("either case", QStringLiteral("0d0A1bFf"), QByteArray("\r\n\x1b\xff"));
        row("separators", QStringLiteral("00\r\n 7f,\t:,80"), QByteArray("\0\x7f\x80", 3));
        row("0x before a pair", QStringLiteral("0x41,0X42 0x00"), QByteArray("AB\0", 3));
        row("nothing", QString(), QByteArray());
        row("odd", QStringLiteral("0d 0a 1"), QByteArray(), 7, true);
        row("not a digit", QStringLiteral("41 4g"), QByteArray(), 5);
        row("a pair cut in two", QStringLiteral("4 1"), QByteArray(), 2);
        row("0x alone", QStringLiteral("41 0x"), QByteArray(), 4);
        row("0x and a space", QStringLiteral("0x 41"), QByteArray(), 3);
        row("x inside a pair", QStringLiteral("10x1"), QByteArray(), 3);
        row("beyond the BMP", QStringLiteral("\U0001F600 41 \U0001F600"), QByteArray(), 1);
        row("counted after one", QStringLiteral("41\u00A0\u2603"), QByteArray(), 4);
    }
    void readsHexPairs()
    {
        // Whole pairs or nothing: nothing is padded or guessed, and the first
        // character that breaks the rule is named.
        QFETCH(QString, pasted);
        QFETCH(QByteArray, bytes);
        QFETCH(qsizetype, badAt);
        QFETCH(bool, odd);
        const HexInput::Pairs pairs = HexInput::readPairs(pasted);
        QCOMPARE(pairs.bytes, bytes);
        QCOMPARE(pairs.badAt, badAt);
        QCOMPARE(pairs.odd, odd);
    }

    void placesCountAcrossPieces_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qsizetype>("index");
        QTest::addColumn<qsizetype>("line");
        QTest::addColumn<qsizetype>("column");
        QTest::newRow("CR LF is one line end")
            << QStringLiteral("ab\r\ncd") << qsizetype(5) << qsizetype(2) << qsizetype(2);
        QTest::newRow("lone CR and LF")
            << QStringLiteral("a\rb\nc\n\rd") << qsizetype(7) << qsizetype(5) << qsizetype(1);
        QTest::newRow("LF CR is two")
            << QStringLiteral("\n\rx") << qsizetype(2) << qsizetype(3) << qsizetype(1);
        QTest::newRow("a surrogate pair is one column")
            << QStringLiteral("\U0001F600x") << qsizetype(2) << qsizetype(1) << qsizetype(2);
    }
    void placesCountAcrossPieces()
    {
        // However the text is cut into pieces, even between the CR and LF
        // of a pair, the place of a character is the same.
        QFETCH(QString, text);
        QFETCH(qsizetype, index);
        QFETCH(qsizetype, line);
        QFETCH(qsizetype, column);
        for (qsizetype cut = 0; cut <= index; ++cut) {
            TextRules::PlaceCounter counter;
            counter.add(QStringView(text).left(cut));
            counter.add(QStringView(text).mid(cut), index - cut);
            QCOMPARE(counter.place().line, line);
            QCOMPARE(counter.place().column, column);
        }
    }

    // A peer's piece that runs out of memory half-way, once its block is in
    // but not yet counted, leaves nothing of itself: offered again, it goes
    // in once.
    void failedAppendLeavesNothingBehind()
    {
        WireDocument document(nullptr, 8);
        const OriginStamp peer{Origin::Peer, 1'000'000};
        document.appendBytes("abc", peer);
        const QByteArray piece(16, 'x'); // a block's worth: kept as it is
        TextStore::failNextAppends(1);
        QVERIFY_THROWS_EXCEPTION(std::bad_alloc, document.appendBytes(piece, peer));
        QCOMPARE(document.size(), 3);
        QCOMPARE(document.origins().size(), 3);
        document.appendBytes(piece, {Origin::Peer, 2'000'000});
        document.appendBytes("yz", {Origin::Peer, 3'000'000});
        QCOMPARE(document.text(0, document.size()),
                 QStringLiteral("abc") + QString(16, u'x') + QStringLiteral("yz"));
        QCOMPARE(document.origins().spanCount(), 3);
        QCOMPARE(document.origins().spanAt(3).from, 3);
    }
};

QTEST_MAIN(tst_WireDocument)
#include "tst_WireDocument.moc"
