#include "PortRule.h"

#include "AppError.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace {

// Exponents are saturated here while reading: far beyond any double's range, yet small enough
// that adding a text's digit count can never overflow.
constexpr long long exponentLimit = 1'000'000'000;

bool isSkippedSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool isDecimalDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Digit value of c in the given radix (8, 10 or 16), or -1 when c is no such digit.
int digitValue(QChar c, int radix)
{
    const char16_t u = c.unicode();
    int value = -1;
    if (u >= u'0' && u <= u'9')
        value = u - u'0';
    else if (u >= u'a' && u <= u'f')
        value = u - u'a' + 10;
    else if (u >= u'A' && u <= u'F')
        value = u - u'A' + 10;
    return value < radix ? value : -1;
}

// A decimal number taken apart while reading it: the value is
// 0.<significantDigits> × 10^scale, so that no digit count or exponent length can make the
// conversion itself overflow.
struct DecimalParts
{
    bool negative = false;
    std::string significantDigits; // without leading zeros; empty means zero
    long long scale = 0;
    bool anyDigit = false; // "." or "-" alone are no number
};

// How far a decimal number reaches from the start of a text, and what it is.
struct DecimalScan
{
    DecimalParts parts;
    qsizetype end = 0; // index just past the last character that belongs to the number
};

// Reads sign, digits with at most one point, and an exponent (E or D, either case) from the
// start of `text`. An exponent letter not followed by digits is not part of the number.
DecimalScan scanDecimal(QStringView text)
{
    const auto at = [text](qsizetype i) { return i < text.size() ? text.at(i) : QChar(); };
    DecimalScan scan;
    DecimalParts &parts = scan.parts;
    qsizetype pos = 0;
    if (at(pos) == u'+' || at(pos) == u'-')
        parts.negative = text.at(pos++) == u'-';

    bool afterPoint = false;
    for (;; ++pos) {
        const QChar c = at(pos);
        if (c == u'.' && !afterPoint) {
            afterPoint = true;
            continue;
        }
        if (!isDecimalDigit(c))
            break;
        parts.anyDigit = true;
        if (c == u'0' && parts.significantDigits.empty()) {
            // A leading zero after the point moves the first significant digit one place down.
            if (afterPoint)
                --parts.scale;
            continue;
        }
        parts.significantDigits.push_back(char(c.unicode()));
        if (!afterPoint)
            ++parts.scale;
    }
    scan.end = pos;
    if (!parts.anyDigit)
        return scan;

    const QChar letter = at(pos).toUpper();
    if (letter != u'E' && letter != u'D')
        return scan;
    ++pos;
    bool exponentNegative = false;
    if (at(pos) == u'+' || at(pos) == u'-')
        exponentNegative = text.at(pos++) == u'-';
    if (!isDecimalDigit(at(pos)))
        return scan;
    long long exponent = 0;
    for (; isDecimalDigit(at(pos)); ++pos) {
        if (exponent < exponentLimit)
            exponent = exponent * 10 + (at(pos).unicode() - u'0');
    }
    parts.scale += exponentNegative ? -exponent : exponent;
    scan.end = pos;
    return scan;
}

