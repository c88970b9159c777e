// The forcing rules per page and the divider per forced range.
#include "core/page_forcing.h"

PageForcing forcingOnEntering(InstrumentPage page, int pwmSetpoint)
{
    const int held = pwmSetpoint > 0 ? pwmSetpoint : 1;
    switch (page) {
    case InstrumentPage::Settings:
        return {0, true};
    case InstrumentPage::Trend:
    case InstrumentPage::OutputCheck:
        return {0, false};
    case InstrumentPage::InputCalibration:
    case InstrumentPage::OutputCalibration:
        return {held, false};
    case InstrumentPage::Test:
        break;
    }
    return {};
}

std::optional<int> dividerItemForRange(int rangeItem)
{
    switch (rangeItem) {
    case 1:       // 150 mV
    case 2:       // 450 mV
        return 1; // Minimum Division
    case 3:       // 2,3 V
    case 4:       // 10 V
        return 2; // Medium Division
    case 5:       // 40 V
    case 6:       // 100 V
    case 7:       // 20 mA
        return 3; // Maximum Division
    default:
        return std::nullopt;
    }
}
