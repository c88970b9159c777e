// Building the instrument request from the window's current state: every
// request carries all commands, forcing selections, calibration values, the
// PC's date and the scale settings, so the instrument needs no memory of
// earlier requests. The window gathers its state; the instrument core turns
// it into the request's fields.
#include "app/form_main.h"
#include "app/reply_display.h"

#include "panel/mb.h"
#include "protocol/instrument_protocol.h"
#include "text/numberpattern.h"
#include "ui_form_main.h"

RequestState TForm_Main::requestState() const
{
    RequestState state;
    state.pwmForce = PWMForce;
    for (const auto &[bit, button] : commandButtons(*ui))
        if (button->Down()) state.commands |= bit;
    // A store pressed stays down, and waits for the unit's first reply and
    // its serial number (see ConnectedUnit).
    if (connectedUnit.holdsBackCalibrationStore())
        state.commands &= quint8(~(instrument::Command::StoreInputCalibration |
                                   instrument::Command::StoreOutputCalibration));
    state.inputCalibration = {{{InCalLow1, InCalHigh1},
                               {InCalLow2, InCalHigh2},
                               {InCalLow3, InCalHigh3},
                               {InCalLow4, InCalHigh4},
                               {InCalLow5, InCalHigh5},
                               {InCalLow6, InCalHigh6},
                               {InCalLow7, InCalHigh7}}};
    state.outputCalibration = {OutCalPWM4mA, OutCalPWM20mA, OutCalPWM2V, OutCalPWM10V};
    // Read once, so year, month and day always belong to one date.
    state.date = CurrentLocalDate();
    state.outputCheck = ui->PageControl1->ActivePage() == ui->TabSheet_KimenetEllenorzes;
    state.outputCheckPosition = ui->TrackBar_OutCheck->Position();
    state.gainItem = ui->RadioGroup_GainForce->ItemIndex();
    state.gainChannelCH1 = ui->RadioGroup_GainForceCH->ItemIndex() == 1;
    state.dividerItem = ui->RadioGroup_DividerForce->ItemIndex();
    state.rangeItem = ui->RadioGroup_MereshatarForce->ItemIndex();
    state.scale = scaleEntry();
    return state;
}

void TForm_Main::SendInstrumentRequest()
{
    const InstrumentRequest request = buildRequest(requestState());
    ui->Label_CalibrationStep->setText(QString::number(request.CalibrationStep));
    RefreshScaleValues();
    // Every real has been made to fit single precision, so the whole request
    // always goes out.
    m_exchange->send(request);
}

void TForm_Main::RefreshScaleValues()
{
    const ScaleValues values = requestScaleValues(scaleEntry());
    InputLow = values.inputLow;
    InputHigh = values.inputHigh;
    OutputLow = values.outputLow;
    OutputHigh = values.outputHigh;
}
