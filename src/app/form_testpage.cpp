// The test page: clearing the converter statistics, and the CH1 divider
// forcing that follows a forced input range. The selectors' codes, the
// statistics and the diagnostic values travel with the request and reply.
#include "app/form_main.h"

#include "core/page_forcing.h"
#include "ui_form_main.h"
#include "widgets/radiogroup.h"

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
    const auto divider = dividerItemForRange(ui->RadioGroup_MereshatarForce->ItemIndex());
    if (divider) ui->RadioGroup_DividerForce->setItemIndex(*divider);
}
