// What the instrument's codes mean: the two signal types with their units and
// input limits, the seven input ranges (scaling, unit, how a value on them is
// written, where the signal is wired), the output ranges of the two output
// types, the memory areas and the status flags. The window, the command-line
// tool, the records and the readings files all take them from here.
#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <optional>
#include <span>

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

// The terminal pairs a signal is wired to, as the wiring pictures show them.
enum class Terminals { In7To8, In7To9, In7To10, Out5To6, Out3To4 };

// One row of the input range table, by the reply's InputRange.
struct InputRangeUnits {
    double factor;    // from the reply's base unit (V or mA) to `unit`
    QStringView unit; // "mV", "V" or "mA"
    double fullScale; // the range is -fullScale ... +fullScale, in `unit`
    SignalType type;
    QStringView text;      // "-200 mV ... +200 mV"
    QStringView connector; // where IN+ goes
    QStringView pattern;   // the number pattern a value on this range is shown in
    Terminals terminals;
};
// nullptr for an index the table does not know (above 6).
const InputRangeUnits *inputRangeUnits(int rangeIndex);

// The output range of an output type code: 0 ... 22 mA or 0 ... 10.5 V.
struct OutputRangeUnits {
    QStringView unit;
    double low;
    double high;
    SignalType type;
    QStringView text;  // "0 ... +22 mA"
    QStringView plus;  // where OUT+ is
    QStringView minus; // where OUT- is
    Terminals terminals;
};
// nullptr for a code other than 100 and 101.
const OutputRangeUnits *outputRangeUnits(int outputTypeCode);

// The name of a memory area code (RAM1Source, RAM2Source); "????" for a code
// without one.
QString memoryAreaName(int code);

// The status flags of StatusBits: each bit, its words for people and its
// name for files and machine output.
struct StatusFlag {
    quint8 bit;
    QStringView words; // "input not calibrated"
    QStringView name;  // "inputNotCalibrated"
};
std::span<const StatusFlag> statusFlagTable();

} // namespace instrument
