#pragma once

// Drives a WireDocument and its rows through random operations, the way a
// user and a peer would through a box, with no widget; checks after each one
// that the document holds exactly what the reference holds, and that the rows
// kept up to date edit by edit are those the reference wraps. Used by the
// headless differential test (seeded) and the fuzz target (driven by the fuzz
// input). Each step says what it did only when a check fails: writing it out
// would cost more than the step.

#include "CaretMoves.h"
#include "CharacterMetrics.h"
#include "CodePageTable.h"
#include "EditCommands.h"
#include "HexRows.h"
#include "RowLayout.h"
#include "TextRules.h"
#include "WireDocument.h"
#include "WireReference.h"

#include <QObject>

// What a step did, written out only for a message: `what`, with %2, %3 and
// %4 standing for the numbers and %1 for `text` written out; or, with no
// `what`, `text` as it is.
class Did
{
public:
    explicit Did(const char *what = "", const QString &text = {}, qint64 first = 0,
                 qint64 second = 0, qint64 third = 0)
        : m_what(what), m_text(text), m_numbers{first, second, third}
    {
    }
    QString operator()() const
    {
        if (!m_what)
            return m_text;
        QString out = QString::fromLatin1(m_what);
        for (int i = 0; i < 3; ++i)
            out.replace(QStringLiteral("%%1").arg(i + 2), QString::number(m_numbers[i]));
        return out.replace(QLatin1String("%1"), showText(m_text));
    }

private:
    const char *m_what;
    QString m_text;
    qint64 m_numbers[3];
};

// The checks compare every character after every step, and the script only
// chooses what to do next: they are the oracle and the driver, not what is
// fuzzed. The document and its rows are.
ORACLE_BEGIN

// The rows of a text wrapped by the rules RowLayout states, worked out
// character by character over a plain string, for the rows kept up to date
// edit by edit to be held against. Worked out anew only when the text, the
// width or the metrics are not those of the last time.
class ReferenceRows
{
public:
    // Whether `rows` are those of `text`, as far as they are known yet.
    bool matches(const RowLayout &rows, const QString &text, const CharacterMetrics &metrics)
    {
        if (text != m_text || rows.width() != m_width || m_metrics != &metrics) {
            m_text = text;
            m_width = rows.width();
            m_metrics = &metrics;
            wrap();
        }
        const qsizetype count = qsizetype(m_starts.size());
        bool same = rows.isComplete() ? count == rows.rowCount() : count >= rows.knownRows();
        for (qsizetype row = 0; same && row < rows.knownRows(); ++row)
            same = m_starts[std::size_t(row)] == rows.rowStart(row);
        return same;
    }

private:
    void wrap()
    {
        // A row holds what fits in the width, and always at least one
        // character; at most 1024 of them, which only marks that take no
        // room come near. A line end (CR LF, a lone CR or LF) ends its row;
        // a space or tab that does not fit hangs past the edge; else the row
        // ends after its last space or tab, or, with none, where it is full.
        const CharacterMetrics &metrics = *m_metrics;
        m_starts.assign(1, 0);
        m_starts.reserve(std::size_t(m_text.size()) + 1);
        qsizetype rowStart = 0;
        qsizetype breakAt = -1;
        int x = 0;
        int xAtBreak = 0;
        const QChar *text = m_text.constData();
        for (qsizetype i = 0; i < m_text.size();) {
            const char16_t c = text[i].unicode();
            const char16_t next = i + 1 < m_text.size() ? text[i + 1].unicode() : u'\0';
            const quint32 entry = metrics.entry(c);
            const bool breakAfter = entry & CharacterMetrics::BreakAfter;
            const int lineEnd = TextRules::lineEndLength(c, next);
            const bool pair = QChar::isHighSurrogate(c) && QChar::isLowSurrogate(next);
            const int length = lineEnd == 2 || pair ? 2 : 1;
            const int advance = c == u'\t'     ? metrics.tabAdvance(x)
                                : lineEnd == 2 ? 0
                                : pair         ? metrics.pairAdvance(c, next)
                                               : CharacterMetrics::advanceOf(entry);
            if ((x + advance <= m_width && i - rowStart < 1024) || i == rowStart) {
                x += advance;
                i += length;
                if (breakAfter) {
                    breakAt = i;
                    xAtBreak = x;
                }
                if (!lineEnd)
                    continue;
            } else if (breakAfter) {
                i += length;
            } else if (breakAt > rowStart) {
                // The word moves to a row of its own, and holds no tab.
                x -= xAtBreak;
                rowStart = breakAt;
                breakAt = -1;
                m_starts.push_back(rowStart);
                continue;
            }
            x = 0;
            rowStart = i;
            breakAt = -1;
            m_starts.push_back(i);
        }
    }

