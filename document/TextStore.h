#pragma once

#include "CodePageTable.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <functional>
#include <vector>

// Text kept in blocks of up to 64 Ki characters. A block holds one byte
// per character, in the wire's code page, while every character in it has a
// byte there; a block holding one that has not (a typed 中, a character
// outside the BMP) holds UTF-16 instead. So what a peer sent costs one byte
// per byte, and widening for a typed character costs one block, not the text.
//
// Blocks are never empty, and an edit touches only the blocks it falls in:
// an append fills the last block, made with room for 64 Ki, and starts new
// ones, so what a peer sent is copied once and not moved again. An adopted
// block, or one read into, can be longer than 64 Ki; an edit in it cuts it
// into blocks of the usual length.
class TextStore
{
public:
    static constexpr qsizetype defaultBlockLength = 64 * 1024;
    // Tests use short blocks, so that a short text spans many.
    explicit TextStore(qsizetype blockLength = defaultBlockLength) : m_blockLength(blockLength) {}

    qsizetype size() const { return m_size; }
    char16_t at(qsizetype position) const
    {
        // Reading along the text stays in the block the last lookup found.
        if (m_lastBlock < qsizetype(m_blocks.size())) {
            const Block &block = m_blocks[m_lastBlock];
            const qsizetype offset = position - m_starts[m_lastBlock];
            if (offset >= 0 && offset < block.size())
                return characterIn(block, offset);
        }
        const qsizetype index = blockIndex(position);
        return characterIn(m_blocks[index], position - m_starts[index]);
    }
    // [from, to) as UTF-16, into `out`.
    void copy(qsizetype from, qsizetype to, char16_t *out) const;
    QString mid(qsizetype from, qsizetype to) const;
    // [from, to) as bytes in the code page, a block at a time; stops before
    // the block holding the first character without a byte and returns its
    // position, or returns -1. A whole byte block is handed as it is.
    qsizetype forEachBytePiece(qsizetype from, qsizetype to,
                               const std::function<void(const QByteArray &)> &visit) const;

    // [from, to) kept apart from later edits: a store of its own whose
    // blocks are this one's, shared until either side changes one (only the
    // parts of the two end blocks outside the range are left out, copied).
    TextStore section(qsizetype from, qsizetype to) const;
    // Calls `visit` with each stretch of [from, to) kept as UTF-16, with where
    // it starts. The rest holds bytes: no surrogate, nothing without a byte.
    void forEachWideRun(qsizetype from, qsizetype to,
                        const std::function<void(qsizetype start, QStringView units)> &visit) const;
    // The first position in [from, to) that holds a CR or an LF, or -1; and
    // the last. Byte blocks are searched sixty-four bytes a step.
    qsizetype firstLineBreak(qsizetype from, qsizetype to) const;
    qsizetype lastLineBreak(qsizetype from, qsizetype to) const;

    // [from, to) becomes `text`.
    void replace(qsizetype from, qsizetype to, QStringView text);
    void append(QStringView text);
    // Bytes in the wire's code page, one character each, copied in.
    void appendBytes(QByteArrayView bytes);
    // The same, but a piece of half a block or more, held in a buffer of
    // about its own size, becomes a block as it is, without a copy (a slice
    // of a file).
    void adoptBytes(const QByteArray &bytes);
    // Reading straight into the text's end, in two steps: room for `count`
    // bytes after the text, where a reader writes them, then as many of them
    // as it wrote made text. The room is what is left at the end of the last
    // block, or a new block made with room for 16 blocks (a MiB): a reader's
    // bytes are copied once, into memory kept for the text alone and larger
    // than the buffers a read passes through, so that it never takes their
    // place. Only the room can fail for want of memory; what it reserves lets
    // the second step allocate nothing.
    char *roomForBytes(qsizetype count);
    void commitRoom(qsizetype count) noexcept;
    // Back to the first `size` characters (<= size()), taking back what an
    // append that failed half-way put in; allocates nothing.
    void truncate(qsizetype size);
    void clear();

    // Tests make the next `count` appends and adoptions fail as an exhausted
    // allocator would (std::bad_alloc): an append before it changes
    // anything, an adoption half-way, once its block is in.
    static void failNextAppends(int count);

    // The block that holds `position` (< size()): its characters as bytes in
    // the code page, or as UTF-16 units; the other pointer is null.
    struct Run
    {
        qsizetype start;
        qsizetype length;
        const unsigned char *bytes;
        const char16_t *units;
    };
    Run runAt(qsizetype position) const;

private:
    struct Block
    {
        QByteArray bytes;
        QString units; // used instead of bytes in a wide block
        bool wide = false;
        qsizetype size() const { return wide ? units.size() : bytes.size(); }
    };

    qsizetype blockIndex(qsizetype position) const;
    static char16_t characterIn(const Block &block, qsizetype offset)
    {
        return block.wide ? block.units.at(offset).unicode()
                          : CodePageTable::characterOf(uchar(block.bytes.at(offset)));
    }
    // A block of `text`: bytes when every character has one, else UTF-16.
    static Block makeBlock(QStringView text);
    // The edit [offset, offset + removed) -> `text` made inside block `index`
    // itself, when the block stays one block of the same kind or becomes
    // bytes; false, with nothing changed, when it needs the general way.
    bool replaceInBlock(qsizetype index, qsizetype offset, qsizetype removed, QStringView text);
    void renumberFrom(std::size_t block);
    // Before another block follows it, the last keeps only what it holds,
    // not the room it was made with.
    void fitLastBlock();

    static constexpr qsizetype blocksOfReadRoom = 16;

    qsizetype m_blockLength;
    // The block the last lookup found: reading along the text (a line's
    // start or end, a word) then costs no search per character.
    mutable qsizetype m_lastBlock = 0;
    std::vector<Block> m_blocks;
    // Where each block starts.
    std::vector<qsizetype> m_starts;
    qsizetype m_size = 0;
    // A block made for reading, until what is read into it makes it text.
    Block m_room;
};
