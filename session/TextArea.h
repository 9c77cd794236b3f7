#pragma once

#include "OriginSpans.h"

#include <QByteArray>
#include <QString>

#include <functional>

// A multi-line box whose text is exact: what was put in comes out character for
// character (CR LF, a lone CR and a lone LF stay distinct). The session reads
// the outgoing text from one and appends the transcript to another. The text
// is read in pieces, each a copy, so that however long it grows it is never
// copied whole.
class TextArea
{
public:
    virtual ~TextArea() = default;

    virtual qsizetype textLength() const = 0;
    // Calls `visit` with the text's pieces in order.
    virtual void forEachPiece(const std::function<void(const QString &piece)> &visit) const = 0;
    // Calls `visit` with the text's pieces as bytes in the wire's code page,
    // in order; stops before the piece holding the first character that has
    // no byte there and returns its position, or returns -1.
    virtual qsizetype
    forEachBytePiece(const std::function<void(const QByteArray &bytes)> &visit) const = 0;
    virtual void setText(const QString &text) = 0;
    // Adds text of origin `stamp` after whatever the box holds; costs in
    // proportion to the piece.
    virtual void appendText(const QString &piece, OriginStamp stamp) = 0;
    // Adds bytes in the wire's code page, each the one character it stands
    // for, of origin `stamp`.
    virtual void appendBytes(const QByteArray &bytes, OriginStamp stamp) = 0;
    // The same, read straight into the box's text: `read(into, most)` writes
    // up to `most` bytes and returns how many. Returns them, valid until the
    // next change. Fails for want of memory only before anything is read.
    virtual QByteArrayView appendRead(qsizetype most, OriginStamp stamp,
                                      const std::function<qsizetype(char *, qsizetype)> &read) = 0;
    // What the text and what is kept beside it (origins) hold in memory.
    virtual qsizetype memoryBytes() const = 0;
    // Calls `changed` after each change of the text's length, whoever made it.
    virtual void setLengthChanged(std::function<void()> changed) = 0;
};
