// The output calibration wizard's plan: seven steps that find the PWM values
// for 4 mA, 20 mA, 2 V and 10 V, check the current and the voltage output
// at three test points each, and store. The window drives the steps with its
// Back and Next buttons and shows them; the plan says what each step is.
#pragma once

#include <QStringView>

#include <optional>

namespace outcal {

inline constexpr int StepCount = 7;
inline constexpr int PWMFullScale = 65535;

// The four values found: OutCalPWM4mA, OutCalPWM20mA, OutCalPWM2V, OutCalPWM10V.
enum class Value { PWM4mA, PWM20mA, PWM2V, PWM10V };

struct StepPlan {
    enum class Kind {
        Adjust, // the setting starts from the value, and Next captures it
        Check,  // the output is driven to test points between two values
        Store,  // the values are written to the instrument
    };
    Kind kind = Kind::Adjust;
    std::optional<Value> value; // Adjust
    QStringView captureName;    // Adjust: the value's name in the record
};
// Steps 1 ... 7; a step outside is clamped.
const StepPlan &stepPlan(int step);

// How many record lines Next into this step added, which Back takes away.
int recordLinesEntering(int step);

// A PWM setting within 0 ... full scale.
int clampedPWM(int value);
// The instrument reads a PWM value of 0 as "not forced": the lowest setting
// still forces the output.
int forcedPWM(int setting);
// The middle test point between two values found, halves to even.
int middleTestPoint(int low, int high);

} // namespace outcal
