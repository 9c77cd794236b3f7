#include "WireDocument.h"

#include "TextRules.h"

#include <utility>

WireDocument::WireDocument(QObject *parent, qsizetype blockLength)
    : QObject(parent), m_store(blockLength)
{
}

QString WireDocument::text(qsizetype from, qsizetype to) const
{
    from = qBound<qsizetype>(0, from, size());
    to = qBound(from, to, size());
    return m_store.mid(from, to);
}

TextSnapshot WireDocument::snapshot(qsizetype from, qsizetype to) const
{
    from = qBound<qsizetype>(0, from, size());
    return TextSnapshot(m_store.section(from, qBound(from, to, size())));
}

void WireDocument::forEachPiece(qsizetype from, qsizetype to,
                                const std::function<void(const QString &)> &visit) const
{
    from = qBound<qsizetype>(0, from, size());
    to = qBound(from, to, size());
    for (qsizetype at = from; at < to;) {
        // A piece never ends inside a CR LF or a surrogate pair.
        qsizetype end = qMin(at + pieceLength, to);
        if (end < to && !TextRules::isBoundary(*this, end))
            --end;
        visit(m_store.mid(at, end));
        at = end;
    }
}

void WireDocument::setSelection(qsizetype anchor, qsizetype position)
{
    const qsizetype oldAnchor = m_anchor;
    const qsizetype oldPosition = m_position;
    m_anchor = TextRules::snapToStop(*this, anchor);
    m_position = TextRules::snapToStop(*this, position);
    emit selectionSet(oldAnchor, oldPosition);
}

void WireDocument::setCaretBetweenCrLf(bool between)
{
    m_caretBetweenCrLf = between;
    const auto outOfPair = [this](qsizetype position) {
        return TextRules::isStop(*this, position) ? position : position + 1;
    };
    if (!between && (!TextRules::isStop(*this, m_anchor) || !TextRules::isStop(*this, m_position)))
        setSelection(outOfPair(m_anchor), outOfPair(m_position));
}

void WireDocument::recordForUndo(qsizetype from, qsizetype to, qsizetype added, bool typed)
{
    if (!m_undoEnabled)
        return;
    UndoRecord record{from, added, m_store.mid(from, to), m_origins.runs(from, to)};
    if (m_gathering > 0)
        m_gathered.edits.push_back(std::move(record));
    else
        m_undo.record({{std::move(record)}, m_anchor, m_position}, typed);
}

template <typename Change>
void WireDocument::change(qsizetype from, qsizetype removed, qsizetype added, bool appended,
                          Change change)
{
    emit aboutToChange(from, removed, added);
    change();
    const auto keep = [&](qsizetype position) {
        if (position >= from + removed)
            return position + added - removed;
        return qMin(position, from);
    };
    m_anchor = TextRules::snapToStop(*this, keep(m_anchor));
    m_position = TextRules::snapToStop(*this, keep(m_position));
    emit changed(from, removed, added, appended);
}

// An append that runs out of memory half-way leaves the text and the origins
// as they were, so that whoever appended can offer the same piece again
// without any of it going in twice.
template <typename Append> void WireDocument::appendWhole(qsizetype added, Append append)
{
    if (added == 0)
        return;
    const qsizetype before = size();
    change(before, 0, added, true, [&] {
        try {
            append();
        } catch (...) {
            m_store.truncate(before);
            m_origins.truncate(before);
            throw;
        }
    });
}

void WireDocument::edit(qsizetype from, qsizetype to, const QString &text, EditKind kind,
                        OriginStamp stamp)
{
    if (kind == EditKind::Append && from == size() && to == from) {
        appendWhole(text.size(), [&] {
            m_store.append(text);
            m_origins.append(text.size(), stamp);
        });
        return;
    }
    replace(from, to, text, {{text.size(), stamp}}, kind);
}

void WireDocument::replace(qsizetype from, qsizetype to, const QString &text,
                           const OriginRuns &runs, EditKind kind)
{
    const qsizetype removed = to - from;
    if (removed == 0 && text.isEmpty())
        return;
    if (kind == EditKind::User || kind == EditKind::Typing)
        recordForUndo(from, to, text.size(), kind == EditKind::Typing);
    change(from, removed, text.size(), kind == EditKind::Append, [&] {
        if (from == size())
            m_store.append(text);
        else
            m_store.replace(from, to, text);
        m_origins.replace(from, to, runs);
    });
}

