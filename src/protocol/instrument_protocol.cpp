// Field order of the instrument request and reply, written down once and
// walked in both directions: the writers append each field by its width, the
// readers read it back by the same width. The C++ type of a struct member is
// its width on the line (quint8 byte, quint16 word, qint32 int32, quint32
// cardinal, double single-precision real).
#include "protocol/instrument_protocol.h"

#include "frame/mbbuffers.h"

#include <cmath>
#include <type_traits>

namespace instrument {

quint8 gainForceCode(int gainItem, bool channelCH1)
{
    // Items 1 ... 6 are the gains 1, 2, 4, ... 32.
    const quint8 gain = (gainItem >= 1 && gainItem <= 6)
                            ? quint8(Force::Forced | (1 << (gainItem - 1)))
                            : Force::Off;
    return quint8(gain | (channelCH1 ? Force::GainChannelCH1 : 0));
}

quint8 dividerForceCode(int dividerItem)
{
    return (dividerItem >= 1 && dividerItem <= 3) ? quint8(Force::Forced + dividerItem - 1)
                                                  : Force::Off;
}

quint8 rangeForceCode(int rangeItem)
{
    return (rangeItem >= 1 && rangeItem <= InputRangeCount) ? quint8(Force::Forced + rangeItem - 1)
                                                            : Force::Off;
}

std::optional<GainForcing> decodeGainForce(quint8 code)
{
    if (!(code & Force::Forced)) return std::nullopt;
    const int gain = code & Force::GainMask;
    // Exactly one of the bits 1 ... 32.
    if (gain == 0 || (gain & (gain - 1)) != 0) return std::nullopt;
    return GainForcing{gain, (code & Force::GainChannelCH1) != 0};
}

std::optional<int> decodeDividerForce(quint8 code)
{
    if (code < Force::DividerMinimum || code > Force::DividerMaximum) return std::nullopt;
    return code - Force::DividerMinimum;
}

std::optional<int> decodeRangeForce(quint8 code)
{
    if (code < Force::Forced || code >= Force::Forced + InputRangeCount) return std::nullopt;
    return code - Force::Forced;
}

bool travelsAsReal(double value)
{
    const std::optional<float> single = mb::toSingle(value);
    return single && std::isfinite(*single);
}

} // namespace instrument

std::array<InstrumentRequest::CalibrationPoint, 7> InstrumentRequest::inputCalibration() const
{
    return {{{InCalLow1, InCalHigh1},
             {InCalLow2, InCalHigh2},
             {InCalLow3, InCalHigh3},
             {InCalLow4, InCalHigh4},
             {InCalLow5, InCalHigh5},
             {InCalLow6, InCalHigh6},
             {InCalLow7, InCalHigh7}}};
}

namespace {

// The request's 98 bytes, in line order.
template <class Request, class Visit> constexpr void visitRequest(Request &r, Visit &&field)
{
    field(r.PWMForce);        // 1-2
    field(r.CommandBits);     // 3
    field(r.InCalLow1);       // 4-7
    field(r.InCalHigh1);      // 8-11
    field(r.InCalLow2);       // 12-15
    field(r.InCalHigh2);      // 16-19
    field(r.OutCalPWM4mA);    // 20-21
    field(r.OutCalPWM20mA);   // 22-23
    field(r.OutCalPWM2V);     // 24-25
    field(r.OutCalPWM10V);    // 26-27
    field(r.CalYear);         // 28-29
    field(r.CalMonth);        // 30
    field(r.CalDay);          // 31
    field(r.CalibrationStep); // 32
    field(r.OutCheckPercent); // 33
    field(r.GainForce);       // 34
    field(r.DividerForce);    // 35
    field(r.InCalLow3);       // 36-39
    field(r.InCalHigh3);      // 40-43
    field(r.InCalLow4);       // 44-47
    field(r.InCalHigh4);      // 48-51
    field(r.InCalLow5);       // 52-55
    field(r.InCalHigh5);      // 56-59
    field(r.InCalLow6);       // 60-63
    field(r.InCalHigh6);      // 64-67
    field(r.InCalLow7);       // 68-71
    field(r.InCalHigh7);      // 72-75
    field(r.InputType);       // 76
    field(r.OutputType);      // 77
    field(r.InputLow);        // 78-81
    field(r.InputHigh);       // 82-85
    field(r.OutputLow);       // 86-89
    field(r.OutputHigh);      // 90-93
    field(r.SpareReal);       // 94-97
    field(r.RangeForce);      // 98
}

// The reply's 88 bytes, in line order. CalMonth and CalDay are part of the
// layout whatever CalYear holds: a missing calibration date does not shorten
// the frame, it only makes those two bytes meaningless.
template <class Reply, class Visit> constexpr void visitReply(Reply &r, Visit &&field)
{
    field(r.FirmwareYear);       // 1-2
    field(r.FirmwareMonth);      // 3
    field(r.FirmwareDay);        // 4
    field(r.ADValueCH0);         // 5-8
    field(r.ADValueCH1);         // 9-12
    field(r.ADAveragedCH0);      // 13-16
    field(r.ADAveragedCH1);      // 17-20
    field(r.RAM1Source);         // 21
    field(r.RAM2Source);         // 22
    field(r.SpareByte);          // 23
    field(r.AckBits);            // 24
    field(r.GainCH0);            // 25
    field(r.GainCH1);            // 26
    field(r.StatusBits);         // 27
    field(r.InputValue);         // 28-31
    field(r.InputRange);         // 32
    field(r.InputType);          // 33
    field(r.OutputType);         // 34
    field(r.OutputRatio);        // 35-38
    field(r.OperatingMinutes);   // 39-42
    field(r.CalYear);            // 43-44
    field(r.CalMonth);           // 45
    field(r.CalDay);             // 46
    field(r.Temperature);        // 47-50
    field(r.TemperatureMin);     // 51-54
    field(r.TemperatureMax);     // 55-58
    field(r.ADSamplesPerSecond); // 59-60
    field(r.ErrorNumber);        // 61
    field(r.PWMValue);           // 62-63
    field(r.DividerCH1);         // 64
    field(r.InputLow);           // 65-68
    field(r.InputHigh);          // 69-72
    field(r.OutputLow);          // 73-76
    field(r.OutputHigh);         // 77-80
    field(r.ScaleRatio);         // 81-84
    field(r.SpareReal);          // 85-88
}

template <class T> constexpr int widthOf()
{
    if constexpr (std::is_same_v<T, double>)
        return 4;
    else
        return int(sizeof(T));
}

class FieldWriter {
public:
    explicit FieldWriter(mb::MBTXDataBuffer &tx) : tx_(tx) {}