// The double nearest to the parts; too large gives infinity, too small gives zero.
double toDouble(const DecimalParts &parts)
{
    if (parts.significantDigits.empty())
        return 0.0;
    double magnitude = 0.0;
    // Far outside the double range the answer is known without building a huge exponent text.
    if (parts.scale > 400) {
        magnitude = std::numeric_limits<double>::infinity();
    } else if (parts.scale < -400) {
        magnitude = 0.0;
    } else {
        // from_chars ignores the C locale, unlike strtod, so the app's setlocale cannot change
        // what "." means here.
        const std::string text = "0." + parts.significantDigits + "e" + std::to_string(parts.scale);
        const auto result = std::from_chars(text.data(), text.data() + text.size(), magnitude);
        if (result.ec == std::errc::result_out_of_range)
            magnitude = parts.scale > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return parts.negative ? -magnitude : magnitude;
}

// The value of "&H..." / "&O..." digits starting at `pos` of a text without skipped spaces.
double radixValue(const QString &text, qsizetype pos, int radix)
{
    double value = 0.0;
    for (; pos < text.size(); ++pos) {
        const int digit = digitValue(text.at(pos), radix);
        if (digit < 0)
            break;
        value = value * radix + digit;
    }
    return value;
}

// Splits a finite, non-zero magnitude into its 15 significant digits (trailing zeros dropped)
// and the decimal exponent of the first digit, rounding the way the digits will be shown.
void splitDigits(double magnitude, QString &digits, int &exponent)
{
    // 'e' formatting is locale-independent and yields "d.dddddddddddddde±X".
    const QString scientific = QString::number(magnitude, 'e', 14);
    const qsizetype e = scientific.indexOf(u'e');
    digits = scientific.left(e);
    digits.remove(u'.');
    while (digits.size() > 1 && digits.endsWith(u'0'))
        digits.chop(1);
    exponent = scientific.mid(e + 1).toInt();
}

// Lays the digits out as BASIC's Str does: plain from 1E-4 up to below 1E15, exponent form
// outside (the %G rule for 15 digits).
QString layOutDigits(const QString &digits, int exponent)
{
    if (exponent >= 15 || exponent < -4) {
        QString text = digits.left(1);
        if (digits.size() > 1)
            text += u'.' + digits.mid(1);
        text += exponent < 0 ? QStringLiteral("E-") : QStringLiteral("E+");
        text += QString::number(std::abs(exponent)).rightJustified(2, u'0');
        return text;
    }
    if (exponent < 0)
        return u'.' + QString(-exponent - 1, u'0') + digits;
    const qsizetype wholeDigits = exponent + 1;
    if (digits.size() <= wholeDigits)
        return digits + QString(wholeDigits - digits.size(), u'0');
    return digits.left(wholeDigits) + u'.' + digits.mid(wholeDigits);
}

} // namespace

namespace PortRule {

double leadingNumberValue(QStringView text)
{
    QString compact;
    compact.reserve(text.size());
    for (const QChar c : text) {
        if (!isSkippedSpace(c))
            compact.append(c);
    }

    if (compact.startsWith(u"&H", Qt::CaseInsensitive))
        return radixValue(compact, 2, 16);
    if (compact.startsWith(u"&O", Qt::CaseInsensitive))
        return radixValue(compact, 2, 8);

    const DecimalScan scan = scanDecimal(compact);
    const double value = toDouble(scan.parts);
    return value == 0.0 ? 0.0 : value; // "-0" reads as plain zero
}

QString numberText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (value == 0.0)
        return QStringLiteral("0");
    // No text reads back as infinity, so a box text that overflows never stays.
    const QString sign = value < 0 ? QStringLiteral("-") : QString();
    if (std::isinf(value))
        return sign + QStringLiteral("inf");

    QString digits;
    int exponent = 0;
    splitDigits(std::fabs(value), digits, exponent);
    return sign + layOutDigits(digits, exponent);
}

QString sanitisedPortText(const QString &text)
{
    const QString canonical = numberText(leadingNumberValue(text));
    return canonical == text ? text : QStringLiteral("0");
}

qint32 portFromText(const QString &text)
{
    const QString trimmed = text.trimmed();
    const DecimalScan scan = scanDecimal(trimmed);
    if (!scan.parts.anyDigit || scan.end != trimmed.size())
        throw AppError(13, QStringLiteral("Type mismatch"));

    const double value = toDouble(scan.parts);
    // std::round breaks ties away from zero; a tie then steps back to the even neighbour.
    // Both steps are exact, so the global floating-point rounding mode plays no part.
    double rounded = std::round(value);
    if (std::fabs(value - rounded) == 0.5 && std::fmod(rounded, 2.0) != 0.0)
        rounded -= std::copysign(1.0, value);
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0))
        throw AppError(6, QStringLiteral("Overflow"));
    return static_cast<qint32>(rounded);
}

} // namespace PortRule
