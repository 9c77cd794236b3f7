#include "CodePage1252.h"

#include "AppError.h"
#include "CodePageTable.h"
#include "TextArea.h"

namespace {

// The whole character starting at `index`: a surrogate pair is named as one code point.
char32_t codePointAt(QStringView text, qsizetype index)
{
    const QChar first = text.at(index);
    if (first.isHighSurrogate() && index + 1 < text.size() && text.at(index + 1).isLowSurrogate())
        return QChar::surrogateToUcs4(first, text.at(index + 1));
    return first.unicode();
}

} // namespace

namespace CodePage1252 {

QString describeCharacter(QStringView text, qsizetype index, TextRules::PlaceCounter before)
{
    const QString codePoint =
        QString::number(uint(codePointAt(text, index)), 16).toUpper().rightJustified(4, u'0');
    before.add(text, index);
    const TextRules::PlaceCounter::Place place = before.place();
    return QStringLiteral("Character U+%1 at line %2, column %3")
        .arg(codePoint)
        .arg(place.line)
        .arg(place.column);
}

AppError refusal(qsizetype refused, int number, const QString &done,
                 const PieceReader &forEachPiece)
{
    // Only now are lines counted, as far as the refused character.
    TextRules::PlaceCounter place;
    QString description;
    qsizetype at = 0;
    forEachPiece([&](const QString &piece) {
        if (at <= refused && refused < at + piece.size())
            description = describeCharacter(piece, refused - at, place);
        else if (at < refused)
            place.add(piece);
        at += piece.size();
    });
    return AppError(number,
                    description +
                        QStringLiteral(" cannot be %1 in the Windows-1252 code page").arg(done));
}

void encodePieces(const TextArea &box, int number, const QString &done,
                  const std::function<void(const QByteArray &)> &take)
{
    const qsizetype refused = box.forEachBytePiece(take);
    if (refused >= 0)
        throw refusal(
            refused, number, done,
            [&box](const std::function<void(const QString &)> &visit) { box.forEachPiece(visit); });
}

QByteArray encode(QStringView text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    const qsizetype refused = CodePageTable::encode(text, bytes.data());
    if (refused >= 0)
        throw AppError(40200, describeCharacter(text, refused) +
                                  QStringLiteral(" cannot be sent in the Windows-1252 code page"));
    return bytes;
}

} // namespace CodePage1252
