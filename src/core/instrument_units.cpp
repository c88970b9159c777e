// The instrument's units and ranges, in one table each.
#include "core/instrument_units.h"

#include "protocol/instrument_protocol.h"

#include <array>
#include <cmath>

namespace instrument {

namespace {

// Indexed by the reply's InputRange, the same index RangeForce forces. The
// reply gives voltages in V and currents in mA; the two smallest ranges are
// read in mV.
constexpr std::array<InputRangeUnits, InputRangeCount> InputRanges{{
    {1000, u"mV", 200, SignalType::Voltage},
    {1000, u"mV", 500, SignalType::Voltage},
    {1, u"V", 2.5, SignalType::Voltage},
    {1, u"V", 10, SignalType::Voltage},
    {1, u"V", 50, SignalType::Voltage},
    {1, u"V", 125, SignalType::Voltage},
    {1, u"mA", 25, SignalType::Current},
}};

constexpr OutputRangeUnits CurrentOutput{u"mA", 0.0, 22.0, SignalType::Current};
constexpr OutputRangeUnits VoltageOutput{u"V", 0.0, 10.5, SignalType::Voltage};

} // namespace

std::optional<SignalType> signalTypeFromCode(int code)
{
    if (code == Type::Current) return SignalType::Current;
    if (code == Type::Voltage) return SignalType::Voltage;
    return std::nullopt;
}

quint8 signalTypeCode(SignalType type)
{
    return type == SignalType::Current ? Type::Current : Type::Voltage;
}

QString unitOf(SignalType type)
{
    return type == SignalType::Current ? QStringLiteral("mA") : QStringLiteral("V");
}

QString signalTypeName(SignalType type)
{
    return type == SignalType::Current ? QStringLiteral("current") : QStringLiteral("voltage");
}

std::optional<SignalType> signalTypeFromName(QStringView name)
{
    if (name == u"current") return SignalType::Current;
    if (name == u"voltage") return SignalType::Voltage;
    return std::nullopt;
}

double inputLimit(SignalType type)
{
    return type == SignalType::Current ? 25.0 : 125.0;
}

double limitedInputValue(double value, double limit)
{
    if (std::abs(value) <= limit) return value;
    return value >= 0.0 ? limit : -limit;
}

const InputRangeUnits *inputRangeUnits(int rangeIndex)
{
    if (rangeIndex < 0 || rangeIndex >= int(InputRanges.size())) return nullptr;
    return &InputRanges[std::size_t(rangeIndex)];
}

const OutputRangeUnits *outputRangeUnits(int outputTypeCode)
{
    if (outputTypeCode == Type::Current) return &CurrentOutput;
    if (outputTypeCode == Type::Voltage) return &VoltageOutput;
    return nullptr;
}

} // namespace instrument
