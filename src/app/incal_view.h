// The input calibration wizard's page as the window shows it: the steps of
// the core's plan (input_calibration_plan.h), each forcing the instrument,
// showing its instruction or capturing the latest averaged reading into the
// window's calibration values.
#pragma once

#include <QtGlobal>

class TForm_Main;
namespace Ui {
class TForm_Main;
}
namespace incal {
struct Point;
}

class InputCalibrationView {
public:
    explicit InputCalibrationView(TForm_Main &window);

    // Entering the page starts the wizard on its first point and runs that
    // step at once, so the first instruction and its forcing appear without
    // waiting for the timer.
    void enterPage();
    // One tick of the wizard in its current state.
    void step();

private:
    // The calibration value a point of the plan captures.
    qint32 &value(const incal::Point &point);

    TForm_Main &m_w;
    Ui::TForm_Main &m_ui;
};
