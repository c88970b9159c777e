// Number pictures ("0 000 000", "## ##0", "0.0", "#0.000", ...) used by every
// display of the program, and the reading of numbers typed into edits.
//
// In a picture "0" is a digit that is always written, "#" a digit written only
// when significant, the first "." marks the decimal separator, and every other
// character is copied as it stands -- also where no digit stands before it, so
// "## ##0" writes 345 as " 345". Digits beyond the picture's integer places
// are all kept ("0" writes 1234 as "1234").
//
// Rounding to the picture's decimals works on the shortest decimal text of the
// value (the digits a user would see, e.g. 2.675 rather than its binary
// neighbour 2.67499999...), a half going away from zero: 0.125 in "0.00" is
// 0.13, -23.45 in "0.0" is -23.5. A minus sign goes directly before the first
// digit written ("-0 000 123", and "## ##0" writes -345 as " -345"), so the
// picture's padding stays in front of it; a value that rounds to zero is
// written without a sign. NaN is written "NaN" and the
// infinities "INF" and "-INF", whatever the picture.
#pragma once

#include <QChar>
#include <QString>
#include <QStringView>
#include <optional>

QString formatPattern(double value, QStringView pattern, QChar decimalSeparator);
// The same with the decimal separator of the default locale (QLocale()).
QString formatPattern(double value, QStringView pattern);

// The decimal separator of the default locale.
QChar localeDecimalSeparator();

// Reads a number as typed into an edit: optional blanks around it, an optional
// sign, digits with at most one decimal separator (exactly the one given; the
// other punctuation is not a separator), and an optional exponent ("1,5E3").
// Empty text, NaN/infinity words, group separators, anything else and numbers
// beyond the range of double give no value.
std::optional<double> parseLocaleNumber(QStringView text, QChar decimalSeparator);
std::optional<double> parseLocaleNumber(QStringView text);
