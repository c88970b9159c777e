// The output calibration wizard: PWM adjustment, the seven steps with their
// record of captured values, and the test points of the checking steps.
#include "app/form_main.h"

#include <algorithm>

#include "common/rounding.h"
#include "core/output_calibration_plan.h"
#include "text/numberpattern.h"
#include "ui_form_main.h"

namespace {

using outcal::PWMFullScale;
using outcal::StepCount;

// The line that sets one step's record apart from the one before.
const QString &separatorLine()
{
    static const QString line(43, QLatin1Char('-'));
    return line;
}

QString pwmText(int value)
{
    return formatPattern(value, u"## ##0");
}

} // namespace

// --- PWM setting ---

void TForm_Main::setPWMSetpoint(int value)
{
    PWMSetpoint = outcal::clampedPWM(value);
    PWMRefresh();
}

void TForm_Main::PWMRefresh()
{
    ui->Label_BeallitottPWM->setText(formatPattern(PWMSetpoint, u"00 000"));
    const int percent = roundHalfEvenInt(PWMSetpoint * 100.0 / PWMFullScale);
    // Never pull the track bar away from under the technician's hand; moving
    // it from here raises its change event, which ignores an unfocused bar.
    if (!ui->TrackBar_PWM->hasFocus()) ui->TrackBar_PWM->setPosition(percent);
    ui->MBarGraph_OutputCalibration->setMBGValue(percent / 100.0);
    PWMForce = outcal::forcedPWM(PWMSetpoint);
}

// Decrements stop at 0 and increments at full scale.
void TForm_Main::Button1Click2(QObject *)
{
    setPWMSetpoint(PWMSetpoint - 10000);
}
void TForm_Main::Button2Click2(QObject *)
{
    setPWMSetpoint(PWMSetpoint - 1000);
}
void TForm_Main::Button3Click2(QObject *)
{
    setPWMSetpoint(PWMSetpoint - 100);
}
void TForm_Main::Button4Click2(QObject *)
{
    setPWMSetpoint(PWMSetpoint - 10);
}
void TForm_Main::Button5Click2(QObject *)
{
    setPWMSetpoint(PWMSetpoint - 1);
}
void TForm_Main::Button6Click2(QObject *)
{
    setPWMSetpoint(PWMSetpoint + 1);
}
void TForm_Main::Button7Click2(QObject *)
{
    setPWMSetpoint(PWMSetpoint + 10);
}
void TForm_Main::Button8Click2(QObject *)
{
    setPWMSetpoint(PWMSetpoint + 100);
}
void TForm_Main::Button9Click2(QObject *)
{
    setPWMSetpoint(PWMSetpoint + 1000);
}
void TForm_Main::Button10Click2(QObject *)
{
    setPWMSetpoint(PWMSetpoint + 10000);
}
void TForm_Main::Button_Out0Click2(QObject *)
{
    setPWMSetpoint(0);
}
void TForm_Main::Button_OutVegertekClick2(QObject *)
{
    setPWMSetpoint(PWMFullScale);
}
void TForm_Main::Button_Out50PercentsClick(QObject *)
{
    setPWMSetpoint(32768);
}

void TForm_Main::TrackBar_PWMChange(QObject *)
{
    // Only the technician's own moves count; the refresh moves the bar too.
    if (!ui->TrackBar_PWM->hasFocus()) return;
    setPWMSetpoint(roundHalfEvenInt(ui->TrackBar_PWM->Position() * double(PWMFullScale) / 100.0));
}

// --- test points ---

void TForm_Main::SpeedButton_Test4mAClick2(QObject *)
{
    if (ui->SpeedButton_Test4mA->Down()) setPWMSetpoint(OutCalPWM4mA);
}

void TForm_Main::SpeedButton_Test12mAClick2(QObject *)
{
    if (ui->SpeedButton_Test12mA->Down())
        setPWMSetpoint(outcal::middleTestPoint(OutCalPWM4mA, OutCalPWM20mA));
}

void TForm_Main::SpeedButton_Test20mAClick2(QObject *)
{
    if (ui->SpeedButton_Test20mA->Down()) setPWMSetpoint(OutCalPWM20mA);
}

void TForm_Main::SpeedButton_Test2VClick2(QObject *)
{
    if (ui->SpeedButton_Test2V->Down()) setPWMSetpoint(OutCalPWM2V);
}

