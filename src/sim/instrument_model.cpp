// Behaviour of the simulated instrument. The input stage is modelled from the
// terminals to the converter codes (divider, gain, shunt, converter offset and
// gain error), so readings respond to forcing the way the calibration wizard
// expects, and the stored calibration really is what turns codes into values.
#include "sim/instrument_model.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

using instrument::ConverterFullScale;

// Converter input span: +-2.5 V gives +-ConverterFullScale.
constexpr double ConverterVolts = 2.5;
// CH1 divider ratios for the division levels 0 ("Minimum") ... 2 ("Maximum").
constexpr double DividerRatio[3] = {1.0, 10.0, 100.0};
// The current input's shunt, in volts per mA.
constexpr double ShuntVoltsPerMilliamp = 0.05;

// Imperfections the calibration removes.
constexpr qint32 OffsetCH0 = 1830;
constexpr qint32 OffsetCH1 = -1270;
constexpr double GainErrorCH0 = 0.991;
constexpr double GainErrorCH1 = 1.012;

// Per input range: gain and divider the instrument chooses itself (the same
// settings the calibration wizard forces for the range's full-scale point),
// the range's full scale, and the calibration point whose High value was
// measured at `reference` (V or mA).
struct RangeRow {
    quint8 gain;
    quint8 divider;
    double fullScale;
    double reference;
};
constexpr RangeRow Ranges[instrument::InputRangeCount] = {
    {2, 0, 0.2, 0.150}, {1, 0, 0.5, 0.450},   {1, 1, 2.5, 2.3},   {2, 1, 10.0, 10.0},
    {4, 2, 50.0, 40.0}, {1, 2, 125.0, 100.0}, {1, 2, 25.0, 20.0},
};

// Output stage: the current or voltage the PWM value really gives, and what
// an uncalibrated instrument assumes it gives.
constexpr double CurrentOffset = 0.15, CurrentSpan = 21.7; // mA at PWM 0 / full swing
constexpr double VoltageOffset = 0.02, VoltageSpan = 10.6; // V
constexpr double NominalCurrentSpan = 22.0, NominalVoltageSpan = 10.5;
constexpr double CurrentLimit = 22.0, VoltageLimit = 10.5;

constexpr double AmbientTemperature = 27.0;

double countsPerVolt(double gain, double gainError)
{
    return ConverterFullScale / ConverterVolts * gain * gainError;
}

bool isCalendarDate(quint16 year, quint8 month, quint8 day)
{
    return year != 0 && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

quint16 toPwm(double value)
{
    return quint16(std::clamp(std::lround(value), 0L, 65535L));
}

} // namespace

InstrumentModel::InstrumentModel(const Options &options) : options_(options), random_(options.seed)
{
    restoreFactoryDefaults();
    ram1Source_ = instrument::MemoryArea::Fram1;
    ram2Source_ = instrument::MemoryArea::Fram2;
    // A factory calibration that matches the modelled hardware exactly.
    if (options.inputCalibrated) {
        for (int r = 0; r < instrument::InputRangeCount; ++r) {
            const RangeRow &row = Ranges[r];
            const bool current = r == instrument::CurrentInputRange;
            const qint32 offset = current ? OffsetCH0 : OffsetCH1;
            const double volts = current ? row.reference * ShuntVoltsPerMilliamp
                                         : row.reference / DividerRatio[row.divider];
            const double perVolt = countsPerVolt(row.gain, current ? GainErrorCH0 : GainErrorCH1);
            inputCalibration_[r] = {offset, offset + qint32(std::lround(volts * perVolt))};
        }
        inputCalibrated_ = true;
        calibrationDate_ = {2013, 10, 1};
    }
    if (options.outputCalibrated) {
        outputCalibration_ = {toPwm((4.0 - CurrentOffset) / CurrentSpan * 65535),
                              toPwm((20.0 - CurrentOffset) / CurrentSpan * 65535),
                              toPwm((2.0 - VoltageOffset) / VoltageSpan * 65535),
                              toPwm((10.0 - VoltageOffset) / VoltageSpan * 65535)};
        outputCalibrated_ = true;
        calibrationDate_ = {2013, 10, 1};
    }
    temperatureMin_ = 18.4;
    temperatureMax_ = 41.9;
}

