#include "RowLayout.h"

#include "CharacterMetrics.h"
#include "CodePageTable.h"
#include "TextRules.h"
#include "WireDocument.h"

#include <QChar>
#include <QtAlgorithms>

#include <algorithm>
#include <array>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// One character as a row sees it: how far it advances, how many code units it
// takes, and whether it ends the line.
struct Step
{
    int advance;
    int length;
    bool lineEnd;
};

// `c` and the character after it (or 0 at the end).
inline Step stepAt(const CharacterMetrics &metrics, char16_t c, char16_t next, int x)
{
    const quint32 entry = metrics.entry(c);
    if (!(entry & CharacterMetrics::Special))
        return {CharacterMetrics::advanceOf(entry), 1, false};
    if (c == u'\t')
        return {metrics.tabAdvance(x), 1, false};
    if (const int lineEnd = TextRules::lineEndLength(c, next))
        return lineEnd == 2 ? Step{0, 2, true} // CR LF: a plain break
                            : Step{CharacterMetrics::advanceOf(entry), 1, true};
    if (QChar::isLowSurrogate(next))
        return {metrics.pairAdvance(c, next), 2, false};
    return {CharacterMetrics::advanceOf(entry), 1, false}; // a lone half, shown as its mark
}

inline char16_t characterOf(unsigned char byte)
{
    return CodePageTable::characterOf(byte);
}

inline char16_t characterOf(char16_t unit)
{
    return unit;
}

inline char16_t characterAfter(const TextStore &store, qsizetype i)
{
    return i + 1 < store.size() ? store.at(i + 1) : u'\0';
}

} // namespace

// The bytes that wrap by arithmetic: those that are no line end or tab and
// advance as far as a space does. A row of them holds as many as fit, and
// breaks after its last space; only where one of the others comes, or the
// row is full, is a character looked at on its own.
struct RowLayout::PlainBytes
{
    std::array<bool, 256> plain{};
    int advance = 0;
    // Every byte from ' ' to '~' is plain, so that sixteen at a time can be
    // told plain by their range.
    bool printableAscii = false;

    PlainBytes() = default;
    explicit PlainBytes(const std::array<quint32, 256> &entries)
    {
        const quint32 space = entries[' '];
        advance = CharacterMetrics::advanceOf(space);
        if (advance <= 0 || (space & CharacterMetrics::Special))
            return;
        for (int byte = 0; byte < 256; ++byte) {
            const quint32 entry = entries[byte];
            plain[byte] = !(entry & CharacterMetrics::Special) &&
                          CharacterMetrics::advanceOf(entry) == advance &&
                          bool(entry & CharacterMetrics::BreakAfter) == (byte == ' ');
        }
        printableAscii = std::all_of(&plain[' '], &plain['~'] + 1, [](bool is) { return is; });
    }

    // How many of the first `most` bytes at `at` are plain, one after
    // another; `afterSpace` becomes the count up to and with the last space
    // among them, if there is one.
    qsizetype stretch(const unsigned char *at, qsizetype most, qsizetype &afterSpace) const
    {
        qsizetype n = 0;
#if defined(__SSE2__)
        if (printableAscii) {
            const __m128i belowSpace = _mm_set1_epi8(' ' - 1);
            const __m128i delete_ = _mm_set1_epi8(0x7F);
            const __m128i space = _mm_set1_epi8(' ');
            for (; most - n >= 16; n += 16) {
                // Signed: the bytes from 0x80 up are below the space too.
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at + n));
                const __m128i inRange = _mm_and_si128(_mm_cmpgt_epi8(bytes, belowSpace),
                                                      _mm_cmplt_epi8(bytes, delete_));
                if (_mm_movemask_epi8(inRange) != 0xFFFF)
                    break;
                if (const int spaces = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, space)))
                    afterSpace = n + 32 - qCountLeadingZeroBits(quint32(spaces));
            }
        }
#endif
        for (; n < most && plain[at[n]]; ++n) {
            if (at[n] == ' ')
                afterSpace = n + 1;
        }
        return n;
    }
};

void RowLayout::setGeometry(const CharacterMetrics *metrics, int width)
{
    m_metrics = metrics;
    m_width = qMax(1, width);
}

// Where a row being wrapped has got to.
struct RowLayout::Wrapping
{
    qsizetype i; // the next character to place
    qsizetype rowStart;
    qsizetype breakAt = -1; // just after the row's last space or tab
    int xAtBreak = 0;
    int x = 0;
};

