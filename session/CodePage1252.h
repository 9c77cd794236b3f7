#pragma once

#include "TextRules.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <functional>

class TextArea;

// Text crosses the wire in the Western 8-bit code page, Windows-1252. Decoding
// is lossless: every byte becomes one character (the five bytes the code page
// leaves undefined, 0x81 0x8D 0x8F 0x90 0x9D, become U+0081 ... U+009D) and
// encodes back to the same byte.
namespace CodePage1252 {

QString decode(const char *bytes, qsizetype size);
inline QString decode(const QByteArray &bytes)
{
    return decode(bytes.constData(), bytes.size());
}

// Index of the first character the code page cannot carry, or -1 when every
// character can be encoded. Surrogate pairs count as one unencodable character
// at the index of their first half.
qsizetype firstUnencodable(QStringView text);

// Names the character at `index` and where a user finds it, as in
// "Character U+4E2D at line 2, column 5". `text` is a piece of a longer text
// when `before` has counted what came before it.
QString describeCharacter(QStringView text, qsizetype index, TextRules::PlaceCounter before = {});

// Encodes the text in `box` a piece at a time, handing each piece's bytes to
// `take`; when a character has no byte in the code page, throws AppError
// `number`, "Character ... at line L, column C cannot be <done> in the
// Windows-1252 code page", before the piece that holds it is taken.
void encodePieces(const TextArea &box, int number, const QString &done,
                  const std::function<void(const QByteArray &bytes)> &take);

// Encodes text that firstUnencodable() accepted. Throws AppError 40200 naming
// the first character that has no byte in the code page; nothing is encoded
// then, so the caller can send all or nothing.
QByteArray encode(QStringView text);

} // namespace CodePage1252
