#include "LineEnds.h"

namespace LineEnds {

Place placeOf(QStringView text, qsizetype index)
{
    Place place;
    for (qsizetype i = 0; i < index;) {
        if (const int lineEnd = lengthAt(text, i)) {
            i += lineEnd;
            ++place.line;
            place.column = 1;
            continue;
        }
        const bool pair =
            text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        i += pair ? 2 : 1;
        ++place.column;
    }
    return place;
}

} // namespace LineEnds
