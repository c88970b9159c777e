// What a working unit gives during a calibration, checked before the values
// are stored into it: a calibration made without a signal on the terminals,
// with the leads reversed or the converter overloaded, or by stepping
// through a wizard without adjusting anything, would otherwise be stored,
// clear the "not calibrated" flag and look like a good one. Each doubt
// names the point and the likely cause, in both of the window's languages;
// the technician may still store after reading them.
#pragma once

#include "core/instrument_settings.h"
#include "core/request_state.h"

#include <QString>

#include <vector>

struct CalibrationDoubt {
    QString english;
    QString hungarian;

    QString text(TextLanguage language) const
    {
        return language == TextLanguage::Hungarian ? hungarian : english;
    }
    bool operator==(const CalibrationDoubt &) const = default;
};

// The smallest full-scale step a converter point gives: the lowest range's
// full-scale point is well above it, a shorted or open input well below.
inline constexpr double MinimumPointSpan = 0.02;  // of the converter's full scale
inline constexpr double MaximumZeroOffset = 0.10; // of the converter's full scale

// The fourteen input points the store request carries: each full-scale
// point above its zero point by a plausible step, each zero point near
// zero, none at the converter's limit. Empty when all are plausible.
std::vector<CalibrationDoubt> inputCalibrationDoubts(const RequestState &state);
// The four output PWM values: each adjusted away from the value its step
// starts from (1 for 4 mA and 2 V, 65535 for 20 mA and 10 V) and the upper
// point of each type above its lower one.
std::vector<CalibrationDoubt> outputCalibrationDoubts(const RequestState &state);

// The doubts as lines for a question to the technician.
QString doubtsText(const std::vector<CalibrationDoubt> &doubts, TextLanguage language);
