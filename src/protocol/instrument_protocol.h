// The KX4720R instrument request and reply: their fields by name, width and
// order, and the one place that writes them to and reads them from the link's
// data buffers. The window builds and shows these structs; the simulator reads
// the request and writes the reply with the same code, so a layout mistake
// cannot hide between two copies.
#pragma once

#include <QtGlobal>

#include <array>
#include <optional>

namespace mb {
class MBTXDataBuffer;
class MBRXDataBuffer;
} // namespace mb

namespace instrument {

// Frame header and sizes of the exchange.
inline constexpr quint8 Address = 1;
inline constexpr quint8 RequestId = 0;
inline constexpr quint8 RequestCommand = 1;
inline constexpr int RequestDataSize = 98;
inline constexpr int ReplyDataSize = 88;
// Result codes up to this value are success for the master.
inline constexpr quint8 HighestSuccessCode = 128;

// CommandBits of the request and AckBits of the reply share one layout.
namespace Command {
inline constexpr quint8 StoreInputCalibration = 128; // SpeedButton_ADCalBeiras
inline constexpr quint8 StoreOutputCalibration = 64; // SpeedButton_WriteOutputCalibrationToKX
inline constexpr quint8 WriteSettings = 32;          // SpeedButton_WriteSettings
inline constexpr quint8 Reset = 16;                  // SpeedButton_Reset
inline constexpr quint8 ClearFramAndReset = 8;       // SpeedButton_FRAMTorlesReset
inline constexpr quint8 ClearTemperatureMinMax = 2;  // SpeedButton_HomersekletMinMaxTorlese
// Bits 0 and 2 carry no command.
inline constexpr quint8 All = StoreInputCalibration | StoreOutputCalibration | WriteSettings |
                              Reset | ClearFramAndReset | ClearTemperatureMinMax;
} // namespace Command

// The factory default scale, 4 ... 20 on both sides; also what a request
// carries for a scale value that is no number.
inline constexpr double DefaultScaleLow = 4.0;
inline constexpr double DefaultScaleHigh = 20.0;

namespace Status {
inline constexpr quint8 InputNotCalibrated = 128;
inline constexpr quint8 FramError = 64;
inline constexpr quint8 OutputNotCalibrated = 32;
inline constexpr quint8 OutputRangeError = 16;
inline constexpr quint8 InputRangeError = 8;
inline constexpr quint8 ConverterError = 4;
} // namespace Status

// Input and output type codes, the same for both directions. A type group
// without a selection yields 99.
namespace Type {
inline constexpr quint8 Current = 100;
inline constexpr quint8 Voltage = 101;
} // namespace Type

// Forcing codes. Every forced code has bit 7 set; 0 leaves the choice to the
// instrument.
namespace Force {
inline constexpr quint8 Off = 0;
inline constexpr quint8 Forced = 128;
inline constexpr quint8 GainChannelCH1 = 64; // added to a GainForce code
inline constexpr quint8 GainMask = 0x3F;     // the gain 1 ... 32 of a forced GainForce
inline constexpr quint8 DividerMinimum = 128;
inline constexpr quint8 DividerMedium = 129;
inline constexpr quint8 DividerMaximum = 130;
} // namespace Force

// CalibrationStep while the Output Check page is the active page.
inline constexpr quint8 OutputCheckStep = 255;

// Input range indices of the reply's InputRange and of RangeForce (128 + index).
inline constexpr int InputRangeCount = 7;
inline constexpr int CurrentInputRange = 6;

// Memory-area codes of RAM1Source and RAM2Source.
namespace MemoryArea {
inline constexpr quint8 Ram1 = 0;
inline constexpr quint8 Ram2 = 1;
inline constexpr quint8 Fram1 = 2;
inline constexpr quint8 Fram2 = 3;
inline constexpr quint8 FactoryDefaults = 4;
} // namespace MemoryArea

// Full-scale converter reading (24-bit signed converter).
inline constexpr qint32 ConverterFullScale = 8388607;

// GainForce code for a gain selector item (0 = "Force Off", 1 ... 6 = gain
// 1 ... 32) and the channel selector (CH1 adds 64, also to "Force Off").
quint8 gainForceCode(int gainItem, bool channelCH1);
// DividerForce code for item 0 ("Force Off") ... 3 ("Maximum Division").
quint8 dividerForceCode(int dividerItem);
// RangeForce code for item 0 ("Force Off") ... 7 (range index 6).
quint8 rangeForceCode(int rangeItem);

// What a forcing code asks for; nullopt when it leaves the choice to the
// instrument (0, or a code that names no gain, divider or range).
struct GainForcing {
    int gain = 1;            // 1, 2, 4, 8, 16 or 32
    bool channelCH1 = false; // the gain applies to CH1 instead of CH0
};
std::optional<GainForcing> decodeGainForce(quint8 code);
std::optional<int> decodeDividerForce(quint8 code); // division level 0 ... 2
std::optional<int> decodeRangeForce(quint8 code);   // input range index 0 ... 6

// True when a value can travel as a single-precision real: finite and within
// the single-precision range after rounding to nearest. Anything else cannot
// be appended to the data buffer.
bool travelsAsReal(double value);

} // namespace instrument

