#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>

// The wire's code page, Windows-1252, as two tables: the character each byte
// stands for, and the byte of each character that has one. Every byte has a
// character (the five bytes the code page leaves undefined, 0x81 0x8D 0x8F
// 0x90 0x9D, keep their own C1 code point), so bytes decode and encode back
// unchanged. The transcript keeps text as these bytes wherever it can. The
// one place the code page is read: what names a character that has no byte to
// the user (session's CodePage1252) reads it through here.
namespace CodePageTable {

extern const std::array<char16_t, 256> characters;

inline char16_t characterOf(unsigned char byte)
{
    return characters[byte];
}

// The byte of every BMP code unit; 0 means "no byte" for everything but
// U+0000 itself. Surrogates have none, so a character outside the BMP is
// refused by its first half.
const std::array<std::uint8_t, 0x10000> &byteTable();

inline bool hasByte(const std::array<std::uint8_t, 0x10000> &table, char16_t unit)
{
    return table[unit] != 0 || unit == 0;
}

void decode(const char *bytes, qsizetype size, char16_t *out);
// Every byte as the one character it stands for.
QString decode(QByteArrayView bytes);
// Writes the bytes of `text` to `out` (text.size() bytes); returns the index
// of the first character without a byte (what was written is then of no use),
// or -1.
qsizetype encode(QStringView text, char *out);
// The index of the first character without a byte, or -1.
qsizetype firstWithoutByte(QStringView text);

} // namespace CodePageTable
