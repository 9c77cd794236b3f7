#include "CodePage1252.h"

#include "AppError.h"
#include "TextArea.h"

#include <array>
#include <cstdint>

namespace {

// The characters of bytes 0x80-0x9F. The five bytes the code page leaves undefined keep their
// own C1 code point so that every byte survives a decode/encode round trip.
constexpr std::array<char16_t, 32> highControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80-0x87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 0x88-0x8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90-0x97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 0x98-0x9F
};

constexpr std::array<char16_t, 256> buildDecodeTable()
{
    std::array<char16_t, 256> table{};
    for (int byte = 0; byte < 256; ++byte) {
        const bool remapped = byte >= 0x80 && byte < 0xA0;
        table[byte] = remapped ? highControlRange[byte - 0x80] : char16_t(byte);
    }
    return table;
}

constexpr std::array<char16_t, 256> decodeTable = buildDecodeTable();

// Byte of every BMP code unit; 0 means "no byte" for everything but U+0000 itself. Surrogates
// stay 0, so a character outside the BMP is refused by its first half.
using EncodeTable = std::array<std::uint8_t, 0x10000>;

const EncodeTable &encodeTable()
{
    static const EncodeTable table = [] {
        EncodeTable reverse{};
        for (int byte = 0; byte < 256; ++byte)
            reverse[decodeTable[byte]] = std::uint8_t(byte);
        return reverse;
    }();
    return table;
}

bool isEncodable(const EncodeTable &table, char16_t unit)
{
    return table[unit] != 0 || unit == 0;
}

// The whole character starting at `index`: a surrogate pair is named as one code point.
char32_t codePointAt(QStringView text, qsizetype index)
{
    const QChar first = text.at(index);
    if (first.isHighSurrogate() && index + 1 < text.size() && text.at(index + 1).isLowSurrogate())
        return QChar::surrogateToUcs4(first, text.at(index + 1));
    return first.unicode();
}

// Encodes `text` into `bytes`; returns the index of the first character the
// code page cannot carry (bytes then hold nothing useful), or -1.
qsizetype encodeInto(QStringView text, QByteArray &bytes)
{
    const EncodeTable &table = encodeTable();
    bytes.resize(text.size());
    char *out = bytes.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text.at(i).unicode();
        if (!isEncodable(table, unit))
            return i;
        out[i] = static_cast<char>(table[unit]);
    }
    return -1;
}

} // namespace

namespace CodePage1252 {

QString decode(const char *bytes, qsizetype size)
{
    QString text(size, Qt::Uninitialized);
    QChar *out = text.data();
    for (qsizetype i = 0; i < size; ++i)
        out[i] = QChar(decodeTable[static_cast<unsigned char>(bytes[i])]);
    return text;
}

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

qsizetype firstUnencodable(QStringView text)
{
    const EncodeTable &table = encodeTable();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!isEncodable(table, text.at(i).unicode()))
            return i;
    }
    return -1;
}

void encodePieces(const TextArea &box, int number, const QString &done,
                  const std::function<void(const QByteArray &)> &take)
{
    qsizetype refused = -1;
    qsizetype at = 0;
    box.forEachPiece([&](const QString &piece) {
        if (refused >= 0)
            return;
        QByteArray bytes;
        const qsizetype inPiece = encodeInto(piece, bytes);
        if (inPiece >= 0)
            refused = at + inPiece;
        else
            take(bytes);
        at += piece.size();
    });
    if (refused < 0)
        return;
    // Only now are lines counted, as far as the refused character.
    TextRules::PlaceCounter place;
    QString description;
    at = 0;
    box.forEachPiece([&](const QString &piece) {
        if (at <= refused && refused < at + piece.size())
            description = describeCharacter(piece, refused - at, place);
        else if (at < refused)
            place.add(piece);
        at += piece.size();
    });
    throw AppError(number,
                   description +
                       QStringLiteral(" cannot be %1 in the Windows-1252 code page").arg(done));
}

QByteArray encode(QStringView text)
{
    QByteArray bytes;
    const qsizetype refused = encodeInto(text, bytes);
    if (refused >= 0)
        throw AppError(40200, describeCharacter(text, refused) +
                                  QStringLiteral(" cannot be sent in the Windows-1252 code page"));
    return bytes;
}

} // namespace CodePage1252