// The 98 data bytes the window sends with command 1 to address 1. Reals are
// held as the window's doubles and rounded to single precision on the way out.
struct InstrumentRequest {
    quint16 PWMForce = 0;
    quint8 CommandBits = 0;
    qint32 InCalLow1 = 0;
    qint32 InCalHigh1 = 0;
    qint32 InCalLow2 = 0;
    qint32 InCalHigh2 = 0;
    quint16 OutCalPWM4mA = 0;
    quint16 OutCalPWM20mA = 65535;
    quint16 OutCalPWM2V = 0;
    quint16 OutCalPWM10V = 65535;
    quint16 CalYear = 0;
    quint8 CalMonth = 0;
    quint8 CalDay = 0;
    quint8 CalibrationStep = 0;
    quint8 OutCheckPercent = 0;
    quint8 GainForce = 0;
    quint8 DividerForce = 0;
    qint32 InCalLow3 = 0;
    qint32 InCalHigh3 = 0;
    qint32 InCalLow4 = 0;
    qint32 InCalHigh4 = 0;
    qint32 InCalLow5 = 0;
    qint32 InCalHigh5 = 0;
    qint32 InCalLow6 = 0;
    qint32 InCalHigh6 = 0;
    qint32 InCalLow7 = 0;
    qint32 InCalHigh7 = 0;
    quint8 InputType = instrument::Type::Current;
    quint8 OutputType = instrument::Type::Current;
    double InputLow = instrument::DefaultScaleLow;
    double InputHigh = instrument::DefaultScaleHigh;
    double OutputLow = instrument::DefaultScaleLow;
    double OutputHigh = instrument::DefaultScaleHigh;
    double SpareReal = 0.0;
    quint8 RangeForce = 0;

    // The fourteen input calibration values as pairs (Low, High) of points
    // 1 ... 7, whatever order they travel in.
    struct CalibrationPoint {
        qint32 low = 0;
        qint32 high = 0;
        bool operator==(const CalibrationPoint &) const = default;
    };
    std::array<CalibrationPoint, 7> inputCalibration() const;

    bool operator==(const InstrumentRequest &) const = default;
};

// The 88 data bytes of the instrument's answer. Reals arrive as single
// precision and are widened exactly.
struct InstrumentReply {
    quint16 FirmwareYear = 0;
    quint8 FirmwareMonth = 0;
    quint8 FirmwareDay = 0;
    qint32 ADValueCH0 = 0;
    qint32 ADValueCH1 = 0;
    qint32 ADAveragedCH0 = 0;
    qint32 ADAveragedCH1 = 0;
    quint8 RAM1Source = 0;
    quint8 RAM2Source = 0;
    quint8 SpareByte = 0;
    quint8 AckBits = 0;
    quint8 GainCH0 = 0;
    quint8 GainCH1 = 0;
    quint8 StatusBits = 0;
    double InputValue = 0.0;
    quint8 InputRange = 0;
    quint8 InputType = 0;
    quint8 OutputType = 0;
    double OutputRatio = 0.0;
    quint32 OperatingMinutes = 0;
    quint16 CalYear = 0; // 0: the instrument holds no calibration date
    quint8 CalMonth = 0; // meaningless while CalYear is 0
    quint8 CalDay = 0;   // meaningless while CalYear is 0
    double Temperature = 0.0;
    double TemperatureMin = 0.0;
    double TemperatureMax = 0.0;
    quint16 ADSamplesPerSecond = 0;
    quint8 ErrorNumber = 0;
    quint16 PWMValue = 0;
    quint8 DividerCH1 = 0;
    double InputLow = 0.0;
    double InputHigh = 0.0;
    double OutputLow = 0.0;
    double OutputHigh = 0.0;
    double ScaleRatio = 0.0;
    double SpareReal = 0.0;

    bool hasCalibrationDate() const { return CalYear != 0; }

    bool operator==(const InstrumentReply &) const = default;
};

// Clears the TX data buffer and appends the request's 98 bytes. Returns false,
// with the buffer cleared and nothing appended, when a real cannot travel (see
// instrument::travelsAsReal): the caller decides what to send instead rather
// than a frame going out half built.
bool writeRequest(mb::MBTXDataBuffer &tx, const InstrumentRequest &request);

// Reads a request from the RX data buffer, from its current index. Missing
// bytes read as 0, as for the reply.
InstrumentRequest readRequest(mb::MBRXDataBuffer &rx);

// Clears the TX data buffer and appends the reply's 88 bytes; false, with
// nothing appended, when a real cannot travel.
bool writeReply(mb::MBTXDataBuffer &tx, const InstrumentReply &reply);

// Reads the reply from the RX data buffer, from its current index. Every field
// is taken from its own offset: a field the received data does not reach, and
// every field after it, reads as 0. CalMonth and CalDay are always consumed,
// also when CalYear is 0, so Temperature always comes from data index 47.
InstrumentReply readReply(mb::MBRXDataBuffer &rx);
