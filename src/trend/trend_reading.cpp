// From a decoded reply to the values the trend plots.
#include "trend/trend_reading.h"

#include "core/decoded_reading.h"

namespace {

TrendValue valueOf(const std::optional<double> &value, const QString &unit, int scale)
{
    TrendValue result;
    if (value) result.value = *value;
    result.unit = unit;
    result.scale = scale;
    return result;
}

} // namespace

TrendReading trendReadingOf(const DecodedReading &reading, int inputRange)
{
    static const QString celsius = QStringLiteral("°C");
    TrendReading result;
    result.msecsSinceEpoch = reading.time.toMSecsSinceEpoch();
    result.input = valueOf(reading.inputValue, reading.inputUnit, inputRange);
    // The output's unit tells its type.
    result.output = valueOf(reading.outputValue, reading.outputUnit, 0);
    result.temperature = valueOf(reading.temperature, celsius, 0);
    return result;
}