void InstrumentModel::restoreFactoryDefaults()
{
    inputType_ = instrument::Type::Current;
    outputType_ = instrument::Type::Current;
    inputLow_ = outputLow_ = 4.0;
    inputHigh_ = outputHigh_ = 20.0;
    inputCalibration_ = {};
    inputCalibrated_ = false;
    outputCalibration_ = {0, 65535, 0, 65535};
    outputCalibrated_ = false;
    calibrationDate_ = {};
    ram1Source_ = ram2Source_ = instrument::MemoryArea::FactoryDefaults;
}

InstrumentReply InstrumentModel::answer(const InstrumentRequest &request,
                                        std::chrono::milliseconds elapsed)
{
    const quint8 commands = request.CommandBits & instrument::Command::All;
    carryOut(commands, request);
    const double seconds = elapsed.count() / 1000.0;

    InstrumentReply reply;
    reply.FirmwareYear = FirmwareDate.year;
    reply.FirmwareMonth = FirmwareDate.month;
    reply.FirmwareDay = FirmwareDate.day;
    reply.AckBits = options_.neverAcknowledge ? 0 : commands;

    // Input stage: the signal reaches the channel its type is wired to; the
    // other channel reads its own offset and noise.
    const InputStage stage = inputStage(request);
    const double signal = inputSignal(seconds);
    const bool current = inputType_ == instrument::Type::Current;
    const double voltsCH0 = current ? signal * ShuntVoltsPerMilliamp * stage.gainCH0 : 0.0;
    const double voltsCH1 = current ? 0.0 : signal / DividerRatio[stage.dividerCH1] * stage.gainCH1;
    bool overrange = false;
    reply.ADValueCH0 = convert(voltsCH0, GainErrorCH0, OffsetCH0 + options_.inputDrift, overrange);
    reply.ADValueCH1 = convert(voltsCH1, GainErrorCH1, OffsetCH1 + options_.inputDrift, overrange);
    constexpr double Filter = 0.25; // weight of the newest reading
    averagedCH0_ = averagedCH0_ ? *averagedCH0_ + Filter * (reply.ADValueCH0 - *averagedCH0_)
                                : double(reply.ADValueCH0);
    averagedCH1_ = averagedCH1_ ? *averagedCH1_ + Filter * (reply.ADValueCH1 - *averagedCH1_)
                                : double(reply.ADValueCH1);
    reply.ADAveragedCH0 = qint32(std::lround(*averagedCH0_));
    reply.ADAveragedCH1 = qint32(std::lround(*averagedCH1_));

    reply.RAM1Source = ram1Source_;
    reply.RAM2Source = ram2Source_;
    reply.GainCH0 = stage.gainCH0;
    reply.GainCH1 = stage.gainCH1;
    reply.DividerCH1 = stage.dividerCH1;
    reply.InputRange = quint8(stage.range);
    reply.InputType = inputType_;
    reply.OutputType = outputType_;

    reply.InputValue = measuredInput(stage, reply.ADAveragedCH0, reply.ADAveragedCH1);
    const double inputSpan = inputHigh_ - inputLow_;
    reply.ScaleRatio =
        inputSpan != 0.0 ? std::clamp((reply.InputValue - inputLow_) / inputSpan, 0.0, 1.0) : 0.0;

    bool outputRangeError = false;
    reply.PWMValue = outputPwm(request, reply.ScaleRatio, outputRangeError);
    const double outputSpan = outputHigh_ - outputLow_;
    reply.OutputRatio =
        outputSpan != 0.0 ? (outputValue(reply.PWMValue) - outputLow_) / outputSpan : 0.0;

    reply.StatusBits = (inputCalibrated_ ? 0 : instrument::Status::InputNotCalibrated) |
                       (outputCalibrated_ ? 0 : instrument::Status::OutputNotCalibrated) |
                       (overrange ? instrument::Status::InputRangeError : 0) |
                       (outputRangeError ? instrument::Status::OutputRangeError : 0);

    reply.OperatingMinutes = options_.operatingMinutes + quint32(elapsed.count() / 60000);
    reply.CalYear = calibrationDate_.year;
    reply.CalMonth = calibrationDate_.month;
    reply.CalDay = calibrationDate_.day;
    reply.Temperature = temperatureAt(seconds);
    reply.TemperatureMin = temperatureMin_;
    reply.TemperatureMax = temperatureMax_;
    reply.ADSamplesPerSecond = 50;
    reply.ErrorNumber = 0;

    // The stored scale as it travels: single precision.
    reply.InputLow = float(inputLow_);
    reply.InputHigh = float(inputHigh_);
    reply.OutputLow = float(outputLow_);
    reply.OutputHigh = float(outputHigh_);
    // Keep every real inside single precision whatever the arithmetic gave.
    for (double *v : {&reply.InputValue, &reply.OutputRatio, &reply.ScaleRatio, &reply.Temperature,
                      &reply.TemperatureMin, &reply.TemperatureMax})
        *v = instrument::travelsAsReal(*v) ? double(float(*v)) : 0.0;
    return reply;
}

