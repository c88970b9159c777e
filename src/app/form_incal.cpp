// The input calibration wizard's handlers: the page's view does the work
// (see incal_view.cpp).
#include "app/form_main.h"
#include "app/incal_view.h"

#include "ui_form_main.h"

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
    m_inCal->step();
}
