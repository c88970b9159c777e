// The input calibration wizard's page: the plan's steps, paced by
// Timer_InCal, with the instrument forced and the readings captured as each
// step says.
#include "app/incal_view.h"

#include <QTimer>

#include <array>

#include "app/form_main.h"
#include "core/input_calibration_plan.h"
#include "text/numberpattern.h"
#include "ui_form_main.h"

InputCalibrationView::InputCalibrationView(TForm_Main &window) : m_w(window), m_ui(*window.ui) {}

qint32 &InputCalibrationView::value(const incal::Point &point)
{
    TForm_Main &w = m_w;
    const std::array<qint32 *, 7> lows{&w.InCalLow1, &w.InCalLow2, &w.InCalLow3, &w.InCalLow4,
                                       &w.InCalLow5, &w.InCalLow6, &w.InCalLow7};
    const std::array<qint32 *, 7> highs{&w.InCalHigh1, &w.InCalHigh2, &w.InCalHigh3, &w.InCalHigh4,
                                        &w.InCalHigh5, &w.InCalHigh6, &w.InCalHigh7};
    return *(point.high ? highs : lows)[std::size_t(point.calibrationPoint)];
}

void InputCalibrationView::enterPage()
{
    m_ui.SpeedButton_ADCalBeiras->hide();
    m_ui.ListBox_InputCalibrated->clear();
    m_w.InCalState = incal::FirstState;
    m_w.Timer_InCal->stop();
    m_w.Timer_InCal->setInterval(100);
    m_w.Timer_InCal->start();
    m_w.Timer_InCalTimer(m_w.Timer_InCal);
}

void InputCalibrationView::step()
{
    using namespace incal;
    const Step step = incal::step(m_w.InCalState, m_w.InCalNextPressed);
    const Point *point = step.point;
    switch (step.kind) {
    case Step::Kind::None:
        return;
    case Step::Kind::Close:
        m_ui.RadioGroup_GainForceCH->setItemIndex(int(Channel::CH0));
        m_ui.RadioGroup_DividerForce->setItemIndex(int(Divider::Off));
        m_ui.RadioGroup_GainForce->setItemIndex(int(Gain::Off));
        m_ui.Label_InputCalibration1->setText(ClosingTitle.toString());
        m_ui.Memo_InputCalibration2->setPlainText(StoreInstruction.toString());
        m_ui.SpeedButton_ADCalBeiras->setVisible(true);
        break;
    case Step::Kind::Show:
        m_ui.RadioGroup_GainForceCH->setItemIndex(int(point->channel));
        m_ui.RadioGroup_DividerForce->setItemIndex(int(point->divider));
        m_ui.RadioGroup_GainForce->setItemIndex(int(point->gain));
        m_ui.Label_InputCalibration1->setText(point->title.toString());
        m_ui.Memo_InputCalibration2->setPlainText(point->instruction.toString());
        // A press made before the step was shown must not capture it.
        m_w.InCalNextPressed = false;
        break;
    case Step::Kind::Capture: {
        // The latest averaged reading of the point's converter.
        qint32 &captured = value(*point);
        captured = point->channel == Channel::CH0 ? m_w.ADAveragedCH0 : m_w.ADAveragedCH1;
        m_ui.ListBox_InputCalibrated->addItem(point->prefix.toString() +
                                              formatPattern(captured, u"0 000 000"));
        break;
    }
    }
    m_w.InCalState = step.nextState;
}