void InstrumentModel::carryOut(quint8 commands, const InstrumentRequest &request)
{
    using namespace instrument;
    // A cleared memory first, so that values stored by the same request
    // survive it.
    if (commands & Command::ClearFramAndReset) {
        restoreFactoryDefaults();
        averagedCH0_.reset();
        averagedCH1_.reset();
    }
    bool calibrated = false;
    if (commands & Command::StoreInputCalibration) {
        inputCalibration_ = request.inputCalibration();
        // A point whose zero and full-scale readings coincide gives no slope.
        inputCalibrated_ = std::all_of(inputCalibration_.begin(), inputCalibration_.end(),
                                       [](const auto &p) { return p.low != p.high; });
        calibrated = inputCalibrated_;
        ram1Source_ = MemoryArea::Ram1;
    }
    if (commands & Command::StoreOutputCalibration) {
        outputCalibration_ = {request.OutCalPWM4mA, request.OutCalPWM20mA, request.OutCalPWM2V,
                              request.OutCalPWM10V};
        outputCalibrated_ = request.OutCalPWM4mA < request.OutCalPWM20mA &&
                            request.OutCalPWM2V < request.OutCalPWM10V;
        calibrated = calibrated || outputCalibrated_;
        ram1Source_ = MemoryArea::Ram1;
    }
    if (calibrated && isCalendarDate(request.CalYear, request.CalMonth, request.CalDay))
        calibrationDate_ = {request.CalYear, request.CalMonth, request.CalDay};
    if (commands & Command::WriteSettings) {
        // A type code the instrument does not know leaves the stored type.
        if (request.InputType == Type::Current || request.InputType == Type::Voltage)
            inputType_ = request.InputType;
        if (request.OutputType == Type::Current || request.OutputType == Type::Voltage)
            outputType_ = request.OutputType;
        // Stored as the instrument holds them: single precision.
        auto store = [](double &target, double value) {
            if (travelsAsReal(value)) target = float(value);
        };
        store(inputLow_, request.InputLow);
        store(inputHigh_, request.InputHigh);
        store(outputLow_, request.OutputLow);
        store(outputHigh_, request.OutputHigh);
        ram1Source_ = MemoryArea::Ram1;
    }
    if (commands & Command::ClearTemperatureMinMax) {
        temperatureMin_ = std::numeric_limits<double>::infinity();
        temperatureMax_ = -std::numeric_limits<double>::infinity();
    }
    if (commands & (Command::Reset | Command::ClearFramAndReset)) {
        // A restart reloads the working data from the FRAM (or the factory
        // defaults just written) and starts the filters afresh.
        if (!(commands & Command::ClearFramAndReset)) {
            ram1Source_ = MemoryArea::Fram1;
            ram2Source_ = MemoryArea::Fram2;
        }
        averagedCH0_.reset();
        averagedCH1_.reset();
    }
}

int InstrumentModel::ownRange() const
{
    if (inputType_ == instrument::Type::Current) return instrument::CurrentInputRange;
    const double needed = std::max(std::fabs(inputLow_), std::fabs(inputHigh_));
    for (int r = 0; r < instrument::CurrentInputRange; ++r)
        if (needed <= Ranges[r].fullScale) return r;
    return instrument::CurrentInputRange - 1;
}

InstrumentModel::InputStage InstrumentModel::inputStage(const InstrumentRequest &request) const
{
    InputStage stage;
    stage.range = instrument::decodeRangeForce(request.RangeForce).value_or(ownRange());
    const RangeRow &row = Ranges[stage.range];
    if (stage.range == instrument::CurrentInputRange)
        stage.gainCH0 = row.gain;
    else
        stage.gainCH1 = row.gain;
    stage.dividerCH1 = row.divider;
    if (const auto gain = instrument::decodeGainForce(request.GainForce))
        (gain->channelCH1 ? stage.gainCH1 : stage.gainCH0) = quint8(gain->gain);
    if (const auto divider = instrument::decodeDividerForce(request.DividerForce))
        stage.dividerCH1 = quint8(*divider);
    return stage;
}

