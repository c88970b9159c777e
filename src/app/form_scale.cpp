// The scale settings' handlers: the scale group does the work (see
// scale_group.cpp).
#include "app/form_main.h"
#include "app/scale_group.h"

#include "ui_form_main.h"

void TForm_Main::Edit_InputLowExit(QObject *Sender)
{
    m_scale->leaveEdit(Sender, true);
}

void TForm_Main::Edit_OutputLowExit(QObject *Sender)
{
    m_scale->leaveEdit(Sender, false);
}

// The four edits accept any character.
void TForm_Main::Edit_InputLowKeyPress(QObject *, QChar &Key)
{
    ScaleGroup::acceptKey(Key);
}

void TForm_Main::Edit_InputHighKeyPress(QObject *, QChar &Key)
{
    ScaleGroup::acceptKey(Key);
}

void TForm_Main::Edit_OutputLowKeyPress(QObject *, QChar &Key)
{
    ScaleGroup::acceptKey(Key);
}

void TForm_Main::Edit_OutputHighKeyPress(QObject *, QChar &Key)
{
    ScaleGroup::acceptKey(Key);
}

void TForm_Main::RadioGroup_BemenetTipusaClick(QObject *)
{
    m_scale->showUnits(true);
}

void TForm_Main::RadioGroup_KimenetTipusaClick(QObject *)
{
    m_scale->showUnits(false);
}

void TForm_Main::Button_GyariAlapSkalaClick(QObject *)
{
    m_scale->loadFactoryDefaults();
}

void TForm_Main::LoadStoredSettings(int inputType, int outputType, double inputLow,
                                    double inputHigh, double outputLow, double outputHigh)
{
    if (m_scale->loadStored(inputType, outputType, inputLow, inputHigh, outputLow, outputHigh))
        ui->SpeedButton_ReadSettings->setDown(false);
}

void TForm_Main::LoadStoredSettings()
{
    LoadStoredSettings(InputType, OutputType, StoredInputLow, StoredInputHigh, StoredOutputLow,
                       StoredOutputHigh);
}

ScaleEntry TForm_Main::scaleEntry() const
{
    return m_scale->entry();
}
