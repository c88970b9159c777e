// One decoded reply as the trend page plots it: the input value in its
// range's unit, the output value in its unit and the temperature, each with
// what its unit depends on, stamped with the moment it was decoded.
#pragma once

#include <QString>
#include <QtGlobal>

#include <limits>

// One plotted quantity of one reading. A value the reply does not give as a
// number (an uncalibrated input or output, no temperature sensor, a range
// without a unit) is NaN: the line has a gap there.
struct TrendValue {
    double value = std::numeric_limits<double>::quiet_NaN();
    QString unit;
    // What the unit follows (the input range, the output type): a change
    // ends the line even where the unit stays the same.
    int scale = 0;

    bool isValid() const { return value == value && !unit.isEmpty(); }
};

struct TrendReading {
    qint64 msecsSinceEpoch = 0; // when the reply was decoded, wall clock
    TrendValue input;
    TrendValue output;
    TrendValue temperature;
};

struct DecodedReading;

// The plotted values of a decoded reply measured on input range `inputRange`.
TrendReading trendReadingOf(const DecodedReading &reading, int inputRange);

// The quantities in plotting order.
enum class TrendQuantity { Input = 0, Output = 1, Temperature = 2 };
inline constexpr int kTrendQuantityCount = 3;