double InstrumentModel::inputSignal(double seconds) const
{
    if (options_.inputSignal) return *options_.inputSignal;
    // A slow sweep over most of the stored scale: one period a minute.
    const double phase = 2 * std::numbers::pi * seconds / 60.0;
    return inputLow_ + (inputHigh_ - inputLow_) * (0.5 + 0.45 * std::sin(phase));
}

qint32 InstrumentModel::convert(double volts, double gainError, qint32 offset, bool &overrange)
{
    const double code = volts * countsPerVolt(1.0, gainError) + offset + noise(40);
    if (std::fabs(code) > ConverterFullScale) {
        overrange = true;
        return code > 0 ? ConverterFullScale : -ConverterFullScale;
    }
    return qint32(std::lround(code));
}

double InstrumentModel::measuredInput(const InputStage &stage, qint32 averagedCH0,
                                      qint32 averagedCH1) const
{
    const bool current = stage.range == instrument::CurrentInputRange;
    const double code = current ? averagedCH0 : averagedCH1;
    const auto &point = inputCalibration_[stage.range];
    if (inputCalibrated_ && point.high != point.low)
        return (code - point.low) / double(point.high - point.low) * Ranges[stage.range].reference;
    // Without calibration: nominal conversion, converter errors included.
    const double perVolt = countsPerVolt(current ? stage.gainCH0 : stage.gainCH1, 1.0);
    const double volts = code / perVolt;
    return current ? volts / ShuntVoltsPerMilliamp : volts * DividerRatio[stage.dividerCH1];
}

quint16 InstrumentModel::outputPwm(const InstrumentRequest &request, double scaleRatio,
                                   bool &rangeError) const
{
    if (request.PWMForce != 0) return request.PWMForce;
    // The output check drives the output to a percentage of the output scale.
    const double ratio = request.CalibrationStep == instrument::OutputCheckStep
                             ? std::min<int>(request.OutCheckPercent, 100) / 100.0
                             : scaleRatio;
    const double wanted = outputLow_ + (outputHigh_ - outputLow_) * ratio;
    const bool current = outputType_ == instrument::Type::Current;
    const double limit = current ? CurrentLimit : VoltageLimit;
    rangeError = wanted < 0.0 || wanted > limit;
    double pwm;
    if (outputCalibrated_) {
        const double lowPwm = outputCalibration_[current ? 0 : 2];
        const double highPwm = outputCalibration_[current ? 1 : 3];
        const double lowValue = current ? 4.0 : 2.0;
        const double highValue = current ? 20.0 : 10.0;
        pwm = lowPwm + (highPwm - lowPwm) * (wanted - lowValue) / (highValue - lowValue);
    } else {
        pwm = wanted / (current ? NominalCurrentSpan : NominalVoltageSpan) * 65535;
    }
    if (pwm < 0.0 || pwm > 65535.0) rangeError = true;
    return toPwm(pwm);
}

double InstrumentModel::outputValue(quint16 pwm) const
{
    const double fraction = pwm / 65535.0;
    return outputType_ == instrument::Type::Current ? CurrentOffset + CurrentSpan * fraction
                                                    : VoltageOffset + VoltageSpan * fraction;
}

double InstrumentModel::temperatureAt(double seconds)
{
    // Warming up inside the cabinet, with a slow wobble and sensor noise.
    const double warmUp = 6.0 * (1.0 - std::exp(-seconds / 600.0));
    const double wobble = 0.4 * std::sin(2 * std::numbers::pi * seconds / 97.0);
    const double t = AmbientTemperature + warmUp + wobble + noise(5) / 100.0;
    temperatureMin_ = std::min(temperatureMin_, t);
    temperatureMax_ = std::max(temperatureMax_, t);
    return t;
}

int InstrumentModel::noise(int amplitude)
{
    // Difference of two uniform draws: peaks at 0, stays within +-amplitude. Taken
    // from the raw generator output so a seed repeats on every platform.
    const auto draw = [&] { return int(random_() % std::uint32_t(amplitude + 1)); };
    return draw() - draw();
}
