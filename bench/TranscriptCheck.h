#pragma once

#include <QFile>
#include <QList>
#include <QString>

class WireTextEdit;

namespace bench {

class Payload;

// The one way the bench reads a text: its length, and a range of it at a
// time, never a second copy of the whole.
class TextRanges
{
public:
    virtual ~TextRanges() = default;
    virtual qsizetype size() const = 0;
    virtual QString range(qsizetype from, qsizetype length) const = 0;
};

// A box's text.
class BoxText : public TextRanges
{
public:
    explicit BoxText(const WireTextEdit *box) : m_box(box) {}
    qsizetype size() const override;
    QString range(qsizetype from, qsizetype length) const override;

private:
    const WireTextEdit *m_box;
};

// A file's bytes, each the character the code page makes of it.
class FileText : public TextRanges
{
public:
    explicit FileText(const QString &path);
    qsizetype size() const override { return m_file.size(); }
    QString range(qsizetype from, qsizetype length) const override;

private:
    mutable QFile m_file;
};

// The payloads of the TCP packets in a recording (pcapng, raw IP), one after
// the other, each byte the character the code page makes of it.
class RecordedText : public TextRanges
{
public:
    explicit RecordedText(const QString &path);
    qsizetype size() const override { return m_size; }
    QString range(qsizetype from, qsizetype length) const override;

private:
    struct Piece
    {
        qint64 fileOffset;
        qsizetype textOffset;
        qsizetype size;
    };
    mutable QFile m_file;
    QList<Piece> m_pieces;
    qsizetype m_size = 0;
};

// Whether the text holds what is left of `payload` from `from` on.
bool holdsFrom(const TextRanges &text, qsizetype from, Payload payload);

// The transcript of one accepted connection: its status lines (those of the
// handshake too, over TLS), every byte the peer sent, and the closing line.
bool transcriptHolds(const TextRanges &transcript, const Payload &payload, bool tls);

} // namespace bench
