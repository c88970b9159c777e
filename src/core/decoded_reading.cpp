// The scaling of the input and output values: the range table's factor for
// the input, the stored output scale for the output.
#include "core/decoded_reading.h"

#include "core/instrument_units.h"

bool temperatureIsReading(double temperature)
{
    return temperature > -200.0;
}

DecodedReading DecodedReading::fromReply(const InstrumentReply &reply, const QDateTime &time)
{
    using namespace instrument;
    DecodedReading reading;
    reading.time = time;
    reading.inputRange = reply.InputRange;

    const InputRangeUnits *range = inputRangeUnits(reply.InputRange);
    if (range) reading.inputUnit = range->unit.toString();
    if (range && !(reply.StatusBits & Status::InputNotCalibrated))
        reading.inputValue = reply.InputValue * range->factor;

    if (const OutputRangeUnits *output = outputRangeUnits(reply.OutputType))
        reading.outputUnit = output->unit.toString();
    if (!(reply.StatusBits & Status::OutputNotCalibrated))
        reading.outputValue =
            reply.OutputLow + (reply.OutputHigh - reply.OutputLow) * reply.OutputRatio;

    reading.scaleRatio = reply.ScaleRatio;
    if (temperatureIsReading(reply.Temperature)) reading.temperature = reply.Temperature;
    reading.statusBits = reply.StatusBits;
    reading.adAveragedCH0 = reply.ADAveragedCH0;
    reading.adAveragedCH1 = reply.ADAveragedCH1;
    return reading;
}
