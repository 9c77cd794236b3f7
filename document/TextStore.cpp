#include "TextStore.h"

#include "CodePageTable.h"
#include "ReserveOneMore.h"

#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <new>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

int appendsToFail = 0;

void failIfAsked()
{
    if (appendsToFail > 0) {
        --appendsToFail;
        throw std::bad_alloc();
    }
}

// The characters of a few views one after another, taken a block at a time
// without joining more than one block's worth.
class Concatenation
{
public:
    Concatenation(QStringView first, QStringView second, QStringView third)
        : m_parts{first, second, third}
    {
    }

    bool atEnd()
    {
        while (m_part < m_parts.size() && m_offset == m_parts[m_part].size()) {
            ++m_part;
            m_offset = 0;
        }
        return m_part == m_parts.size();
    }

    // The next `length` characters or as many as are left; a view into a part
    // when they lie in one, else a joined copy held in `joined`.
    QStringView take(qsizetype length, QString &joined)
    {
        const QStringView part = m_parts[m_part];
        if (part.size() - m_offset >= length) {
            m_offset += length;
            return part.mid(m_offset - length, length);
        }
        joined.clear();
        while (joined.size() < length && !atEnd()) {
            const QStringView rest = m_parts[m_part].mid(m_offset);
            const qsizetype n = qMin(rest.size(), length - joined.size());
            joined.append(rest.first(n));
            m_offset += n;
        }
        return joined;
    }

private:
    std::array<QStringView, 3> m_parts;
    std::size_t m_part = 0;
    qsizetype m_offset = 0;
};

template <typename Unit> inline bool isLineBreak(Unit unit)
{
    return unit == Unit('\r') || unit == Unit('\n');
}

// Byte blocks are searched for line breaks sixty-four bytes a step where the
// processor has SSE2 (every x86-64 one), so that a triple click on a line of
// a gigabyte reads it about as fast as memory goes; elsewhere a byte a step.
constexpr qsizetype stride = 64;

#if defined(__SSE2__)
// Whether [at, at + stride) holds a CR or an LF.
inline bool strideHoldsLineBreak(const unsigned char *at)
{
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    __m128i found = _mm_setzero_si128();
    for (int i = 0; i < stride; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(at + i));
        found =
            _mm_or_si128(found, _mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf)));
    }
    return _mm_movemask_epi8(found) != 0;
}
#else
inline bool strideHoldsLineBreak(const unsigned char *at)
{
    return std::any_of(at, at + stride, isLineBreak<unsigned char>);
}
#endif

// The first CR or LF in [begin, end), or -1.
qsizetype firstLineBreakIn(const unsigned char *begin, const unsigned char *end)
{
    const unsigned char *at = begin;
    while (end - at >= stride && !strideHoldsLineBreak(at))
        at += stride;
    const unsigned char *found = std::find_if(at, end, isLineBreak<unsigned char>);
    return found == end ? -1 : found - begin;
}

qsizetype lastLineBreakIn(const unsigned char *begin, const unsigned char *end)
{
    const unsigned char *at = end;
    while (at - begin >= stride && !strideHoldsLineBreak(at - stride))
        at -= stride;
    while (at > begin) {
        if (isLineBreak(*--at))
            return at - begin;
    }
    return -1;
}

template <typename Unit> qsizetype firstLineBreakIn(const Unit *begin, const Unit *end)
{
    const Unit *found = std::find_if(begin, end, isLineBreak<Unit>);
    return found == end ? -1 : found - begin;
}

template <typename Unit> qsizetype lastLineBreakIn(const Unit *begin, const Unit *end)
{
    for (const Unit *at = end; at > begin;) {
        if (isLineBreak(*--at))
            return at - begin;
    }
    return -1;
}

} // namespace

qsizetype TextStore::blockIndex(qsizetype position) const
{
    const qsizetype count = qsizetype(m_blocks.size());
    const auto holds = [&](qsizetype block) {
        return block >= 0 && block < count && m_starts[block] <= position &&
               (block + 1 == count || position < m_starts[block + 1]);
    };
    for (const qsizetype near : {m_lastBlock, m_lastBlock + 1, m_lastBlock - 1}) {
        if (holds(near))
            return m_lastBlock = near;
    }
    if (position >= m_starts.back())
        return m_lastBlock = count - 1;
    return m_lastBlock =
               std::upper_bound(m_starts.begin(), m_starts.end(), position) - m_starts.begin() - 1;
}

