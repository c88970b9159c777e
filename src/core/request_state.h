// The state a request carries, in plain terms: what is forced, which
// commands are latched, the calibration values, the date and the scale as
// entered. buildRequest turns it into the request's fields; the window fills
// it from its controls, the command-line tool from what it is asked to do.
#pragma once

#include "core/instrument_settings.h"
#include "protocol/instrument_protocol.h"

#include <QDate>

#include <array>
#include <optional>

// The scale as entered: the type selections (item 0 current, 1 voltage, -1
// none) and the four values, nullopt where the entry is no number.
struct ScaleEntry {
    int inputTypeItem = 0;
    int outputTypeItem = 0;
    std::optional<double> inputLow = instrument::DefaultScaleLow;
    std::optional<double> inputHigh = instrument::DefaultScaleHigh;
    std::optional<double> outputLow = instrument::DefaultScaleLow;
    std::optional<double> outputHigh = instrument::DefaultScaleHigh;

    static ScaleEntry fromSettings(const InstrumentSettings &settings);
};

// The four scale values a request carries.
struct ScaleValues {
    double inputLow = instrument::DefaultScaleLow;
    double inputHigh = instrument::DefaultScaleHigh;
    double outputLow = instrument::DefaultScaleLow;
    double outputHigh = instrument::DefaultScaleHigh;
};

// An entry that is no number, or one too large to travel, goes as its
// default (4 for an initial value, 20 for an end value); input values are
// limited to +-25 mA or +-125 V by the selected type (no limit without a
// selection); output values are not limited.
ScaleValues requestScaleValues(const ScaleEntry &entry);

struct RequestState {
    int pwmForce = 0; // 0: the output is not forced
    quint8 commands = 0;
    std::array<InstrumentRequest::CalibrationPoint, 7> inputCalibration{};
    // PWM values for 4 mA, 20 mA, 2 V and 10 V.
    std::array<int, 4> outputCalibration{0, 65535, 0, 65535};
    QDate date;                  // the PC's local date
    bool outputCheck = false;    // the output check page is active
    int outputCheckPosition = 0; // 0 ... 20, 5 % a step
    int gainItem = 0;            // 0 off, 1 ... 6 the gains 1 ... 32
    bool gainChannelCH1 = false;
    int dividerItem = 0; // 0 off, 1 ... 3
    int rangeItem = 0;   // 0 off, 1 ... 7 the input ranges 0 ... 6
    ScaleEntry scale;
};

// Every field cut to its width on the line.
InstrumentRequest buildRequest(const RequestState &state);
