// Texts of the instrument's real numbers for files and machine output. The
// instrument measures and stores in single precision, so a value is written
// as the shortest decimal that reads back as the same single-precision value
// (0.1 rather than 0.100000001490116), never in exponent form, which
// spreadsheets and people read alike.
#pragma once

#include <QChar>
#include <QString>

#include <optional>

// Empty for a value that is no finite single-precision number.
QString singlePrecisionText(double value, QChar decimalMark = u'.');
// A value as it was given: a single-precision value (as the instrument sends
// them) as singlePrecisionText writes it, any other as the shortest text that
// reads back as the same double, so that a typed -25.000001 is shown as typed
// and not as the single-precision -25.000002 it would become.
QString numberAsGiven(double value);
// The double that text stands for, so that machine output shows 0.1 and not
// 0.10000000149011612; nullopt for a value that is no finite single-precision number.
std::optional<double> singlePrecisionValue(double value);
