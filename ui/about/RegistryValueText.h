#pragma once

#include <cstdint>
#include <string>

// How a registry value's raw bytes become the text the launcher works with.
// Qt-free: part of the registry reader that also builds for Windows alone.
namespace RegistryValueText {

// Every value is read into a buffer of this many bytes.
constexpr std::uint32_t BufferSize = 1024;

// The first `size` bytes of `buffer`, less the last one when it is a zero
// byte (a text stored with its terminator loses exactly that one). Throws
// std::invalid_argument when there is no last byte to look at (size 0) or
// when `size` lies beyond the buffer.
std::string keptCharacters(const char *buffer, std::uint32_t bufferSize, std::uint32_t size);

// "&h" followed by each character's code as two uppercase hexadecimal
// digits, taken from the last character to the first: the little-endian
// number written as a hexadecimal literal.
std::string hexLiteral(const std::string &kept);

// The decimal text of an "&h" literal, read as an unsigned 32-bit number.
// Throws std::invalid_argument for a literal without digits or with a
// character that is no hexadecimal digit, and std::out_of_range for one that
// does not fit in 32 bits.
std::string decimalFromHexLiteral(const std::string &literal);

} // namespace RegistryValueText
