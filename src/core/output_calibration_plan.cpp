// The output calibration wizard's steps and PWM rules.
#include "core/output_calibration_plan.h"

#include "common/rounding.h"

#include <algorithm>
#include <array>

namespace outcal {

namespace {

using Kind = StepPlan::Kind;

const std::array<StepPlan, StepCount> Steps{{
    {Kind::Adjust, Value::PWM4mA, u"uOut4mA"},
    {Kind::Adjust, Value::PWM20mA, u"uOut20mA"},
    {Kind::Check, std::nullopt, {}},
    {Kind::Adjust, Value::PWM2V, u"uOut2V"},
    {Kind::Adjust, Value::PWM10V, u"uOut10V"},
    {Kind::Check, std::nullopt, {}},
    {Kind::Store, std::nullopt, {}},
}};

} // namespace

const StepPlan &stepPlan(int step)
{
    return Steps[std::size_t(std::clamp(step, 1, StepCount) - 1)];
}

int recordLinesEntering(int step)
{
    if (step <= 1 || step > StepCount) return 0;
    // A capture adds its step's heading and its value; every capture but the
    // first has a separator line before them.
    if (stepPlan(step - 1).kind != Kind::Adjust) return 0;
    return step - 1 == 1 ? 2 : 3;
}

int clampedPWM(int value)
{
    return std::clamp(value, 0, PWMFullScale);
}

int forcedPWM(int setting)
{
    return std::max(setting, 1);
}

int middleTestPoint(int low, int high)
{
    return roundHalfEvenInt((double(low) + high) / 2.0);
}

} // namespace outcal