    QString m_text;
    int m_width = 0;
    const CharacterMetrics *m_metrics = nullptr;
    std::vector<qsizetype> m_starts;
};

// Where the spans first differ from the reference's origin of each character,
// or stop being canonical (every span holds characters, neighbours differ);
// -1 when they agree.
inline qsizetype firstOtherOrigin(const OriginSpans &spans, const std::vector<OriginStamp> &ref)
{
    qsizetype at = 0;
    for (qsizetype index = 0; index < spans.spanCount(); ++index) {
        const OriginSpans::Span span = spans.span(index);
        if (span.from != at || span.to <= span.from ||
            (index > 0 && spans.span(index - 1).stamp == span.stamp))
            return at;
        for (; at < span.to; ++at) {
            if (at >= qsizetype(ref.size()) || ref[at] != span.stamp ||
                spans.spanAt(at).from != span.from)
                return at;
        }
    }
    return at == spans.size() && at == qsizetype(ref.size()) ? -1 : at;
}

// What differs between the text and selection of `doc` and the reference
// after `did`; nothing when they agree.
inline QString textDifferences(const WireDocument &doc, const WireReference &ref, const Did &did)
{
    // Read both ways: a character at a time, and as one copy of a range.
    bool same = doc.size() == ref.text.size();
    for (qsizetype i = 0; same && i < doc.size(); ++i)
        same = doc.at(i) == ref.text[i].unicode();
    const qsizetype from = doc.size() / 3;
    same = same && doc.text(from, doc.size()) == QStringView(ref.text).mid(from);
    // And as the code page's bytes, as far as the first character without one.
    // Kept from check to check, so that its room is made once; with room
    // for all, a piece is copied into it, never shared.
    static QByteArray bytes;
    bytes.resize(0);
    bytes.reserve(doc.size());
    const qsizetype refused =
        doc.forEachBytePiece(0, doc.size(), [&](const QByteArray &piece) { bytes += piece; });
    const qsizetype expected = CodePageTable::firstWithoutByte(ref.text);
    same = same && refused == expected &&
           (refused < 0 ? bytes.size() == ref.text.size() : bytes.size() <= refused);
    for (qsizetype i = 0; same && i < bytes.size(); ++i)
        same = CodePageTable::characterOf(uchar(bytes[i])) == ref.text[i].unicode();
    if (!same)
        return QStringLiteral("after %1: the document holds %2, the reference %3")
            .arg(did(), showText(doc.text(0, doc.size())), showText(ref.text));
    if (const qsizetype at = firstOtherOrigin(doc.origins(), ref.origins); at >= 0)
        return QStringLiteral("after %1: the origins differ from the reference's at %2 of %3")
            .arg(did())
            .arg(at)
            .arg(showText(ref.text));
    if (doc.position() != ref.position || doc.anchor() != ref.anchor)
        return QStringLiteral("after %1: selection %2..%3, the reference %4..%5 in %6")
            .arg(did())
            .arg(doc.anchor())
            .arg(doc.position())
            .arg(ref.anchor)
            .arg(ref.position)
            .arg(showText(ref.text));
    if (!ref.isStop(ref.position) || !ref.isStop(ref.anchor))
        return QStringLiteral("after %1: the caret stands inside a pair").arg(did());
    return QString();
}

// What differs between `doc` with its `rows` and the reference after `did`;
// nothing when they agree.
inline QString differences(const WireDocument &doc, const RowLayout &rows,
                           const CharacterMetrics &metrics, const WireReference &ref,
                           ReferenceRows &referenceRows, const Did &did)
{
    if (const QString text = textDifferences(doc, ref, did); !text.isEmpty())
        return text;
    if (!referenceRows.matches(rows, ref.text, metrics))
        return QStringLiteral("after %1: the rows differ from the reference's in %2")
            .arg(did(), showText(ref.text));
    return QString();
}

