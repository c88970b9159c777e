// The output calibration wizard's page: PWM adjustment, the seven steps with
// their record of captured values, and the test points of the checking steps.
#include "app/outcal_view.h"

#include <algorithm>
#include <utility>

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

OutputCalibrationView::OutputCalibrationView(Ui::TForm_Main &ui, OutputCalibrationValues values)
    : m_ui(ui), m_values(values)
{
}

// --- PWM setting ---

void OutputCalibrationView::setPWMSetpoint(int value)
{
    m_values.PWMSetpoint = outcal::clampedPWM(value);
    refresh();
}

// Decrements stop at 0 and increments at full scale.
void OutputCalibrationView::adjustPWM(int change)
{
    setPWMSetpoint(m_values.PWMSetpoint + change);
}

void OutputCalibrationView::refresh()
{
    m_ui.Label_BeallitottPWM->setText(formatPattern(m_values.PWMSetpoint, u"00 000"));
    const int percent = roundHalfEvenInt(m_values.PWMSetpoint * 100.0 / PWMFullScale);
    // Never pull the track bar away from under the technician's hand; moving
    // it from here raises its change event, which ignores an unfocused bar.
    if (!m_ui.TrackBar_PWM->hasFocus()) m_ui.TrackBar_PWM->setPosition(percent);
    m_ui.MBarGraph_OutputCalibration->setMBGValue(percent / 100.0);
    m_values.PWMForce = outcal::forcedPWM(m_values.PWMSetpoint);
}

void OutputCalibrationView::trackBarMoved()
{
    // Only the technician's own moves count; the refresh moves the bar too.
    if (!m_ui.TrackBar_PWM->hasFocus()) return;
    setPWMSetpoint(roundHalfEvenInt(m_ui.TrackBar_PWM->Position() * double(PWMFullScale) / 100.0));
}

// --- test points ---

void OutputCalibrationView::testPoint(const QObject *button)
{
    using outcal::middleTestPoint;
    const std::pair<TSpeedButton *, int> points[] = {
        {m_ui.SpeedButton_Test4mA, m_values.OutCalPWM4mA},
        {m_ui.SpeedButton_Test12mA, middleTestPoint(m_values.OutCalPWM4mA, m_values.OutCalPWM20mA)},
        {m_ui.SpeedButton_Test20mA, m_values.OutCalPWM20mA},
        {m_ui.SpeedButton_Test2V, m_values.OutCalPWM2V},
        {m_ui.SpeedButton_Test6V, middleTestPoint(m_values.OutCalPWM2V, m_values.OutCalPWM10V)},
        {m_ui.SpeedButton_Test10V, m_values.OutCalPWM10V}};
    for (const auto &[point, setting] : points)
        if (point == button && point->Down()) setPWMSetpoint(setting);
}

// --- steps ---

int OutputCalibrationView::step() const
{
    return m_ui.PageControl4->indexOf(m_ui.PageControl4->ActivePage()) + 1;
}

void OutputCalibrationView::setStep(int step)
{
    m_ui.PageControl4->setActivePageIndex(std::clamp(step, 1, StepCount) - 1);
    setUpStep();
}

void OutputCalibrationView::listAppend(const QString &line, bool withSeparator)
{
    QListWidget *list = m_ui.ListBox_OutputCalibrated;
    if (withSeparator) list->addItem(separatorLine());
    list->addItem(line);
    list->setCurrentRow(list->count() - 1);
}

void OutputCalibrationView::listTrim(int lines)
{
    QListWidget *list = m_ui.ListBox_OutputCalibrated;
    for (int i = 0; i < lines && list->count() > 0; ++i)
        delete list->takeItem(list->count() - 1);
    if (list->count() > 0) list->setCurrentRow(list->count() - 1);
}

void OutputCalibrationView::showStepControls()
{
    const int step = this->step();
    const bool checking = step == 3 || step == 6;
    m_ui.SpeedButton_OutputCalibrationNext->setVisible(step != StepCount);
    m_ui.SpeedButton_OutputCalibrationBack->setVisible(step != 1);
    m_ui.GroupBox_PWM->setVisible(step != StepCount);
    // The last step only stores: it leaves the adjustment and the bar as the
    // checking step before it had them, and the output forced as it was.
    if (step != StepCount) {
        m_ui.GroupBox_PWMErtekValtoztatas->setVisible(!checking);
        m_ui.MBarGraph_OutputCalibration->setVisible(checking);
    }
}

int &OutputCalibrationView::value(outcal::Value value)
{
    switch (value) {
    case outcal::Value::PWM4mA:
        return m_values.OutCalPWM4mA;
    case outcal::Value::PWM20mA:
        return m_values.OutCalPWM20mA;
    case outcal::Value::PWM2V:
        return m_values.OutCalPWM2V;
    case outcal::Value::PWM10V:
        break;
    }
    return m_values.OutCalPWM10V;
}

// Prepares the step that has just become active: its controls, then the
// setting it starts from.
void OutputCalibrationView::setUpStep()
{
    showStepControls();
    const int step = this->step();
    const outcal::StepPlan &plan = outcal::stepPlan(step);
    if (plan.value) setPWMSetpoint(value(*plan.value));
    if (step == 1) m_ui.ListBox_OutputCalibrated->clear(); // a new run of the wizard
    // A checking step starts on its middle test point.
    if (step == 3) {
        m_ui.SpeedButton_Test12mA->setDown(true);
        testPoint(m_ui.SpeedButton_Test12mA);
    } else if (step == 6) {
        m_ui.SpeedButton_Test6V->setDown(true);
        testPoint(m_ui.SpeedButton_Test6V);
    }
}

void OutputCalibrationView::next()
{
    // The capture comes first, so the next step's setup (the test points)
    // already works with the value just found. PWMForce is what the
    // instrument was driven with: the setting, but never 0.
    const int step = this->step();
    const outcal::StepPlan &plan = outcal::stepPlan(step);
    if (plan.kind == outcal::StepPlan::Kind::Store) return; // the last step has nowhere to go
    if (plan.value) {
        listAppend(QStringLiteral("Step %1:").arg(step), step != 1);
        listAppend(plan.captureName.toString() + QStringLiteral(" = ") +
                   pwmText(m_values.PWMForce));
        value(*plan.value) = m_values.PWMForce;
    }
    setStep(step + 1);
}

void OutputCalibrationView::back()
{
    const int step = this->step();
    if (step <= 1) return;
    listTrim(outcal::recordLinesEntering(step));
    setStep(step - 1);
}
