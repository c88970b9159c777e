// The output calibration wizard's handlers: the page's view does the work
// (see outcal_view.cpp).
#include "app/form_main.h"
#include "app/outcal_view.h"

#include "core/output_calibration_plan.h"
#include "ui_form_main.h"

void TForm_Main::Button1Click2(QObject *)
{
    m_outCal->adjustPWM(-10000);
}

void TForm_Main::Button2Click2(QObject *)
{
    m_outCal->adjustPWM(-1000);
}

void TForm_Main::Button3Click2(QObject *)
{
    m_outCal->adjustPWM(-100);
}

void TForm_Main::Button4Click2(QObject *)
{
    m_outCal->adjustPWM(-10);
}

void TForm_Main::Button5Click2(QObject *)
{
    m_outCal->adjustPWM(-1);
}

void TForm_Main::Button6Click2(QObject *)
{
    m_outCal->adjustPWM(1);
}

void TForm_Main::Button7Click2(QObject *)
{
    m_outCal->adjustPWM(10);
}

void TForm_Main::Button8Click2(QObject *)
{
    m_outCal->adjustPWM(100);
}

void TForm_Main::Button9Click2(QObject *)
{
    m_outCal->adjustPWM(1000);
}

void TForm_Main::Button10Click2(QObject *)
{
    m_outCal->adjustPWM(10000);
}

void TForm_Main::Button_Out0Click2(QObject *)
{
    m_outCal->setPWMSetpoint(0);
}

void TForm_Main::Button_OutVegertekClick2(QObject *)
{
    m_outCal->setPWMSetpoint(outcal::PWMFullScale);
}

void TForm_Main::Button_Out50PercentsClick(QObject *)
{
    m_outCal->setPWMSetpoint(32768);
}

void TForm_Main::TrackBar_PWMChange(QObject *)
{
    m_outCal->trackBarMoved();
}

void TForm_Main::SpeedButton_Test4mAClick2(QObject *)
{
    m_outCal->testPoint(ui->SpeedButton_Test4mA);
}

void TForm_Main::SpeedButton_Test12mAClick2(QObject *)
{
    m_outCal->testPoint(ui->SpeedButton_Test12mA);
}

void TForm_Main::SpeedButton_Test20mAClick2(QObject *)
{
    m_outCal->testPoint(ui->SpeedButton_Test20mA);
}

void TForm_Main::SpeedButton_Test2VClick2(QObject *)
{
    m_outCal->testPoint(ui->SpeedButton_Test2V);
}

void TForm_Main::SpeedButton_Test6VClick2(QObject *)
{
    m_outCal->testPoint(ui->SpeedButton_Test6V);
}

void TForm_Main::SpeedButton_Test10VClick2(QObject *)
{
    m_outCal->testPoint(ui->SpeedButton_Test10V);
}

void TForm_Main::SpeedButton_OutputCalibrationNextClick2(QObject *)
{
    m_outCal->next();
}

void TForm_Main::SpeedButton_OutputCalibrationBackClick3(QObject *)
{
    m_outCal->back();
}

int TForm_Main::OutCalStep() const
{
    return m_outCal->step();
}
