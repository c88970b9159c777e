// From the plain request state to the request's fields.
#include "core/request_state.h"

namespace {

// An entry the instrument could receive, or the default.
double entryValue(const std::optional<double> &value, double fallback)
{
    if (!value || !instrument::travelsAsReal(*value)) return fallback;
    return *value;
}

int typeItem(instrument::SignalType type)
{
    return type == instrument::SignalType::Current ? 0 : 1;
}

} // namespace

ScaleEntry ScaleEntry::fromSettings(const InstrumentSettings &settings)
{
    return {typeItem(settings.input.type),
            typeItem(settings.output.type),
            settings.input.low,
            settings.input.high,
            settings.output.low,
            settings.output.high};
}

ScaleValues requestScaleValues(const ScaleEntry &entry)
{
    using instrument::DefaultScaleHigh, instrument::DefaultScaleLow;
    ScaleValues values{entryValue(entry.inputLow, DefaultScaleLow),
                       entryValue(entry.inputHigh, DefaultScaleHigh),
                       entryValue(entry.outputLow, DefaultScaleLow),
                       entryValue(entry.outputHigh, DefaultScaleHigh)};
    const auto type =
        instrument::signalTypeFromCode(entry.inputTypeItem + instrument::Type::Current);
    if (type) {
        const double limit = instrument::inputLimit(*type);
        values.inputLow = instrument::limitedInputValue(values.inputLow, limit);
        values.inputHigh = instrument::limitedInputValue(values.inputHigh, limit);
    }
    return values;
}

InstrumentRequest buildRequest(const RequestState &state)
{
    using namespace instrument;
    InstrumentRequest request;
    request.PWMForce = quint16(state.pwmForce);
    request.CommandBits = state.commands;

    const auto &points = state.inputCalibration;
    request.InCalLow1 = points[0].low;
    request.InCalHigh1 = points[0].high;
    request.InCalLow2 = points[1].low;
    request.InCalHigh2 = points[1].high;
    request.OutCalPWM4mA = quint16(state.outputCalibration[0]);
    request.OutCalPWM20mA = quint16(state.outputCalibration[1]);
    request.OutCalPWM2V = quint16(state.outputCalibration[2]);
    request.OutCalPWM10V = quint16(state.outputCalibration[3]);

    request.CalYear = quint16(state.date.year());
    request.CalMonth = quint8(state.date.month());
    request.CalDay = quint8(state.date.day());

    request.CalibrationStep = state.outputCheck ? OutputCheckStep : 0;
    request.OutCheckPercent = quint8(state.outputCheckPosition * 5);
    request.GainForce = gainForceCode(state.gainItem, state.gainChannelCH1);
    request.DividerForce = dividerForceCode(state.dividerItem);

    request.InCalLow3 = points[2].low;
    request.InCalHigh3 = points[2].high;
    request.InCalLow4 = points[3].low;
    request.InCalHigh4 = points[3].high;
    request.InCalLow5 = points[4].low;
    request.InCalHigh5 = points[4].high;
    request.InCalLow6 = points[5].low;
    request.InCalHigh6 = points[5].high;
    request.InCalLow7 = points[6].low;
    request.InCalHigh7 = points[6].high;

    // A type without a selection (-1) travels as 99.
    request.InputType = quint8(state.scale.inputTypeItem + Type::Current);
    request.OutputType = quint8(state.scale.outputTypeItem + Type::Current);
    const ScaleValues scale = requestScaleValues(state.scale);
    request.InputLow = scale.inputLow;
    request.InputHigh = scale.inputHigh;
    request.OutputLow = scale.outputLow;
    request.OutputHigh = scale.outputHigh;
    request.SpareReal = 0.0;

    request.RangeForce = rangeForceCode(state.rangeItem);
    return request;
}
