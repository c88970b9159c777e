// The test page: converter statistics and the range forcing.
#include "app/form_main.h"

void TForm_Main::Button_MinMaxTorles0Click(QObject *)
{
    // Clear the CH0 statistics.
}

void TForm_Main::Button_MinMaxTorles1Click(QObject *)
{
    // Clear the CH1 statistics.
}

void TForm_Main::RadioGroup_MereshatarForceClick(QObject *)
{
    // Couple the CH1 divider forcing to the forced range.
}
