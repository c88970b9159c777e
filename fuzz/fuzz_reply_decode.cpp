// libFuzzer target for the instrument reply on its way to the views: reply
// data of any length and content is read by the reply reader and decoded by
// the core as every view takes it (the reading in its units
// with its input range, the acknowledged commands, the range and output
// rows the displays show, the memory areas, the stored settings). The reply reader is checked
// against the reply's layout: every field reads from its own offset, a field the data does not
// reach reads as 0, and a whole reply written back gives the same bytes
// (NaNs apart, which may come back quieted). No window is built: what the
// window shows is decided here.
#include "core/exchange_reply.h"
#include "core/instrument_settings.h"
#include "core/instrument_units.h"
#include "frame/mbbuffers.h"
#include "protocol/instrument_protocol.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

namespace {

void check(bool ok)
{
    if (!ok) std::abort();
}

// The reply's data as the engine leaves it in its buffer after a good
// reply: from data index 1 on. The frame around it (header, CRC) is the
// receiver's business and fuzz_receiver's; building one per input cost more
// than all the decoding.
mb::MBRXDataBuffer bufferWith(std::span<const std::uint8_t> data)
{
    mb::MBRXDataBuffer rx;
    rx.loadRaw(data);
    return rx;
}

bool sameReal(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

// Returns the reply as read.
InstrumentReply checkReader(std::span<const std::uint8_t> data, mb::MBRXDataBuffer rx)
{
    const InstrumentReply reply = readReply(rx);

    // Fields by their offsets: the firmware date first, the converter
    // readings after it; a field cut short reads as 0.
    auto word = [&](std::size_t at) -> std::uint32_t {
        return at + 2 <= data.size() ? std::uint32_t(data[at] | data[at + 1] << 8) : 0;
    };
    auto integer = [&](std::size_t at) -> std::int32_t {
        if (at + 4 > data.size()) return 0;
        std::uint32_t v = 0;
        for (int n = 3; n >= 0; --n)
            v = v << 8 | data[at + std::size_t(n)];
        return std::int32_t(v);
    };
    check(reply.FirmwareYear == word(0));
    check(reply.ADValueCH0 == integer(4));
    check(reply.ADValueCH1 == integer(8));

    if (data.size() >= std::size_t(instrument::ReplyDataSize)) {
        mb::MBTXDataBuffer tx;
        if (writeReply(tx, reply)) {
            const auto written = tx.dataToSend();
            check(written.size() == std::size_t(instrument::ReplyDataSize));
            mb::MBRXDataBuffer back = bufferWith(written);
            const InstrumentReply reread = readReply(back);
            check(reread.ADValueCH0 == reply.ADValueCH0 && reread.PWMValue == reply.PWMValue &&
                  reread.CalDay == reply.CalDay && reread.DividerCH1 == reply.DividerCH1 &&
                  sameReal(reread.InputValue, reply.InputValue) &&
                  sameReal(reread.ScaleRatio, reply.ScaleRatio) &&
                  sameReal(reread.SpareReal, reply.SpareReal));
        } else {
            // Only a real that cannot travel refuses a reply; one read from
            // four bytes always can, unless it is not a number.
            check(std::isnan(reply.InputValue) || std::isnan(reply.OutputRatio) ||
                  std::isnan(reply.Temperature) || std::isnan(reply.TemperatureMin) ||
                  std::isnan(reply.TemperatureMax) || std::isnan(reply.InputLow) ||
                  std::isnan(reply.InputHigh) || std::isnan(reply.OutputLow) ||
                  std::isnan(reply.OutputHigh) || std::isnan(reply.ScaleRatio) ||
                  std::isnan(reply.SpareReal) || std::isinf(reply.InputValue) ||
                  std::isinf(reply.OutputRatio) || std::isinf(reply.Temperature) ||
                  std::isinf(reply.TemperatureMin) || std::isinf(reply.TemperatureMax) ||
                  std::isinf(reply.InputLow) || std::isinf(reply.InputHigh) ||
                  std::isinf(reply.OutputLow) || std::isinf(reply.OutputHigh) ||
                  std::isinf(reply.ScaleRatio) || std::isinf(reply.SpareReal));
        }
    }
    return reply;
}

// What every view takes of a reply, as the exchange decodes it.
void checkDecoding(const mb::MBRXDataBuffer &rx, const InstrumentReply &reply)
{
    using namespace instrument;
    // Decoded from the buffer's start, whatever its read index: the reply
    // the reader read.
    const ExchangeReply decoded = decodeReply(rx);
    check(decoded.reply.ADValueCH1 == reply.ADValueCH1 &&
          decoded.reply.OperatingMinutes == reply.OperatingMinutes &&
          sameReal(decoded.reply.SpareReal, reply.SpareReal));
    check((decoded.acknowledged & ~Command::All) == 0);

    const DecodedReading &reading = decoded.reading;
    check(reading.inputRange == reply.InputRange);
    const InputRangeUnits *range = inputRangeUnits(reply.InputRange);
    check(range ? reading.inputUnit == range->unit && !range->text.isEmpty()
                : reading.inputUnit.isEmpty() && !reading.inputValue);
    if (reading.inputValue) check(sameReal(*reading.inputValue, reply.InputValue * range->factor));
    const OutputRangeUnits *output = outputRangeUnits(reply.OutputType);
    check(output ? reading.outputUnit == output->unit : reading.outputUnit.isEmpty());
    check(!memoryAreaName(reply.RAM1Source).isEmpty() &&
          !memoryAreaName(reply.RAM2Source).isEmpty());

    // Stored settings load only from a reply whose type codes name types.
    const std::optional<InstrumentSettings> stored = InstrumentSettings::fromReply(reply);
    if (stored) check(signalTypeFromCode(reply.InputType) && signalTypeFromCode(reply.OutputType));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // At most a little more than a whole frame's data area.
    const std::span<const std::uint8_t> reply(data, std::min<std::size_t>(size, 2043));
    const mb::MBRXDataBuffer rx = bufferWith(reply);
    checkDecoding(rx, checkReader(reply, rx));
    return 0;
}
