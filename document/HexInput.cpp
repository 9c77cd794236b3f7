#include "HexInput.h"

#include <QChar>

namespace HexInput {

int digitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

Pairs readPairs(QStringView text)
{
    Pairs pairs;
    // Characters read so far, a surrogate pair one.
    qsizetype read = 0;
    // The first digit of the pair being read, and where it stood.
    int high = -1;
    qsizetype highAt = 0;
    // Where a 0x stood that still waits for its pair.
    qsizetype prefixAt = 0;
    const auto bad = [&pairs](qsizetype at) {
        pairs.bytes.clear();
        pairs.badAt = at;
        return pairs;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        ++read;
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        const int digit = digitValue(c);
        if (high >= 0) {
            if (digit < 0)
                return bad(read);
            pairs.bytes += char(high * 16 + digit);
            high = -1;
            prefixAt = 0;
        } else if (c == u'0' && prefixAt == 0 && i + 1 < text.size() &&
                   (text[i + 1] == u'x' || text[i + 1] == u'X')) {
            prefixAt = read++;
            ++i;
        } else if (digit >= 0) {
            high = digit;
            highAt = read;
        } else if (prefixAt != 0 || !(QChar::isSpace(c) || c == u',' || c == u':')) {
            return bad(read);
        }
    }
    if (high >= 0) {
        pairs.odd = true;
        return bad(highAt);
    }
    return prefixAt != 0 ? bad(prefixAt) : pairs;
}

} // namespace HexInput
