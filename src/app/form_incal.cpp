// The input calibration wizard.
#include "app/form_main.h"

void TForm_Main::SpeedButton_InputCalibrationNextClick(QObject *)
{
    // Let the waiting wizard step capture its reading and go on.
}

void TForm_Main::Timer_InCalTimer(QObject *)
{
    // Run the wizard's next state.
}
