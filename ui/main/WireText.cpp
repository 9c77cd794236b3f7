#include "WireText.h"

namespace WireText {

QString toShown(QStringView exact, int column)
{
    // At most two shown characters per exact one, plus split markers.
    QString shownText(exact.size() * 2 + exact.size() / (maxBlockLength / 2) + 4,
                      Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(shownText.data());
    char16_t *const begin = out;
    const char16_t *in = exact.utf16();
    const char16_t *const end = in + exact.size();
    const auto lineEnd = [&](char16_t symbol) {
        if (symbol)
            *out++ = symbol;
        // Long enough: this line end also closes the block.
        *out++ = column >= preferredBlockLength ? u'\n' : lineSeparator;
        column = *(out - 1) == u'\n' ? 0 : column + (symbol ? 2 : 1);
    };
    for (; in != end; ++in) {
        const char16_t c = *in;
        if (c == u'\r') {
            if (in + 1 != end && in[1] == u'\n') {
                ++in;
                lineEnd(0);
            } else {
                lineEnd(crSymbol);
            }
        } else if (c == u'\n') {
            lineEnd(lfSymbol);
        } else {
            if (column >= maxBlockLength) {
                *out++ = splitMarker;
                *out++ = u'\n';
                column = 0;
            }
            *out++ = shown(c);
            ++column;
        }
    }
    shownText.truncate(out - begin);
    return shownText;
}

char16_t *writeExact(char16_t *out, QStringView shownText, char16_t previous)
{
    for (const QChar qc : shownText) {
        const char16_t c = qc.unicode();
        if (c == lineSeparator) {
            if (!breakStandsAlone(previous)) {
                *out++ = u'\r';
                *out++ = u'\n';
            }
        } else if (c != splitMarker) {
            *out++ = exact(c);
        }
        previous = c;
    }
    return out;
}

} // namespace WireText
