// Scale settings: the type selectors, the scale edits and the factory
// default scale.
#include "app/form_main.h"

void TForm_Main::Edit_InputLowExit(QObject *)
{
    // Check the input scale value that was left and bring it within the range.
}

void TForm_Main::Edit_OutputLowExit(QObject *)
{
    // Check the output scale value that was left and bring it within the range.
}

void TForm_Main::Edit_InputLowKeyPress(QObject *, QChar &)
{
    // Let through only the characters of a number.
}

void TForm_Main::Edit_InputHighKeyPress(QObject *, QChar &)
{
    // Let through only the characters of a number.
}

void TForm_Main::Edit_OutputLowKeyPress(QObject *, QChar &)
{
    // Let through only the characters of a number.
}

void TForm_Main::Edit_OutputHighKeyPress(QObject *, QChar &)
{
    // Let through only the characters of a number.
}

void TForm_Main::RadioGroup_BemenetTipusaClick(QObject *)
{
    // Switch the input units and limits to the chosen input signal type.
}

void TForm_Main::RadioGroup_KimenetTipusaClick(QObject *)
{
    // Switch the output units and limits to the chosen output signal type.
}

void TForm_Main::Button_GyariAlapSkalaClick(QObject *)
{
    // Fill the edits with the factory default scale.
}

void TForm_Main::LoadStoredSettings()
{
    // Put the instrument's stored types and scale into the settings group.
}
