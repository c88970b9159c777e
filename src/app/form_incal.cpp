// The input calibration wizard as the window shows it: the plan's steps,
// paced by Timer_InCal, with the instrument forced and the readings captured
// as each step says.
#include "app/form_main.h"

#include <array>

#include "core/input_calibration_plan.h"
#include "text/numberpattern.h"
#include "ui_form_main.h"

qint32 &TForm_Main::InCalValue(const incal::Point &point)
{
    static constexpr std::array<qint32 TForm_Main::*, 7> lows{
        &TForm_Main::InCalLow1, &TForm_Main::InCalLow2, &TForm_Main::InCalLow3,
        &TForm_Main::InCalLow4, &TForm_Main::InCalLow5, &TForm_Main::InCalLow6,
        &TForm_Main::InCalLow7};
    static constexpr std::array<qint32 TForm_Main::*, 7> highs{
        &TForm_Main::InCalHigh1, &TForm_Main::InCalHigh2, &TForm_Main::InCalHigh3,
        &TForm_Main::InCalHigh4, &TForm_Main::InCalHigh5, &TForm_Main::InCalHigh6,
        &TForm_Main::InCalHigh7};
    return this->*(point.high ? highs : lows)[std::size_t(point.calibrationPoint)];
}

void TForm_Main::SpeedButton_InputCalibrationNextClick(QObject *)
{
    // The waiting state picks this up at its next tick.
    InCalNextPressed = true;
}

void TForm_Main::Timer_InCalTimer(QObject *)
{
    // The clock runs on after the page is left. Away from the page the wizard
    // neither captures nor forces: the page change has just released the
    // instrument, and a Next pressed a moment before the change is dropped,
    // not carried out behind another page.
    if (ui->PageControl1->ActivePage() != ui->TabSheet_InputCalibration) {
        InCalNextPressed = false;
        return;
    }
    InCalStep();
}

void TForm_Main::InCalStep()
{
    using namespace incal;
    const Step step = incal::step(InCalState, InCalNextPressed);
    const Point *point = step.point;
    switch (step.kind) {
    case Step::Kind::None:
        return;
    case Step::Kind::Close:
        ui->RadioGroup_GainForceCH->setItemIndex(int(Channel::CH0));
        ui->RadioGroup_DividerForce->setItemIndex(int(Divider::Off));
        ui->RadioGroup_GainForce->setItemIndex(int(Gain::Off));
        ui->Label_InputCalibration1->setText(ClosingTitle.toString());
        ui->Memo_InputCalibration2->setPlainText(StoreInstruction.toString());
        ui->SpeedButton_ADCalBeiras->setVisible(true);
        break;
    case Step::Kind::Show:
        ui->RadioGroup_GainForceCH->setItemIndex(int(point->channel));
        ui->RadioGroup_DividerForce->setItemIndex(int(point->divider));
        ui->RadioGroup_GainForce->setItemIndex(int(point->gain));
        ui->Label_InputCalibration1->setText(point->title.toString());
        ui->Memo_InputCalibration2->setPlainText(point->instruction.toString());
        // A press made before the step was shown must not capture it.
        InCalNextPressed = false;
        break;
    case Step::Kind::Capture: {
        // The latest averaged reading of the point's converter.
        qint32 &value = InCalValue(*point);
        value = point->channel == Channel::CH0 ? ADAveragedCH0 : ADAveragedCH1;
        ui->ListBox_InputCalibrated->addItem(point->prefix.toString() +
                                             formatPattern(value, u"0 000 000"));
        break;
    }
    }
    InCalState = step.nextState;
}