TextStore::Run TextStore::runAt(qsizetype position) const
{
    const qsizetype index = blockIndex(position);
    const Block &block = m_blocks[index];
    if (block.wide)
        return {m_starts[index], block.units.size(), nullptr,
                reinterpret_cast<const char16_t *>(block.units.constData())};
    return {m_starts[index], block.bytes.size(),
            reinterpret_cast<const unsigned char *>(block.bytes.constData()), nullptr};
}

void TextStore::copy(qsizetype from, qsizetype to, char16_t *out) const
{
    while (from < to) {
        const Run run = runAt(from);
        const qsizetype offset = from - run.start;
        const qsizetype n = qMin(run.length - offset, to - from);
        if (run.units)
            std::copy_n(run.units + offset, n, out);
        else
            CodePageTable::decode(reinterpret_cast<const char *>(run.bytes) + offset, n, out);
        out += n;
        from += n;
    }
}

QString TextStore::mid(qsizetype from, qsizetype to) const
{
    QString text(to - from, Qt::Uninitialized);
    copy(from, to, reinterpret_cast<char16_t *>(text.data()));
    return text;
}

qsizetype TextStore::forEachBytePiece(qsizetype from, qsizetype to,
                                      const std::function<void(const QByteArray &)> &visit) const
{
    QByteArray bytes;
    while (from < to) {
        const qsizetype index = blockIndex(from);
        const Block &block = m_blocks[index];
        const qsizetype offset = from - m_starts[index];
        const qsizetype n = qMin(block.size() - offset, to - from);
        if (!block.wide) {
            visit(n == block.bytes.size() ? block.bytes : block.bytes.mid(offset, n));
        } else {
            bytes.resize(n);
            const qsizetype refused =
                CodePageTable::encode(QStringView(block.units).mid(offset, n), bytes.data());
            if (refused >= 0)
                return from + refused;
            visit(bytes);
        }
        from += n;
    }
    return -1;
}

TextStore TextStore::section(qsizetype from, qsizetype to) const
{
    TextStore part(m_blockLength);
    while (from < to) {
        const qsizetype index = blockIndex(from);
        const Block &block = m_blocks[index];
        const qsizetype offset = from - m_starts[index];
        const qsizetype n = qMin(block.size() - offset, to - from);
        Block piece = block;
        if (n < block.size()) {
            piece.bytes = block.bytes.mid(offset, n);
            piece.units = block.units.mid(offset, n);
        }
        part.m_blocks.push_back(std::move(piece));
        part.m_starts.push_back(part.m_size);
        part.m_size += n;
        from += n;
    }
    return part;
}

void TextStore::forEachWideRun(qsizetype from, qsizetype to,
                               const std::function<void(qsizetype, QStringView)> &visit) const
{
    to = qMin(to, m_size);
    while (from < to) {
        const qsizetype index = blockIndex(from);
        const Block &block = m_blocks[index];
        const qsizetype offset = from - m_starts[index];
        const qsizetype n = qMin(block.size() - offset, to - from);
        if (block.wide)
            visit(from, QStringView(block.units).mid(offset, n));
        from += n;
    }
}

qsizetype TextStore::firstLineBreak(qsizetype from, qsizetype to) const
{
    to = qMin(to, m_size);
    while (from < to) {
        const Run run = runAt(from);
        const qsizetype offset = from - run.start;
        const qsizetype n = qMin(run.length - offset, to - from);
        const qsizetype found = run.bytes
                                    ? firstLineBreakIn(run.bytes + offset, run.bytes + offset + n)
                                    : firstLineBreakIn(run.units + offset, run.units + offset + n);
        if (found >= 0)
            return from + found;
        from += n;
    }
    return -1;
}

qsizetype TextStore::lastLineBreak(qsizetype from, qsizetype to) const
{
    from = qMax<qsizetype>(0, from);
    to = qMin(to, m_size);
    while (from < to) {
        const Run run = runAt(to - 1);
        const qsizetype start = qMax(from, run.start);
        const qsizetype found =
            run.bytes
                ? lastLineBreakIn(run.bytes + (start - run.start), run.bytes + (to - run.start))
                : lastLineBreakIn(run.units + (start - run.start), run.units + (to - run.start));
        if (found >= 0)
            return start + found;
        to = start;
    }
    return -1;
}