    void operator()(quint8 v) { tx_.MBAppendByte(v); }
    void operator()(quint16 v) { tx_.MBAppendWord(v); }
    void operator()(qint32 v) { tx_.MBAppendInteger(v); }
    void operator()(quint32 v) { tx_.MBAppendCardinal(v); }
    // Only reached after every real has been checked with travelsAsReal, so
    // the overflow the buffer would throw cannot happen here.
    void operator()(double v) { tx_.MBAppendReal(v); }

private:
    mb::MBTXDataBuffer &tx_;
};

// Reads each field at its own offset. The buffer's reads leave the index in
// place when a value reaches past the data, so a narrower field behind a
// missing wide one would be read from the wrong bytes; once a field is
// missing, it and everything behind it read as 0 instead.
class FieldReader {
public:
    explicit FieldReader(mb::MBRXDataBuffer &rx) : rx_(rx) {}

    void operator()(quint8 &v) { v = present(1) ? rx_.MBReadByte() : 0; }
    void operator()(quint16 &v) { v = present(2) ? rx_.MBReadWord() : 0; }
    void operator()(qint32 &v) { v = present(4) ? rx_.MBReadInteger() : 0; }
    void operator()(quint32 &v) { v = present(4) ? rx_.MBReadCardinal() : 0; }
    void operator()(double &v) { v = present(4) ? rx_.MBReadReal() : 0.0; }

private:
    bool present(int width)
    {
        if (missing_) return false;
        if (rx_.MBMBRXDataBufferIndex() + width - 1 > rx_.MBReceivedDataNumber()) missing_ = true;
        return !missing_;
    }

    mb::MBRXDataBuffer &rx_;
    bool missing_ = false;
};

template <class Message, class Visit> bool allRealsTravel(const Message &m, Visit visit)
{
    bool ok = true;
    visit(m, [&ok](const auto &v) {
        if constexpr (std::is_same_v<std::decay_t<decltype(v)>, double>)
            ok = ok && instrument::travelsAsReal(v);
    });
    return ok;
}

template <class Message> constexpr int sizeOf(auto visit)
{
    Message m{};
    int size = 0;
    visit(m, [&size](const auto &v) { size += widthOf<std::decay_t<decltype(v)>>(); });
    return size;
}

constexpr auto requestVisitor = [](auto &r, auto &&f) { visitRequest(r, f); };
constexpr auto replyVisitor = [](auto &r, auto &&f) { visitReply(r, f); };

static_assert(sizeOf<InstrumentRequest>(requestVisitor) == instrument::RequestDataSize);
static_assert(sizeOf<InstrumentReply>(replyVisitor) == instrument::ReplyDataSize);

} // namespace

bool writeRequest(mb::MBTXDataBuffer &tx, const InstrumentRequest &request)
{
    tx.MBClearTXData();
    if (!allRealsTravel(request, requestVisitor)) return false;
    visitRequest(request, FieldWriter(tx));
    return true;
}

InstrumentRequest readRequest(mb::MBRXDataBuffer &rx)
{
    InstrumentRequest request;
    visitRequest(request, FieldReader(rx));
    return request;
}

bool writeReply(mb::MBTXDataBuffer &tx, const InstrumentReply &reply)
{
    tx.MBClearTXData();
    if (!allRealsTravel(reply, replyVisitor)) return false;
    visitReply(reply, FieldWriter(tx));
    return true;
}

InstrumentReply readReply(mb::MBRXDataBuffer &rx)
{
    InstrumentReply reply;
    visitReply(reply, FieldReader(rx));
    return reply;
}