void WireDocument::appendBytes(const QByteArray &bytes, OriginStamp stamp)
{
    appendWhole(bytes.size(), [&] {
        m_store.adoptBytes(bytes);
        m_origins.append(bytes.size(), stamp);
    });
}

QByteArrayView WireDocument::appendRead(qsizetype most, OriginStamp stamp,
                                        const std::function<qsizetype(char *, qsizetype)> &read)
{
    if (most <= 0)
        return {};
    m_origins.reserveAppend();
    char *room = m_store.roomForBytes(most);
    const qsizetype count = qBound<qsizetype>(0, read(room, most), most);
    if (count == 0)
        return {};
    change(size(), 0, count, true, [&] {
        m_store.commitRoom(count);
        m_origins.append(count, stamp);
    });
    return {room, count};
}

void WireDocument::setText(const QString &text)
{
    edit(0, size(), text, EditKind::Other);
    m_undo.clear();
    setCaret(0);
}

void WireDocument::append(const QString &piece, OriginStamp stamp)
{
    edit(size(), size(), piece, EditKind::Append, stamp);
}

void WireDocument::replaceSelection(const QString &text, bool typed)
{
    const qsizetype from = selectionStart();
    edit(from, selectionEnd(), text, typed ? EditKind::Typing : EditKind::User);
    setCaret(from + text.size());
}

void WireDocument::removeSelectionOr(qsizetype from, qsizetype to)
{
    if (hasSelection()) {
        replaceSelection(QString());
    } else if (from < to) {
        edit(from, to, QString(), EditKind::User);
        setCaret(from);
    }
}

void WireDocument::replaceAllWithBytes(const QList<QByteArray> &pieces)
{
    qsizetype length = 0;
    for (const QByteArray &piece : pieces)
        length += piece.size();
    if (isEmpty() && length == 0)
        return;
    recordForUndo(0, size(), length, false);
    change(0, size(), length, false, [&] {
        m_store.clear();
        for (const QByteArray &piece : pieces)
            m_store.adoptBytes(piece);
        m_origins.clear();
        m_origins.append(length, OriginStamp{});
    });
    setCaret(0);
}

void WireDocument::replaceRange(qsizetype from, qsizetype to, const QString &text, bool typed)
{
    from = TextRules::snapToStop(*this, from);
    to = qMax(from, TextRules::snapToStop(*this, to));
    edit(from, to, text, typed ? EditKind::Typing : EditKind::User);
    setCaret(from + text.size());
}

void WireDocument::drop(qsizetype at, const QString &text, bool moved)
{
    beginUndoStep();
    if (moved) {
        const qsizetype from = selectionStart();
        const qsizetype to = selectionEnd();
        edit(from, to, QString(), EditKind::User);
        if (at > to)
            at -= to - from;
    }
    at = TextRules::snapToStop(*this, at);
    edit(at, at, text, EditKind::User);
    endUndoStep();
    setSelection(at, at + text.size());
}

void WireDocument::setUndoEnabled(bool enabled)
{
    m_undoEnabled = enabled;
    if (!enabled)
        m_undo.clear();
}

void WireDocument::beginUndoStep()
{
    if (m_gathering++ == 0)
        m_gathered = {{}, m_anchor, m_position};
}

void WireDocument::endUndoStep()
{
    if (--m_gathering == 0 && !m_gathered.edits.empty())
        m_undo.record(std::exchange(m_gathered, {}), false);
}

void WireDocument::apply(UndoStep &step, bool backwards)
{
    const auto swap = [this](UndoRecord &record) {
        const qsizetype end = record.at + record.length;
        QString now = m_store.mid(record.at, end);
        OriginRuns nowOrigins = m_origins.runs(record.at, end);
        replace(record.at, end, record.text, record.origins, EditKind::Other);
        record.length = record.text.size();
        record.text = std::move(now);
        record.origins = std::move(nowOrigins);
    };
    if (backwards) {
        for (auto record = step.edits.rbegin(); record != step.edits.rend(); ++record)
            swap(*record);
        setSelection(step.anchorBefore, step.positionBefore);
    } else {
        for (UndoRecord &record : step.edits)
            swap(record);
        const UndoRecord &last = step.edits.back();
        setCaret(last.at + last.length);
    }
}

void WireDocument::undo()
{
    if (canUndo())
        apply(m_undo.takeUndo(), true);
}

void WireDocument::redo()
{
    if (canRedo())
        apply(m_undo.takeRedo(), false);
}
