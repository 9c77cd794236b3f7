#include "CodePageTable.h"

namespace CodePageTable {

namespace {

// The characters of bytes 0x80-0x9F; every other byte stands for the code
// point of its own value.
constexpr std::array<char16_t, 32> highControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 0x80-0x87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 0x88-0x8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 0x90-0x97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 0x98-0x9F
};

constexpr std::array<char16_t, 256> buildCharacters()
{
    std::array<char16_t, 256> table{};
    for (int byte = 0; byte < 256; ++byte) {
        const bool remapped = byte >= 0x80 && byte < 0xA0;
        table[byte] = remapped ? highControlRange[byte - 0x80] : char16_t(byte);
    }
    return table;
}

} // namespace

const std::array<char16_t, 256> characters = buildCharacters();

const std::array<std::uint8_t, 0x10000> &byteTable()
{
    static const std::array<std::uint8_t, 0x10000> table = [] {
        std::array<std::uint8_t, 0x10000> bytes{};
        for (int byte = 0; byte < 256; ++byte)
            bytes[characters[byte]] = std::uint8_t(byte);
        return bytes;
    }();
    return table;
}

void decode(const char *bytes, qsizetype size, char16_t *out)
{
    for (qsizetype i = 0; i < size; ++i)
        out[i] = characters[static_cast<unsigned char>(bytes[i])];
}

QString decode(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    decode(bytes.data(), bytes.size(), reinterpret_cast<char16_t *>(text.data()));
    return text;
}

qsizetype encode(QStringView text, char *out)
{
    const auto &table = byteTable();
    const char16_t *units = text.utf16();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!hasByte(table, units[i]))
            return i;
        out[i] = static_cast<char>(table[units[i]]);
    }
    return -1;
}

qsizetype firstWithoutByte(QStringView text)
{
    const auto &table = byteTable();
    const char16_t *units = text.utf16();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!hasByte(table, units[i]))
            return i;
    }
    return -1;
}

} // namespace CodePageTable