template <typename Unit, typename RowFound>
bool RowLayout::wrapRun(const TextStore &store, const Unit *units, const quint32 *entries,
                        const PlainBytes &plain, qsizetype runStart, qsizetype runEnd,
                        Wrapping &wrapping, RowFound &rowFound) const
{
    const CharacterMetrics &metrics = *m_metrics;
    const int width = m_width;
    // Worked on in a copy, which stays in registers: stores through the
    // caller's would have to be made for every byte read.
    Wrapping row = wrapping;
    qsizetype &i = row.i;
    // Only characters that take no room (combining marks) ever come near
    // this many to a row; past it they wrap like any other.
    constexpr qsizetype maxRowLength = 1024;
    // Plain bytes are taken at once where they come in stretches; among
    // bytes of every kind, where the stretches are short, trying costs more
    // than it saves, and is tried again only further and further on.
    constexpr qsizetype shortStretch = 16;
    qsizetype tryPlainAt = i;
    qsizetype backOff = shortStretch;
    while (i < runEnd) {
        if constexpr (std::is_same_v<Unit, unsigned char>) {
            if (i >= tryPlainAt && plain.advance > 0) {
                // The plain bytes that surely fit, at once; then the one
                // after them, whatever it is, as below.
                const int advance = plain.advance;
                const qsizetype most = qMin(qMin(runEnd - i, row.rowStart + maxRowLength - i),
                                            qsizetype((width - row.x) / advance));
                qsizetype afterSpace = 0;
                const qsizetype n =
                    most > 0 ? plain.stretch(units + (i - runStart), most, afterSpace) : 0;
                if (afterSpace > 0) {
                    row.breakAt = i + afterSpace;
                    row.xAtBreak = row.x + int(afterSpace) * advance;
                }
                i += n;
                row.x += int(n) * advance;
                if (n >= shortStretch || n == most) {
                    backOff = shortStretch;
                } else {
                    tryPlainAt = i + backOff;
                    backOff = qMin<qsizetype>(backOff * 2, 4096);
                }
                if (i == runEnd)
                    break;
            }
        }
        const Unit unit = units[i - runStart];
        quint32 entry = entries[unit];
        if (Q_UNLIKELY(!(entry & CharacterMetrics::Measured)))
            entry = metrics.entry(characterOf(unit));
        Step step{CharacterMetrics::advanceOf(entry), 1, false};
        if (Q_UNLIKELY(entry & CharacterMetrics::Special)) {
            const char16_t next =
                i + 1 < runEnd ? characterOf(units[i + 1 - runStart]) : characterAfter(store, i);
            step = stepAt(metrics, characterOf(unit), next, row.x);
        }
        if ((row.x + step.advance <= width && i - row.rowStart < maxRowLength) ||
            i == row.rowStart) {
            row.x += step.advance;
            i += step.length;
            if (entry & CharacterMetrics::BreakAfter) {
                row.breakAt = i;
                row.xAtBreak = row.x;
            }
            if (!step.lineEnd)
                continue;
            row.x = 0;
        } else if (entry & CharacterMetrics::BreakAfter) {
            i += step.length; // a space that does not fit hangs past the edge
            row.x = 0;
        } else if (row.breakAt > row.rowStart) {
            // The word that does not fit starts the next row. Nothing in it
            // is a tab, so its width stays what it was.
            row.x -= row.xAtBreak;
            row.rowStart = row.breakAt;
            row.breakAt = -1;
            if (!rowFound(row.rowStart))
                return false;
            continue;
        } else {
            row.x = 0; // a word longer than the row breaks where the row ends
        }
        row.rowStart = i;
        row.breakAt = -1;
        if (!rowFound(i))
            return false;
    }
    wrapping = row;
    return true;
}

template <typename RowFound>
void RowLayout::wrap(const WireDocument &document, qsizetype start, RowFound rowFound) const
{
    // The text is walked a block of the store at a time, each in the form it
    // is kept in.
    const TextStore &store = document.store();
    // What each byte of a block held as bytes measures, looked up once.
    std::array<quint32, 256> byteEntries;
    bool byteEntriesKnown = false;
    PlainBytes plain;
    Wrapping row{start, start};
    while (row.i < store.size()) {
        const TextStore::Run run = store.runAt(row.i);
        const qsizetype runEnd = run.start + run.length;
        if (run.bytes && !byteEntriesKnown) {
            for (int byte = 0; byte < 256; ++byte)
                byteEntries[byte] = m_metrics->entry(CodePageTable::characterOf(uchar(byte)));
            byteEntriesKnown = true;
            plain = PlainBytes(byteEntries);
        }
        if (!(run.bytes ? wrapRun(store, run.bytes, byteEntries.data(), plain, run.start, runEnd,
                                  row, rowFound)
                        : wrapRun(store, run.units, m_metrics->entries(), plain, run.start, runEnd,
                                  row, rowFound)))
            return;
    }
}

