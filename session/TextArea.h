#pragma once

#include <QString>

// A multi-line box whose text is exact: what was put in comes out character for
// character (CR LF, a lone CR and a lone LF stay distinct). The session reads
// the outgoing text from one and appends the transcript to another.
class TextArea
{
public:
    virtual ~TextArea() = default;

    virtual QString text() const = 0;
    virtual void setText(const QString &text) = 0;
    // Adds text after whatever the box holds; costs in proportion to the piece.
    virtual void appendText(const QString &piece) = 0;
};
