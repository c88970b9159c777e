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
    {1000, u"mV", 200, SignalType::Voltage, u"-200 mV ... +200 mV", u"IN+: terminal 9 (Uin1)",
     u"##0.00", Terminals::In7To9},
    {1000, u"mV", 500, SignalType::Voltage, u"-500 mV ... +500 mV", u"IN+: terminal 9 (Uin1)",
     u"##0.00", Terminals::In7To9},
    {1, u"V", 2.5, SignalType::Voltage, u"-2.5 V ... +2.5 V", u"IN+: terminal 9 (Uin1)", u"0.0000",
     Terminals::In7To9},
    {1, u"V", 10, SignalType::Voltage, u"-10 V ... +10 V", u"IN+: terminal 10 (Uin2)", u"#0.000",
     Terminals::In7To10},
    {1, u"V", 50, SignalType::Voltage, u"-50 V ... +50 V", u"IN+: terminal 10 (Uin2)", u"#0.000",
     Terminals::In7To10},
    {1, u"V", 125, SignalType::Voltage, u"-125 V ... +125 V", u"IN+: terminal 10 (Uin2)", u"##0.00",
     Terminals::In7To10},
    {1, u"mA", 25, SignalType::Current, u"-25 mA ... +25 mA", u"IN+: terminal 8 (Iin)", u"#0.000",
     Terminals::In7To8},
}};

constexpr OutputRangeUnits CurrentOutput{u"mA",
                                         0.0,
                                         22.0,
                                         SignalType::Current,
                                         u"0 ... +22 mA",
                                         u"OUT+: terminal 6 (+Iout)",
                                         u"OUT-: terminal 5 (-Iout)",
                                         Terminals::Out5To6};
constexpr OutputRangeUnits VoltageOutput{u"V",
                                         0.0,
                                         10.5,
                                         SignalType::Voltage,
                                         u"0 ... +10.5 V",
                                         u"OUT+: terminal 4 (+Uout)",
                                         u"OUT-: terminal 3 (-Uout)",
                                         Terminals::Out3To4};

constexpr std::array<StatusFlag, 6> StatusFlags{{
    {Status::InputNotCalibrated, u"input not calibrated", u"inputNotCalibrated"},
    {Status::FramError, u"FRAM error", u"framError"},
    {Status::OutputNotCalibrated, u"output not calibrated", u"outputNotCalibrated"},
    {Status::OutputRangeError, u"output range error", u"outputRangeError"},
    {Status::InputRangeError, u"input range error", u"inputRangeError"},
    {Status::ConverterError, u"converter error", u"converterError"},
}};

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

QString memoryAreaName(int code)
{
    switch (code) {
    case MemoryArea::Ram1:
        return QStringLiteral("RAM 1. terület");
    case MemoryArea::Ram2:
        return QStringLiteral("RAM 2. terület");
    case MemoryArea::Fram1:
        return QStringLiteral("FRAM 1. terület");
    case MemoryArea::Fram2:
        return QStringLiteral("FRAM 2. terület");
    case MemoryArea::FactoryDefaults:
        return QStringLiteral("GYÁRI ALAPADATOK");
    default:
        return QStringLiteral("????");
    }
}

std::span<const StatusFlag> statusFlagTable()
{
    return StatusFlags;
}

} // namespace instrument
