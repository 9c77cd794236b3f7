#pragma once

#include "AppError.h"
#include "TextRules.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <functional>

class TextArea;

// Text crosses the wire in the Western 8-bit code page, Windows-1252, through
// its table (CodePageTable): what is sent or saved, and the error that names a
// character the code page cannot carry where the user finds it.
namespace CodePage1252 {

// Names the character at `index` and where a user finds it, as in
// "Character U+4E2D at line 2, column 5". `text` is a piece of a longer text
// when `before` has counted what came before it.
QString describeCharacter(QStringView text, qsizetype index, TextRules::PlaceCounter before = {});

// Hands a text's pieces, in order, to `visit`.
using PieceReader = std::function<void(const std::function<void(const QString &piece)> &visit)>;

// AppError `number`, "Character ... at line L, column C cannot be <done> in
// the Windows-1252 code page", for the character at `refused` in the text
// `forEachPiece` reads, which must not cut a surrogate pair in two.
AppError refusal(qsizetype refused, int number, const QString &done,
                 const PieceReader &forEachPiece);

// Encodes the text in `box` a piece at a time, handing each piece's bytes to
// `take`; when a character has no byte in the code page, throws AppError
// `number`, "Character ... at line L, column C cannot be <done> in the
// Windows-1252 code page", before the piece that holds it is taken.
void encodePieces(const TextArea &box, int number, const QString &done,
                  const std::function<void(const QByteArray &bytes)> &take);

// Encodes text to send in one piece. Throws AppError 40200 naming
// the first character that has no byte in the code page; nothing is encoded
// then, so the caller can send all or nothing.
QByteArray encode(QStringView text);

} // namespace CodePage1252
