// What the instrument is forced to as the technician moves between the
// window's pages, and the test page's divider that follows a forced range.
// The window's pages decide nothing of this themselves: they show it.
#pragma once

#include <optional>

// The pages of the window that the forcing rules tell apart.
enum class InstrumentPage {
    Settings,
    Trend,
    InputCalibration,
    OutputCalibration,
    OutputCheck,
    Test,
};

struct PageForcing {
    // The PWMForce from now on; none leaves it as it is.
    std::optional<int> pwmForce;
    // Back on the Settings page the instrument restarts.
    bool restart = false;
};

// Every change of page also sets the gain, channel, divider and range
// selectors back to off: no forcing survives a change of page. The
// calibration pages hold the output at the PWM setting (1 when there is
// none, as 0 would mean "not forced"); the pages that watch the instrument
// at work leave its output to it.
PageForcing forcingOnEntering(InstrumentPage page, int pwmSetpoint);

// The divider selector's item that suits a range selector's item, or none
// for "Force Off", which leaves the divider as it is.
std::optional<int> dividerItemForRange(int rangeItem);