void RowLayout::relayout(const WireDocument &text)
{
    m_pending = false;
    std::vector<qsizetype> starts{0};
    wrap(text, 0, [&starts](qsizetype start) {
        starts.push_back(start);
        return true;
    });
    m_rows.replace(0, m_rows.count(), starts, 0);
}

qsizetype RowLayout::firstRowToWrap(qsizetype from) const
{
    // An edit can change the meaning of the character before it (a CR that
    // now pairs with an LF, a surrogate that finds its partner), and so its
    // width. A row's end depends on the character that did not fit on it,
    // which can stand as far as the start of the row after next: wrapping
    // again starts two rows before the one holding that character.
    return qMax<qsizetype>(0, m_rows.rowAt(qMax<qsizetype>(0, from - 1)) - 2);
}

bool RowLayout::update(const WireDocument &text, qsizetype from, qsizetype removed, qsizetype added,
                       qsizetype budget)
{
    if (m_pending) {
        updateLater(from);
        return false;
    }
    const qsizetype shift = added - removed;
    const qsizetype first = firstRowToWrap(from);
    const qsizetype start = m_rows.at(first);
    const qsizetype changedEnd = from + added;
    std::vector<qsizetype> starts{start};
    qsizetype resumeRow = m_rows.count();
    wrap(text, start, [&](qsizetype rowStart) {
        // Past the edit, a row that starts where an old row started (moved by
        // the edit) is followed by the same rows as before.
        if (rowStart > changedEnd) {
            const qsizetype old = m_rows.rowAt(rowStart - shift);
            if (old > first && m_rows.at(old) == rowStart - shift) {
                resumeRow = old;
                return false;
            }
        }
        starts.push_back(rowStart);
        // A long line whose rows all move (an edit near the start of a line
        // without spaces) is laid out later, a slice at a time.
        if (rowStart - start < budget)
            return true;
        m_pending = true;
        return false;
    });
    m_rows.replace(first, (m_pending ? m_rows.count() : resumeRow) - first, starts,
                   m_pending ? 0 : shift);
    return !m_pending;
}

void RowLayout::updateLater(qsizetype from)
{
    const qsizetype first = firstRowToWrap(from);
    m_rows.replace(first + 1, m_rows.count() - first - 1, {}, 0);
    m_pending = true;
}

bool RowLayout::layOutMore(const WireDocument &text, qsizetype budget)
{
    if (!m_pending)
        return true;
    const qsizetype last = m_rows.count() - 1;
    const qsizetype start = m_rows.at(last);
    std::vector<qsizetype> starts{start};
    m_pending = false;
    wrap(text, start, [&](qsizetype rowStart) {
        starts.push_back(rowStart);
        if (rowStart - start < budget)
            return true;
        m_pending = true;
        return false;
    });
    m_rows.replace(last, 1, starts, 0);
    return !m_pending;
}

int RowLayout::walk(const WireDocument &document, qsizetype from, qsizetype to,
                    const std::function<void(qsizetype, int, int)> &visit) const
{
    int x = 0;
    for (qsizetype i = from; i < to;) {
        const Step step =
            stepAt(*m_metrics, document.at(i), characterAfter(document.store(), i), x);
        if (visit)
            visit(i, step.length, step.advance);
        x += step.advance;
        i += step.length;
    }
    return x;
}

void RowLayout::followChange(const WireDocument &text, qsizetype from, qsizetype removed,
                             qsizetype added)
{
    // A large insertion, or an edit that moves every row of a long line, is
    // laid out in slices, so that the window keeps answering.
    if (added > m_slice)
        updateLater(from);
    else
        update(text, from, removed, added, m_slice);
}

void RowLayout::relayoutInSlices(const WireDocument &text)
{
    if (text.size() > m_slice)
        updateLater(0);
    else
        relayout(text);
}

void RowLayout::layOutThrough(const WireDocument &text, qsizetype position)
{
    if (!isLaidOut(position))
        layOutMore(text, position - m_rows.at(knownRows()) + 1);
}

qsizetype RowLayout::positionInRow(const WireDocument &text, qsizetype row, int x,
                                   bool *atRowEnd) const
{
    if (atRowEnd)
        *atRowEnd = false;
    const qsizetype start = rowStart(row);
    const qsizetype end = rowEnd(row, text.size());
    qsizetype found = -1;
    int left = 0;
    walk(text, start, end, [&](qsizetype at, int, int advance) {
        if (found < 0 && x < left + advance / 2)
            found = at;
        left += advance;
    });
    if (found >= 0)
        return found;
    // Past the last character: before the row's line end, if it has one;
    // else, where the row wraps, at its end.
    const qsizetype last = TextRules::beforeLineEnd(text, start, end);
    if (atRowEnd)
        *atRowEnd = last == end && row + 1 < rowCount();
    return last;
}
