#include "AppError.h"
#include "FuzzCheck.h"
#include "PortRule.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

// The port rule on any text a user could type or paste: no crash, no undefined
// behaviour, and the rule's promises hold.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const double value = PortRule::leadingNumberValue(text);
    const QString written = PortRule::numberText(value);
    const QString kept = PortRule::sanitisedPortText(text);

    // A text stays exactly when it is the number text of its own value;
    // anything else is replaced, as a whole, by "0".
    check(kept == (written == text ? text : QStringLiteral("0")));
    // The nested run of the rule finds the box unchanged and stops.
    check(PortRule::sanitisedPortText(kept) == kept);
    // The number text of any value the box can mean stays in the box. Right
    // below the double range its 15 digits round up past the largest double.
    if (std::isfinite(value) && std::fabs(value) < 1e308)
        check(PortRule::sanitisedPortText(written) == written);

    // Listen and Connect read a kept text as its value rounded half to even;
    // otherwise the conversion fails with 13 (not a number) or 6 (overflow).
    const double rounded = std::nearbyint(value);
    const bool fits = rounded >= -2147483648.0 && rounded <= 2147483647.0;
    try {
        const qint32 port = PortRule::portFromText(text);
        if (kept == text)
            check(fits && port == qint32(rounded));
    } catch (const AppError &error) {
        check(error.number() == 6 || error.number() == 13);
        if (kept == text)
            check(error.number() == 6 && !fits);
    }
    return 0;
}