void TForm_Main::SpeedButton_Test6VClick2(QObject *)
{
    if (ui->SpeedButton_Test6V->Down())
        setPWMSetpoint(outcal::middleTestPoint(OutCalPWM2V, OutCalPWM10V));
}

void TForm_Main::SpeedButton_Test10VClick2(QObject *)
{
    if (ui->SpeedButton_Test10V->Down()) setPWMSetpoint(OutCalPWM10V);
}

// --- steps ---

int TForm_Main::OutCalStep() const
{
    return ui->PageControl4->indexOf(ui->PageControl4->ActivePage()) + 1;
}

void TForm_Main::setOutCalStep(int step)
{
    ui->PageControl4->setActivePageIndex(std::clamp(step, 1, StepCount) - 1);
    OutCalStepSetup();
}

void TForm_Main::OutCalListAppend(const QString &line, bool withSeparator)
{
    QListWidget *list = ui->ListBox_OutputCalibrated;
    if (withSeparator) list->addItem(separatorLine());
    list->addItem(line);
    list->setCurrentRow(list->count() - 1);
}

void TForm_Main::OutCalListTrim(int lines)
{
    QListWidget *list = ui->ListBox_OutputCalibrated;
    for (int i = 0; i < lines && list->count() > 0; ++i)
        delete list->takeItem(list->count() - 1);
    if (list->count() > 0) list->setCurrentRow(list->count() - 1);
}

void TForm_Main::OutCalStepControls()
{
    const int step = OutCalStep();
    const bool checking = step == 3 || step == 6;
    ui->SpeedButton_OutputCalibrationNext->setVisible(step != StepCount);
    ui->SpeedButton_OutputCalibrationBack->setVisible(step != 1);
    ui->GroupBox_PWM->setVisible(step != StepCount);
    // The last step only stores: it leaves the adjustment and the bar as the
    // checking step before it had them, and the output forced as it was.
    if (step != StepCount) {
        ui->GroupBox_PWMErtekValtoztatas->setVisible(!checking);
        ui->MBarGraph_OutputCalibration->setVisible(checking);
    }
}

int &TForm_Main::OutCalValue(outcal::Value value)
{
    switch (value) {
    case outcal::Value::PWM4mA:
        return OutCalPWM4mA;
    case outcal::Value::PWM20mA:
        return OutCalPWM20mA;
    case outcal::Value::PWM2V:
        return OutCalPWM2V;
    case outcal::Value::PWM10V:
        break;
    }
    return OutCalPWM10V;
}

void TForm_Main::OutCalStepSetup()
{
    OutCalStepControls();
    const int step = OutCalStep();
    const outcal::StepPlan &plan = outcal::stepPlan(step);
    if (plan.value) setPWMSetpoint(OutCalValue(*plan.value));
    if (step == 1) ui->ListBox_OutputCalibrated->clear(); // a new run of the wizard
    // A checking step starts on its middle test point.
    if (step == 3) {
        ui->SpeedButton_Test12mA->setDown(true);
        SpeedButton_Test12mAClick2(ui->SpeedButton_Test12mA);
    } else if (step == 6) {
        ui->SpeedButton_Test6V->setDown(true);
        SpeedButton_Test6VClick2(ui->SpeedButton_Test6V);
    }
}

void TForm_Main::SpeedButton_OutputCalibrationNextClick2(QObject *)
{
    // The capture comes first, so the next step's setup (the test points)
    // already works with the value just found. PWMForce is what the
    // instrument was driven with: the setting, but never 0.
    const int step = OutCalStep();
    const outcal::StepPlan &plan = outcal::stepPlan(step);
    if (plan.kind == outcal::StepPlan::Kind::Store) return; // the last step has nowhere to go
    if (plan.value) {
        OutCalListAppend(QStringLiteral("Step %1:").arg(step), step != 1);
        OutCalListAppend(plan.captureName.toString() + QStringLiteral(" = ") + pwmText(PWMForce));
        OutCalValue(*plan.value) = PWMForce;
    }
    setOutCalStep(step + 1);
}

void TForm_Main::SpeedButton_OutputCalibrationBackClick3(QObject *)
{
    const int step = OutCalStep();
    if (step <= 1) return;
    OutCalListTrim(outcal::recordLinesEntering(step));
    setOutCalStep(step - 1);
}
