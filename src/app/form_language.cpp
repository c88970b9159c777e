// The caption languages: the language buttons.
#include "app/form_main.h"

void TForm_Main::SpeedButton_AngolClick(QObject *)
{
    // Apply the caption set of the clicked language button if it is down.
}
