// The output check page: drives the output to a chosen percentage.
#include "app/form_main.h"

void TForm_Main::TrackBar_OutCheckChange(QObject *)
{
    // Show the chosen percentage; the next request carries it.
}

void TForm_Main::Button_OutCheckMinClick(QObject *)
{
    // Choose 0 %.
}

void TForm_Main::Button_OutCheckMaxClick(QObject *)
{
    // Choose 100 %.
}

void TForm_Main::Button_OutCheckMeanClick(QObject *)
{
    // Choose 50 %.
}
