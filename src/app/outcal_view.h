// The output calibration wizard's page as the window shows it: the PWM
// setting and its controls, the seven steps with their record of captured
// values, and the test points of the checking steps. The plan in the core
// (output_calibration_plan.h) says what each step is.
#pragma once

#include <QString>

class QObject;
namespace Ui {
class TForm_Main;
}
namespace outcal {
enum class Value;
}

// The window's variables the page works on: the PWM setting, the value the
// requests force, and the four values found.
struct OutputCalibrationValues {
    int &PWMSetpoint;
    int &PWMForce;
    int &OutCalPWM4mA;
    int &OutCalPWM20mA;
    int &OutCalPWM2V;
    int &OutCalPWM10V;
};

class OutputCalibrationView {
public:
    OutputCalibrationView(Ui::TForm_Main &ui, OutputCalibrationValues values);

    // Sets the PWM setting, kept within 0 ... 65535, shows it on the page
    // and makes it the forced PWM value.
    void setPWMSetpoint(int value);
    void adjustPWM(int change);
    // The technician moved the track bar (a move by the refresh is no move).
    void trackBarMoved();
    // A test point's button: while down, the output goes to its point.
    void testPoint(const QObject *button);

    // The current step 1 ... 7 (the active page of PageControl4) and moving
    // to another step, which runs its setup.
    int step() const;
    void setStep(int step);
    // Only the controls: which buttons and groups the current step shows.
    // The form stacks the bar graph over the adjustment controls: putting the
    // wizard on step 1 at the window's creation wants this too, without
    // touching the setting.
    void showStepControls();
    // Next captures an adjusting step's value first; Back takes the record
    // lines of the step it leaves away again.
    void next();
    void back();

private:
    void refresh();
    void setUpStep();
    int &value(outcal::Value value);
    void listAppend(const QString &line, bool withSeparator = false);
    void listTrim(int lines);

    Ui::TForm_Main &m_ui;
    OutputCalibrationValues m_values;
};
