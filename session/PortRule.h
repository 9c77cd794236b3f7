#pragma once

#include <QString>
#include <QStringView>

// The port box holds only a plain number text: a text stays exactly when it is
// the number text of its own leading-number value, otherwise it becomes "0".
namespace PortRule {

// The number at the start of a text, the way BASIC's Val reads it: spaces, tabs
// and line feeds are skipped wherever they stand; then an optional sign, digits
// with at most one decimal point and an optional exponent (E or D, optional
// sign, digits); or "&H" / "&O" and a hexadecimal / octal integer. Reading stops
// at the first character that fits none of this; no number at all gives 0.
double leadingNumberValue(QStringView text);

// The number written as BASIC's Str writes it, with its leading space already
// removed: "-" for negatives, no leading zeros, "." as decimal point whatever
// the locale, no "0" before the point below 1, no trailing zeros, at most 15
// significant digits, exponent form ("1E+15") from 1E15 up.
QString numberText(double value);

// The text the port box must hold after its text became `text`: the text itself
// when it is a number text, "0" otherwise.
QString sanitisedPortText(const QString &text);

// Listen and Connect read the port box as a signed 32-bit integer: the text as a
// decimal number rounded half to even. Throws AppError 13 (not a number) or
// 6 (outside the 32-bit range).
qint32 portFromText(const QString &text);

} // namespace PortRule
