#include "RegistryValueText.h"

#include <stdexcept>

namespace RegistryValueText {

std::string keptCharacters(const char *buffer, std::uint32_t bufferSize, std::uint32_t size)
{
    // The last data byte is looked at by its position; a value without data
    // has none, which is an error of the caller's, not an empty text.
    if (size == 0 || size > bufferSize)
        throw std::invalid_argument("Invalid procedure call or argument");
    const std::uint32_t kept = buffer[size - 1] == '\0' ? size - 1 : size;
    return std::string(buffer, kept);
}

std::string hexLiteral(const std::string &kept)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string literal = "&h";
    for (auto it = kept.rbegin(); it != kept.rend(); ++it) {
        const auto code = static_cast<unsigned char>(*it);
        literal += digits[code >> 4];
        literal += digits[code & 0x0F];
    }
    return literal;
}

std::string decimalFromHexLiteral(const std::string &literal)
{
    if (literal.size() <= 2 ||
        (literal.compare(0, 2, "&h") != 0 && literal.compare(0, 2, "&H") != 0))
        throw std::invalid_argument("Type mismatch");
    std::uint64_t value = 0;
    for (std::size_t i = 2; i < literal.size(); ++i) {
        const char c = literal[i];
        int digit = 0;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else
            throw std::invalid_argument("Type mismatch");
        value = value * 16 + static_cast<std::uint64_t>(digit);
        // Leading zeros may make the literal long; only the value must fit.
        if (value > UINT32_MAX)
            throw std::out_of_range("Overflow");
    }
    return std::to_string(value);
}

} // namespace RegistryValueText
