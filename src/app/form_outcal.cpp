// The output calibration wizard: PWM adjustment, steps and test points.
#include "app/form_main.h"

void TForm_Main::SpeedButton_OutputCalibrationBackClick3(QObject *)
{
    // Go back one wizard step.
}

void TForm_Main::SpeedButton_OutputCalibrationNextClick2(QObject *)
{
    // Record the step's PWM value and go on one wizard step.
}

void TForm_Main::Button1Click2(QObject *)
{
    // Change the PWM setting by -10000.
}

void TForm_Main::Button2Click2(QObject *)
{
    // Change the PWM setting by -1000.
}

void TForm_Main::Button3Click2(QObject *)
{
    // Change the PWM setting by -100.
}

void TForm_Main::Button4Click2(QObject *)
{
    // Change the PWM setting by -10.
}

void TForm_Main::Button5Click2(QObject *)
{
    // Change the PWM setting by -1.
}

void TForm_Main::Button6Click2(QObject *)
{
    // Change the PWM setting by +1.
}

void TForm_Main::Button7Click2(QObject *)
{
    // Change the PWM setting by +10.
}

void TForm_Main::Button8Click2(QObject *)
{
    // Change the PWM setting by +100.
}

void TForm_Main::Button9Click2(QObject *)
{
    // Change the PWM setting by +1000.
}

void TForm_Main::Button10Click2(QObject *)
{
    // Change the PWM setting by +10000.
}

void TForm_Main::TrackBar_PWMChange(QObject *)
{
    // Set the PWM setting from the coarse track bar.
}

void TForm_Main::Button_Out0Click2(QObject *)
{
    // Set the PWM setting to zero.
}

void TForm_Main::Button_OutVegertekClick2(QObject *)
{
    // Set the PWM setting to full scale.
}

void TForm_Main::Button_Out50PercentsClick(QObject *)
{
    // Set the PWM setting to half scale.
}

void TForm_Main::SpeedButton_Test4mAClick2(QObject *)
{
    // Drive the output to the 4 mA test point.
}

void TForm_Main::SpeedButton_Test12mAClick2(QObject *)
{
    // Drive the output to the 12 mA test point.
}

void TForm_Main::SpeedButton_Test20mAClick2(QObject *)
{
    // Drive the output to the 20 mA test point.
}

void TForm_Main::SpeedButton_Test2VClick2(QObject *)
{
    // Drive the output to the 2 V test point.
}

void TForm_Main::SpeedButton_Test6VClick2(QObject *)
{
    // Drive the output to the 6 V test point.
}

void TForm_Main::SpeedButton_Test10VClick2(QObject *)
{
    // Drive the output to the 10 V test point.
}
