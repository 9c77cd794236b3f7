#pragma once

#include <QByteArray>
#include <QStringView>

// Bytes entered as hex digits, in the dump's byte column: typed two digits to
// a byte, or pasted as pairs. Nothing is ever guessed: an odd digit is not
// padded, and a paste that is not all pairs is refused whole.
namespace HexInput {

// The value of a hex digit in either case; -1 for anything else.
int digitValue(char16_t c);

// Pasted text read as hex pairs. Between pairs may stand whitespace (line
// breaks too), commas and colons; before a pair, 0x or 0X. `badAt` names the
// first character that breaks the rule (a character that is neither, a pair
// cut short, a digit left over at the end), counted from 1 in characters of
// the text, a surrogate pair one; 0 when the whole text is pairs.
struct Pairs
{
    QByteArray bytes;
    qsizetype badAt = 0;
    // Whether the text ran out inside a pair: an odd number of digits.
    bool odd = false;
};
Pairs readPairs(QStringView text);

} // namespace HexInput