TextStore::Block TextStore::makeBlock(QStringView text)
{
    Block block;
    block.bytes = QByteArray(text.size(), Qt::Uninitialized); // resize() would round up
    if (CodePageTable::encode(text, block.bytes.data()) >= 0) {
        block.bytes = QByteArray();
        block.units = text.toString();
        block.wide = true;
    }
    return block;
}

void TextStore::replace(qsizetype from, qsizetype to, QStringView text)
{
    if (from == to && text.isEmpty())
        return;
    if (from == 0 && to == m_size && m_size > 0) {
        clear();
        append(text);
        return;
    }
    // The blocks [first, last] that the edit falls in; at the very end, the
    // last block, so that it grows rather than a small one starting.
    const qsizetype first = m_blocks.empty() ? 0 : blockIndex(qMin(from, m_size - 1));
    qsizetype last = m_blocks.empty() ? -1 : qMax(first, blockIndex(qMax(from, to - 1)));
    const qsizetype start = m_blocks.empty() ? 0 : m_starts[first];
    qsizetype end = last < 0 ? 0 : m_starts[last] + m_blocks[last].size();
    // The short block the edit would leave at its end joins the next one
    // when they fit in one, so that typing into a full block does not add a
    // block a keystroke.
    const qsizetype left = (end - start + text.size() - (to - from)) % m_blockLength;
    if (left > 0 && last + 1 < qsizetype(m_blocks.size()) &&
        left + m_blocks[last + 1].size() <= m_blockLength)
        end += m_blocks[++last].size();
    // An edit that stays inside one block changes it in place; any other
    // makes its blocks anew from the text around the edit and the edit's own.
    if (first != last || !replaceInBlock(first, from - start, to - from, text)) {
        const QString before = mid(start, from);
        const QString after = mid(to, end);
        std::vector<Block> made;
        made.reserve(std::size_t((before.size() + text.size() + after.size()) / m_blockLength + 1));
        Concatenation joined(before, text, after);
        QString scratch;
        while (!joined.atEnd())
            made.push_back(makeBlock(joined.take(m_blockLength, scratch)));
        m_blocks.erase(m_blocks.begin() + first, m_blocks.begin() + (last + 1));
        m_blocks.insert(m_blocks.begin() + first, std::make_move_iterator(made.begin()),
                        std::make_move_iterator(made.end()));
    }
    m_size += text.size() - (to - from);
    renumberFrom(first);
    m_lastBlock = first;
}

bool TextStore::replaceInBlock(qsizetype index, qsizetype offset, qsizetype removed,
                               QStringView text)
{
    Block &block = m_blocks[std::size_t(index)];
    const qsizetype length = block.size() + text.size() - removed;
    if (length <= 0 || length > m_blockLength)
        return false;
    if (!block.wide) {
        // Text with a character that has no byte widens the block: the
        // general way.
        QVarLengthArray<char, 256> bytes(text.size());
        if (CodePageTable::encode(text, bytes.data()) >= 0)
            return false;
        block.bytes.replace(offset, removed, QByteArrayView(bytes.data(), bytes.size()));
        return true;
    }
    block.units.replace(offset, removed, text.data(), text.size());
    // A wide block that no longer needs to be goes back to bytes.
    if (CodePageTable::firstWithoutByte(block.units) < 0)
        block = makeBlock(block.units);
    return true;
}

void TextStore::failNextAppends(int count)
{
    appendsToFail = count;
}

void TextStore::append(QStringView text)
{
    failIfAsked();
    QByteArray bytes;
    for (qsizetype at = 0; at < text.size(); at += m_blockLength) {
        const QStringView piece = text.mid(at, m_blockLength);
        bytes.resize(piece.size());
        if (CodePageTable::encode(piece, bytes.data()) < 0) {
            appendBytes(bytes);
        } else if (m_blocks.empty() || m_blocks.back().size() >= m_blockLength) {
            // After a full block the piece is a block of its own.
            fitLastBlock();
            m_blocks.push_back(makeBlock(piece));
            m_starts.push_back(m_size);
            m_size += piece.size();
        } else {
            replace(m_size, m_size, piece);
        }
    }
}

