#pragma once

#include "TextStore.h"

#include <utility>

// A range of a document's text as it was when it was taken, whatever is
// edited or appended afterwards. It shares the document's blocks until
// either side changes one, so taking it costs a few pointers a block, not a
// copy of the text, and it holds only the blocks of its range. Save As and
// Copy read from one: the text they write or offer is the text the command
// was given on.
class TextSnapshot
{
public:
    TextSnapshot() = default;
    explicit TextSnapshot(TextStore text) : m_text(std::move(text)) {}

    qsizetype size() const { return m_text.size(); }
    // A copy of [from, to).
    QString text(qsizetype from, qsizetype to) const { return m_text.mid(from, to); }
    // [from, to) as bytes in the wire's code page, as WireDocument hands them.
    qsizetype forEachBytePiece(qsizetype from, qsizetype to,
                               const std::function<void(const QByteArray &bytes)> &visit) const
    {
        return m_text.forEachBytePiece(from, to, visit);
    }

private:
    TextStore m_text;
};
