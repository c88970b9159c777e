// The test page: clearing the converter statistics, and the CH1 divider
// forcing that follows a forced input range. The selectors' codes, the
// statistics and the diagnostic values travel with the request and reply.
#include "app/form_main.h"

#include "ui_form_main.h"
#include "widgets/radiogroup.h"

namespace {

// CH1 Divider Force item that suits a Range Force item; -1 for "Force Off",
// which leaves the divider as it is.
int dividerItemForRange(int rangeItem)
{
    switch (rangeItem) {
    case 1: // 150 mV
    case 2: // 450 mV
        return 1; // Minimum Division
    case 3: // 2,3 V
    case 4: // 10 V
        return 2; // Medium Division
    case 5: // 40 V
    case 6: // 100 V
    case 7: // 20 mA
        return 3; // Maximum Division
    default: return -1;
    }
}

} // namespace

// A clear takes the last decoded reading as both ends of the spread; the
// labels and the bar follow with the next decoded reply.
void TForm_Main::Button_MinMaxTorles0Click(QObject *)
{
    MinCH0 = ADAveragedCH0;
    MaxCH0 = ADAveragedCH0;
}

void TForm_Main::Button_MinMaxTorles1Click(QObject *)
{
    MinCH1 = ADAveragedCH1;
    MaxCH1 = ADAveragedCH1;
}

void TForm_Main::RadioGroup_MereshatarForceClick(QObject *)
{
    const int divider = dividerItemForRange(ui->RadioGroup_MereshatarForce->ItemIndex());
    if (divider >= 0) ui->RadioGroup_DividerForce->setItemIndex(divider);
}
