// The output calibration wizard: PWM adjustment, the seven steps with their
// record of captured values, and the test points of the checking steps.
#include "app/form_main.h"

#include <algorithm>

#include "common/rounding.h"
#include "text/numberpattern.h"
#include "ui_form_main.h"

namespace {

constexpr int PWMFullScale = 65535;
constexpr int StepCount = 7;

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
    PWMSetpoint = std::clamp(value, 0, PWMFullScale);
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
    // The instrument reads a PWM value of 0 as "not forced": the lowest
    // setting still forces the output.
    PWMForce = std::max(PWMSetpoint, 1);
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
        setPWMSetpoint(roundHalfEvenInt((double(OutCalPWM4mA) + OutCalPWM20mA) / 2.0));
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
        setPWMSetpoint(roundHalfEvenInt((double(OutCalPWM2V) + OutCalPWM10V) / 2.0));
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

void TForm_Main::OutCalStepSetup()
{
    OutCalStepControls();
    switch (OutCalStep()) {
    case 1:
        setPWMSetpoint(OutCalPWM4mA);
        ui->ListBox_OutputCalibrated->clear();
        break;
    case 2:
        setPWMSetpoint(OutCalPWM20mA);
        break;
    case 3:
        ui->SpeedButton_Test12mA->setDown(true);
        SpeedButton_Test12mAClick2(ui->SpeedButton_Test12mA);
        break;
    case 4:
        setPWMSetpoint(OutCalPWM2V);
        break;
    case 5:
        setPWMSetpoint(OutCalPWM10V);
        break;
    case 6:
        ui->SpeedButton_Test6V->setDown(true);
        SpeedButton_Test6VClick2(ui->SpeedButton_Test6V);
        break;
    default:
        break;
    }
}

void TForm_Main::SpeedButton_OutputCalibrationNextClick2(QObject *)
{
    // The capture comes first, so the next step's setup (the test points)
    // already works with the value just found. PWMForce is what the
    // instrument was driven with: the setting, but never 0.
    const int step = OutCalStep();
    switch (step) {
    case 1:
        OutCalListAppend(QStringLiteral("Step 1:"));
        OutCalListAppend(QStringLiteral("uOut4mA = ") + pwmText(PWMForce));
        OutCalPWM4mA = PWMForce;
        break;
    case 2:
        OutCalListAppend(QStringLiteral("Step 2:"), true);
        OutCalListAppend(QStringLiteral("uOut20mA = ") + pwmText(PWMForce));
        OutCalPWM20mA = PWMForce;
        break;
    case 4:
        OutCalListAppend(QStringLiteral("Step 4:"), true);
        OutCalListAppend(QStringLiteral("uOut2V = ") + pwmText(PWMForce));
        OutCalPWM2V = PWMForce;
        break;
    case 5:
        OutCalListAppend(QStringLiteral("Step 5:"), true);
        OutCalListAppend(QStringLiteral("uOut10V = ") + pwmText(PWMForce));
        OutCalPWM10V = PWMForce;
        break;
    case 3:
    case 6:
        break;
    default:
        return; // the last step has nowhere to go
    }
    setOutCalStep(step + 1);
}

void TForm_Main::SpeedButton_OutputCalibrationBackClick3(QObject *)
{
    // Each step's record lines are those the Next into it added.
    static constexpr int linesAddedBy[StepCount + 1] = {0, 0, 2, 3, 0, 3, 3, 0};
    const int step = OutCalStep();
    if (step <= 1) return;
    OutCalListTrim(linesAddedBy[step]);
    setOutCalStep(step - 1);
}
