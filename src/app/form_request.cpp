// Building the instrument request from the window's current state: every
// request carries all commands, forcing selections, calibration values, the
// PC's date and the scale settings, so the instrument needs no memory of
// earlier requests.
#include "app/form_main.h"

#include "protocol/instrument_protocol.h"
#include "panel/mb.h"
#include "ui_form_main.h"
#include "widgets/numberpattern.h"

#include <cmath>

namespace {

// The input scale may not leave +-25 mA on a current input and +-125 V on a
// voltage input; an equal value stays as it is.
double limitedInputValue(double value, double limit)
{
    if (std::abs(value) <= limit) return value;
    return value >= 0.0 ? limit : -limit;
}

// An edit's number, or the fallback when the text is not a number the
// instrument could receive: a value beyond single precision would not fit the
// frame at all, so it counts as no number.
double scaleEditValue(const QString &text, double fallback)
{
    const std::optional<double> value = parseLocaleNumber(text);
    if (!value || !instrument::travelsAsReal(*value)) return fallback;
    return *value;
}

} // namespace

void TForm_Main::SendInstrumentRequest()
{
    using namespace instrument;
    InstrumentRequest request;

    ui->MB1->setMBMasterCommandToSlave(RequestCommand);

    request.PWMForce = quint16(PWMForce);

    quint8 commandBits = 0;
    if (ui->SpeedButton_ADCalBeiras->Down()) commandBits |= Command::StoreInputCalibration;
    if (ui->SpeedButton_WriteOutputCalibrationToKX->Down())
        commandBits |= Command::StoreOutputCalibration;
    if (ui->SpeedButton_WriteSettings->Down()) commandBits |= Command::WriteSettings;
    if (ui->SpeedButton_Reset->Down()) commandBits |= Command::Reset;
    if (ui->SpeedButton_FRAMTorlesReset->Down()) commandBits |= Command::ClearFramAndReset;
    if (ui->SpeedButton_HomersekletMinMaxTorlese->Down())
        commandBits |= Command::ClearTemperatureMinMax;
    request.CommandBits = commandBits;

    request.InCalLow1 = InCalLow1;
    request.InCalHigh1 = InCalHigh1;
    request.InCalLow2 = InCalLow2;
    request.InCalHigh2 = InCalHigh2;
    request.OutCalPWM4mA = quint16(OutCalPWM4mA);
    request.OutCalPWM20mA = quint16(OutCalPWM20mA);
    request.OutCalPWM2V = quint16(OutCalPWM2V);
    request.OutCalPWM10V = quint16(OutCalPWM10V);

    // Read once, so year, month and day always belong to one date.
    const QDate today = CurrentLocalDate();
    request.CalYear = quint16(today.year());
    request.CalMonth = quint8(today.month());
    request.CalDay = quint8(today.day());

    request.CalibrationStep =
        ui->PageControl1->ActivePage() == ui->TabSheet_KimenetEllenorzes ? OutputCheckStep : 0;
    ui->Label_CalibrationStep->setText(QString::number(request.CalibrationStep));

    request.OutCheckPercent = quint8(ui->TrackBar_OutCheck->Position() * 5);
    request.GainForce = gainForceCode(ui->RadioGroup_GainForce->ItemIndex(),
                                      ui->RadioGroup_GainForceCH->ItemIndex() == 1);
    request.DividerForce = dividerForceCode(ui->RadioGroup_DividerForce->ItemIndex());

    request.InCalLow3 = InCalLow3;
    request.InCalHigh3 = InCalHigh3;
    request.InCalLow4 = InCalLow4;
    request.InCalHigh4 = InCalHigh4;
    request.InCalLow5 = InCalLow5;
    request.InCalHigh5 = InCalHigh5;
    request.InCalLow6 = InCalLow6;
    request.InCalHigh6 = InCalHigh6;
    request.InCalLow7 = InCalLow7;
    request.InCalHigh7 = InCalHigh7;

    // A group left without a selection sends 99.
    request.InputType = quint8(ui->RadioGroup_BemenetTipusa->ItemIndex() + Type::Current);
    request.OutputType = quint8(ui->RadioGroup_KimenetTipusa->ItemIndex() + Type::Current);

    RefreshScaleValues();
    request.InputLow = InputLow;
    request.InputHigh = InputHigh;
    request.OutputLow = OutputLow;
    request.OutputHigh = OutputHigh;
    request.SpareReal = 0.0;

    request.RangeForce = rangeForceCode(ui->RadioGroup_MereshatarForce->ItemIndex());

    // Every real has been made to fit single precision above, so the whole
    // request always goes into the buffer.
    writeRequest(ui->MB1->engine().txBuffer(), request);
    ui->MB1->MBSendFrame();
}

void TForm_Main::RefreshScaleValues()
{
    InputLow = scaleEditValue(ui->Edit_InputLow->text(), 4.0);
    InputHigh = scaleEditValue(ui->Edit_InputHigh->text(), 20.0);
    OutputLow = scaleEditValue(ui->Edit_OutputLow->text(), 4.0);
    OutputHigh = scaleEditValue(ui->Edit_OutputHigh->text(), 20.0);

    const int inputType = ui->RadioGroup_BemenetTipusa->ItemIndex();
    if (inputType == 0 || inputType == 1) {
        const double limit = inputType == 0 ? 25.0 : 125.0;
        InputLow = limitedInputValue(InputLow, limit);
        InputHigh = limitedInputValue(InputHigh, limit);
    }
}