// `Random` gives a number below its argument.
template <typename Random> class DocumentScript
{
public:
    // `width` in CharacterMetrics units; `slice` as RowLayout::setSlice;
    // `blockLength` as the document's store takes it.
    DocumentScript(const CharacterMetrics &metrics, int width, qsizetype slice, bool undoEnabled,
                   qsizetype blockLength, Random &random)
        : m_metrics(metrics), m_width(width), m_random(random), m_document(nullptr, blockLength)
    {
        m_document.setUndoEnabled(undoEnabled);
        m_reference.undoEnabled = undoEnabled;
        m_rows.setGeometry(&metrics, width);
        m_rows.setSlice(slice);
        m_rows.relayout(m_document);
        QObject::connect(&m_document, &WireDocument::changed,
                         [this](qsizetype from, qsizetype removed, qsizetype added, bool) {
                             m_rows.followChange(m_document, from, removed, added);
                         });
    }

    // Runs one random operation; returns what went wrong, or nothing.
    QString step()
    {
        WireReference &ref = m_reference;
        WireDocument &doc = m_document;
        quint32 operation = m_random(22);
        // A peer appends only to the transcript, which keeps no history; the
        // outgoing box takes bytes only from Open File.
        if (operation == 0 && ref.undoEnabled)
            operation = 7;
        Did did;
        switch (operation) {
        case 0: {
            const QString piece = randomWireText(m_random);
            const OriginStamp stamp = nextStamp(Origin::Status);
            did = Did("append %1 at %2", piece, stamp.time);
            doc.append(piece, stamp);
            ref.append(piece, stamp);
            break;
        }
        case 1: {
            // What a peer sends arrives as bytes, any of the 256, or plain
            // text: printable ASCII, long stretches of it wrapped by arithmetic.
            QByteArray bytes;
            QString piece;
            const bool plain = m_random(2);
            for (quint32 n = m_random(5) == 0 ? 20 + m_random(120) : m_random(6); n > 0; --n) {
                bytes += char(m_random(plain ? 40 : 4) == 0 ? "\r\n"[m_random(2)]
                              : plain                       ? ' ' + m_random(95)
                                                            : m_random(256));
                piece += QChar(CodePageTable::characterOf(uchar(bytes.back())));
            }
            if (ref.undoEnabled) {
                did = Did("open %1", piece);
                doc.replaceAllWithBytes(
                    {bytes.left(bytes.size() / 2), bytes.mid(bytes.size() / 2)});
                ref.replace(0, ref.text.size(), piece);
                ref.anchor = ref.position = 0;
            } else if (m_random(2)) {
                const OriginStamp stamp = nextStamp(Origin::Peer);
                did = Did("append bytes %1 at %2", piece, stamp.time);
                doc.appendBytes(bytes, stamp);
                ref.append(piece, stamp);
            } else {
                // Read in place, into room for more than comes.
                const OriginStamp stamp = nextStamp(Origin::Peer);
                did = Did("read bytes %1 at %2", piece, stamp.time);
                const QByteArrayView read =
                    doc.appendRead(bytes.size() + m_random(3), stamp, [&](char *into, qsizetype) {
                        std::copy(bytes.cbegin(), bytes.cend(), into);
                        return bytes.size();
                    });
                ref.append(piece, stamp);
                if (read != bytes)
                    return did() +
                           QStringLiteral(": handed back %1 bytes that differ").arg(read.size());
            }
            break;
        }
        case 2:
        case 3: {
            static const QString typeable[] = {
                QStringLiteral("a"),          QStringLiteral(" "),      QStringLiteral("x"),
                QStringLiteral("\u00E9"),     QStringLiteral("\u2400"), QStringLiteral("\u4E2D"),
                QStringLiteral("\U0001F600"), QStringLiteral("-")};
            const QString typed = typeable[m_random(8)];
            did = Did("type %1", typed);
            EditCommands::type(doc, typed, false, typed.size() == 1);
            ref.replaceSelection(typed, typed.size() == 1);
            break;
        }
        case 4: {
            static const QString lineBreaks[] = {QStringLiteral("\r\n"), QStringLiteral("\n"),
                                                 QStringLiteral("\r")};
            const quint32 choice = m_random(3);
            did = Did("Enter inserting %1", lineBreaks[choice]);
            EditCommands::insertLineBreak(doc, EditCommands::LineBreak(choice));
            ref.replaceSelection(lineBreaks[choice]);
            break;
        }
        case 5:
            did = Did("Backspace");
            EditCommands::backspace(doc);
            ref.removeOr(ref.previous(ref.position), ref.position);
            break;
        case 6:
            did = Did("Delete");
            EditCommands::deleteForward(doc);
            ref.removeOr(ref.position, ref.next(ref.position));
            break;
        case 7: {
            const QString pasted = randomWireText(m_random);
            if (m_random(4) == 0 && !pasted.isEmpty()) {
                const qsizetype at = ref.snap(qsizetype(m_random(quint32(ref.text.size() + 1))));
                // Moved within the box, unless dropped onto itself.
                const bool moved = doc.hasSelection() && m_random(2) &&
                                   (at < doc.selectionStart() || at > doc.selectionEnd());
                did = Did(moved ? "drop %1 at %2, moving the selection" : "drop %1 at %2", pasted,
                          at);
                doc.drop(at, pasted, moved);
                ref.drop(at, pasted, moved);
                break;
            }
            did = Did("paste %1", pasted);
            doc.replaceSelection(pasted);
            ref.replaceSelection(pasted);
            break;
        }
        case 8:
        case 9: {
            const bool cut = operation == 8;
            // Exactly the selection is copied.
            if (doc.selectedText() != ref.selected())
                return QStringLiteral("%1 copied %2, not %3")
                    .arg(cut ? QStringLiteral("cut") : QStringLiteral("copy"),
                         showText(doc.selectedText()), showText(ref.selected()));
            did = Did(cut ? "cut" : "copy");
            m_copied = doc.snapshot(doc.selectionStart(), doc.selectionEnd());
            m_copiedText = ref.selected();
            if (cut && doc.hasSelection()) {
                doc.replaceSelection(QString());
                ref.replaceSelection(QString());
            }
            break;
        }
        case 10:
        case 11: {
            // Any two positions, stops or not.
            const qsizetype anchor = qsizetype(m_random(quint32(ref.text.size() + 1)));
            const qsizetype position = qsizetype(m_random(quint32(ref.text.size() + 1)));
            did = Did("select %2..%3", {}, anchor, position);
            doc.setSelection(anchor, position);
            ref.anchor = ref.snap(anchor);
            ref.position = ref.snap(position);
            break;
        }
        case 12:
        case 13: {
            const auto move = CaretMoves::Move(m_random(14));
            const bool select = m_random(2);
            did = Did(select ? "move %2 selecting" : "move %2", {}, int(move));
            const bool hadSelection = doc.hasSelection();
            m_caret.position = doc.position();
            m_caret = CaretMoves::target(doc, m_rows, move, m_caret, select, 5);
            doc.setSelection(select ? doc.anchor() : m_caret.position, m_caret.position);
            if (!select && !hadSelection && move == CaretMoves::Move::NextChar &&
                doc.position() != ref.next(ref.position))
                return did() + QStringLiteral(": not one character on");
            if (!select && !hadSelection && move == CaretMoves::Move::PreviousChar &&
                doc.position() != ref.previous(ref.position))
                return did() + QStringLiteral(": not one character back");
            ref.anchor = doc.anchor();
            ref.position = doc.position();
            break;
        }
        case 14: {
            // A click somewhere in the rows laid out, then perhaps a second
            // (a word) and a third (a line).
            const qsizetype row = qsizetype(m_random(quint32(m_rows.knownRows())));
            const int x = int(m_random(quint32(m_rows.width() + 1)));
            const quint32 clicks = m_random(3);
            did = Did("%2 clicks at row %3, x %4", {}, clicks + 1, row, x);
            const qsizetype at = m_rows.positionInRow(doc, row, x, &m_caret.atRowEnd);
            doc.setCaret(at);
            m_caret.atRowEnd = m_caret.atRowEnd && clicks == 0;
            if (clicks == 1)
                EditCommands::selectWord(doc, at);
            else if (clicks == 2)
                EditCommands::selectLine(doc, at);
            ref.anchor = doc.anchor();
            ref.position = doc.position();
            // A line is selected from just after the line end before it to
            // and with its own, and no further.
            const QString selected = ref.selected();
            for (qsizetype i = 0; clicks == 2 && i < selected.size(); ++i) {
                const int lineEnd = WireReference::lineEndAt(selected, i);
                if (lineEnd && i + lineEnd != selected.size())
                    return did() + QStringLiteral(": selected more than a line: ") +
                           showText(selected);
            }
            const QPair<qsizetype, qsizetype> line = ref.lineAround(at);
            if (clicks == 2 &&
                (ref.selectionStart() != line.first || ref.selectionEnd() != line.second))
                return did() + QStringLiteral(": selected %1..%2, not the line %3..%4 in %5")
                                   .arg(ref.selectionStart())
                                   .arg(ref.selectionEnd())
                                   .arg(line.first)
                                   .arg(line.second)
                                   .arg(showText(ref.text));
            break;
        }
        case 15:
            if (m_random(4) == 0) {
                did = Did("clear");
                doc.setText(QString());
                ref.setText(QString());
            } else {
                const QString text = randomWireText(m_random);
                did = Did("set %1", text);
                doc.setText(text);
                ref.setText(text);
            }
            break;
        case 16:
            did = Did("undo");
            doc.undo();
            ref.undo();
            break;
        case 17:
            did = Did("redo");
            doc.redo();
            ref.redo();
            break;
        case 18: {
            // The dump shown, or the text again.
            const bool cells = !doc.caretBetweenCrLf();
            did = Did(cells ? "show the dump" : "show the text");
            doc.setCaretBetweenCrLf(cells);
            ref.showCells(cells);
            break;
        }
        case 19: {
            // A byte typed as hex digits, or a character in the dump's other
            // column, put in or, in the dump, typed over the next character.
            const QString typed(QChar(CodePageTable::characterOf(uchar(m_random(256)))));
            const bool overwrite = ref.cells && m_random(2);
            did = Did(overwrite ? "type %1 over" : "type %1", typed);
            EditCommands::type(doc, typed, overwrite, false);
            ref.type(typed, overwrite);
            break;
        }
        case 21: {
            // The box resized: its rows laid out anew, in slices.
            const int width = 1 + int(m_random(quint32(2 * m_width)));
            did = Did("resize to %2", {}, width);
            m_rows.setGeometry(&m_metrics, width);
            m_rows.relayoutInSlices(doc);
            break;
        }
        default: {
            const bool back = m_random(2);
            did = Did(back ? "delete a word back" : "delete a word on");
            const qsizetype at = doc.position();
            if (back) {
                ref.removeOr(TextRules::previousWordStart(doc, at), at);
                EditCommands::deleteWordBack(doc);
            } else {
                ref.removeOr(at, TextRules::nextWordStart(doc, at));
                EditCommands::deleteWordForward(doc);
            }
            break;
        }
        }
        // Only moves keep the column; only moves and a single click can leave
        // the caret at the end of a row that wraps.
        if (operation == 14)
            m_caret.wantedX = -1;
        else if (operation < 12 || operation > 13)
            m_caret = {};
        // Now and then the rows are laid out a slice further, as between events.
        if (!m_rows.isComplete() && m_random(2))
            m_rows.layOutMore(doc, m_rows.slice());
        static const bool trace = qEnvironmentVariableIsSet("TAPWIRE_TRACE");
        if (trace)
            qDebug("%s", qPrintable(did()));
        if (const QString failure = check(did); !failure.isEmpty())
            return failure;
        // What was copied stays as it was, whatever has been edited since.
        if (m_copied.text(0, m_copied.size()) != m_copiedText)
            return did() +
                   QStringLiteral(": the copy now holds %1, not %2")
                       .arg(showText(m_copied.text(0, m_copied.size())), showText(m_copiedText));
        // The dump's cells, found afresh when the text is new: a surrogate
        // pair is one.
        if (ref.text == m_dumpChecked)
            return QString();
        m_dumpChecked = ref.text;
        HexRows dump;
        dump.rebuild(doc);
        for (qsizetype at = 0, cell = 0; at <= ref.text.size(); ++cell) {
            if (dump.positionOfCell(cell) != at)
                return did() + QStringLiteral(": the dump's cell %1 starts at %2, not %3 in %4")
                                   .arg(cell)
                                   .arg(dump.positionOfCell(cell))
                                   .arg(at)
                                   .arg(showText(ref.text));
            at += at + 1 < ref.text.size() && ref.text[at].isHighSurrogate() &&
                          ref.text[at + 1].isLowSurrogate()
                      ? 2
                      : 1;
        }
        return QString();
    }

private:
    // A time a little after the last, now and then in the same millisecond.
    OriginStamp nextStamp(Origin origin)
    {
        m_time += qint64(m_random(4)) * 400;
        return {origin, m_time};
    }

    QString check(const Did &did)
    {
        return differences(m_document, m_rows, m_metrics, m_reference, m_referenceRows, did);
    }

    const CharacterMetrics &m_metrics;
    // The width the box started with.
    int m_width;
    Random &m_random;
    WireDocument m_document;
    RowLayout m_rows;
    CaretMoves::Caret m_caret;
    WireReference m_reference;
    ReferenceRows m_referenceRows;
    // The last copy or cut, and the text it took.
    TextSnapshot m_copied;
    QString m_copiedText;
    // The text whose dump cells were last checked.
    QString m_dumpChecked;
    qint64 m_time = 1'760'000'000'000'000;
};

ORACLE_END
