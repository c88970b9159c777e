// What the instrument's codes mean in physical terms: the two signal types
// with their units and input limits, the units and scaling of the seven input
// ranges, and the output ranges of the two output types. The window, the
// command-line tool and the readings files all take units and factors from
// here; the window keeps only its own display texts beside them.
#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <optional>

namespace instrument {

enum class SignalType { Current, Voltage };

// The type codes 100 (current) and 101 (voltage); any other code names no type.
std::optional<SignalType> signalTypeFromCode(int code);
quint8 signalTypeCode(SignalType type);

// "mA" or "V": the unit of a scale value of that type.
QString unitOf(SignalType type);
// "current" or "voltage": the type's name in files and machine output.
QString signalTypeName(SignalType type);
std::optional<SignalType> signalTypeFromName(QStringView name);

// The largest magnitude an input scale value may have: 25 mA on a current
// input, 125 V on a voltage input (the ends of the widest input ranges).
double inputLimit(SignalType type);
// The value as the request carries it: beyond the limit it becomes the limit
// with the value's sign (0 and positive values +limit); a value equal to the
// limit stays.
double limitedInputValue(double value, double limit);

// One row of the input range table, by the reply's InputRange.
struct InputRangeUnits {
    double factor;    // from the reply's base unit (V or mA) to `unit`
    QStringView unit; // "mV", "V" or "mA"
    double fullScale; // the range is -fullScale ... +fullScale, in `unit`
    SignalType type;
};
// nullptr for an index the table does not know (above 6).
const InputRangeUnits *inputRangeUnits(int rangeIndex);

// The output range of an output type code: 0 ... 22 mA or 0 ... 10.5 V.
struct OutputRangeUnits {
    QStringView unit;
    double low;
    double high;
    SignalType type;
};
// nullptr for a code other than 100 and 101.
const OutputRangeUnits *outputRangeUnits(int outputTypeCode);

} // namespace instrument