void TextStore::appendBytes(QByteArrayView bytes)
{
    const char *data = bytes.data();
    qsizetype left = bytes.size();
    // A short wide block at the end takes what fits, so that typing at the
    // end does not leave a block a character.
    if (left > 0 && !m_blocks.empty() && m_blocks.back().wide &&
        m_blocks.back().size() < m_blockLength) {
        QString &units = m_blocks.back().units;
        const qsizetype n = qMin(left, m_blockLength - units.size());
        const qsizetype at = units.size();
        units.resize(at + n);
        CodePageTable::decode(data, n, reinterpret_cast<char16_t *>(units.data()) + at);
        data += n;
        left -= n;
        m_size += n;
    }
    while (left > 0) {
        if (m_blocks.empty() || m_blocks.back().wide || m_blocks.back().size() >= m_blockLength) {
            fitLastBlock();
            Block block;
            block.bytes.reserve(m_blockLength);
            m_blocks.push_back(std::move(block));
            m_starts.push_back(m_size);
        }
        QByteArray &last = m_blocks.back().bytes;
        const qsizetype n = qMin(left, m_blockLength - last.size());
        last.append(data, n);
        data += n;
        left -= n;
        m_size += n;
    }
}

void TextStore::adoptBytes(const QByteArray &bytes)
{
    // Kept only at about one byte per byte: a piece read into a larger
    // buffer is copied instead.
    if (bytes.size() < m_blockLength / 2 || bytes.capacity() < bytes.size() ||
        bytes.capacity() > bytes.size() + bytes.size() / 8) {
        failIfAsked();
        appendBytes(bytes); // a raw-data array has no capacity: it is not ours to keep
        return;
    }
    fitLastBlock();
    Block block;
    block.bytes = bytes;
    m_blocks.push_back(std::move(block));
    failIfAsked();
    m_starts.push_back(m_size);
    m_size += bytes.size();
}

char *TextStore::roomForBytes(qsizetype count)
{
    failIfAsked();
    reserveOneMore(m_blocks);
    reserveOneMore(m_starts);
    if (!m_blocks.empty() && m_room.bytes.capacity() == 0) {
        // A shared block is copied, without its room, before it is written to.
        QByteArray &last = m_blocks.back().bytes;
        if (!m_blocks.back().wide && last.isDetached() && last.data_ptr().freeSpaceAtEnd() >= count)
            return last.data() + last.size();
    }
    if (m_room.bytes.capacity() < count || !m_room.bytes.isDetached()) {
        fitLastBlock();
        m_room.bytes = QByteArray();
        m_room.bytes.reserve(qMax(count, blocksOfReadRoom * m_blockLength));
    }
    return m_room.bytes.data();
}

void TextStore::commitRoom(qsizetype count) noexcept
{
    if (count <= 0)
        return;
    if (m_room.bytes.capacity() > 0) {
        m_room.bytes.resize(count);
        m_blocks.push_back(std::exchange(m_room, Block()));
        m_starts.push_back(m_size);
    } else {
        QByteArray &last = m_blocks.back().bytes;
        last.resize(last.size() + count);
    }
    m_size += count;
}

void TextStore::fitLastBlock()
{
    // Only a block of its own: squeeze() would copy a shared one.
    if (!m_blocks.empty() && !m_blocks.back().wide && m_blocks.back().bytes.isDetached() &&
        m_blocks.back().bytes.capacity() > m_blocks.back().bytes.size())
        m_blocks.back().bytes.squeeze();
}

void TextStore::truncate(qsizetype size)
{
    // The block lists may be a block out of step when a failure came between
    // their two additions.
    while (!m_blocks.empty() &&
           (m_blocks.size() > m_starts.size() || m_starts[m_blocks.size() - 1] >= size)) {
        m_blocks.pop_back();
    }
    m_starts.resize(m_blocks.size());
    if (!m_blocks.empty()) {
        Block &last = m_blocks.back();
        const qsizetype keep = size - m_starts.back();
        // Only a block this append wrote to is longer: it is not shared.
        if (last.size() > keep) {
            if (last.wide)
                last.units.truncate(keep);
            else
                last.bytes.truncate(keep);
        }
    }
    m_size = size;
    m_lastBlock = 0;
}

void TextStore::clear()
{
    // Swapped out, not just emptied, so that the block lists' own memory goes too.
    std::vector<Block>().swap(m_blocks);
    std::vector<qsizetype>().swap(m_starts);
    m_room = Block();
    m_size = 0;
    m_lastBlock = 0;
}

void TextStore::renumberFrom(std::size_t block)
{
    m_starts.resize(m_blocks.size());
    qsizetype start = block == 0 ? 0 : m_starts[block - 1] + m_blocks[block - 1].size();
    for (std::size_t i = block; i < m_blocks.size(); ++i) {
        m_starts[i] = start;
        start += m_blocks[i].size();
    }
}
