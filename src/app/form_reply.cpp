// Showing the instrument reply in the window's variables and displays.
//
// The exchange decodes the whole reply first; it is then shown field by
// field in frame order. Decoding it first lets every display use the range,
// output type and stored scale of the same reply: a value shown with the
// previous reply's range would carry the wrong factor and unit for one reply
// after every change of range. The values with their units and the
// acknowledged commands come from the instrument core; the window keeps its
// display texts, patterns and pictures.
#include "app/form_main.h"

#include "core/command_latches.h"
#include "core/decoded_reading.h"
#include "core/instrument_units.h"
#include "protocol/instrument_protocol.h"
#include "text/numberpattern.h"
#include "ui_form_main.h"
#include "widgets/mbargraph.h"

#include <QLabel>

#include <array>
#include <cstdlib>
#include <exception>

namespace {

// What the window shows for a code it has no text for.
constexpr QStringView kUnknown = u"????";
constexpr QStringView kUncalibrated = u"Uncalibrated!";

// Minimum, maximum and spread of one channel's averaged reading since the
// last clearing, and how far it moved since the previous reply relative to
// that spread. The arithmetic is 64-bit: any two 32-bit readings may meet.
void showChannelStatistics(qint32 value, qint32 &minimum, qint32 &maximum, qint32 &previous,
                           QLabel *minLabel, QLabel *maxLabel, QLabel *spanLabel,
                           TMBarGraph *changeBar)
{
    if (value < minimum) minimum = value;
    if (value > maximum) maximum = value;
    minLabel->setText(formatPattern(minimum, u"# ### ##0"));
    maxLabel->setText(formatPattern(maximum, u"# ### ##0"));
    const qint64 span = std::llabs(qint64(maximum) - qint64(minimum));
    spanLabel->setText(formatPattern(double(span), u"# ### ##0"));
    // With no spread yet there is nothing to compare the change with.
    if (span != 0)
        changeBar->setMBGValue(double(std::llabs(qint64(value) - qint64(previous))) / double(span));
    previous = value;
}

QString twoDigits(int value)
{
    return formatPattern(value, u"00");
}

} // namespace

void TForm_Main::DecodeInstrumentReply()
{
    DecodeInstrumentReply(m_exchange->linkReply());
}

void TForm_Main::DecodeInstrumentReply(const ExchangeReply &decoded)
{
    LastReading = decoded.reading;
    // A failure while showing ends this reply's decoding; the displays keep
    // what they have, and the exchange goes on. The groups in frame order.
    try {
        showConverters(decoded.reply);
        showAcknowledgements(decoded.acknowledged);
        showGainsAndStatus(decoded.reply);
        showInput(decoded.reply, decoded.reading);
        showOutput(decoded.reply, decoded.reading);
        showTimeAndTemperature(decoded.reply, decoded.reading);
        showTestValuesAndScale(decoded.reply);
    } catch (const std::exception &failure) {
        // Silent for the user; counted and logged for the developer.
        m_exchange->noteUndecodable(failure.what());
    }
}

// Firmware, the converters' readings with their statistics, the memory areas.
void TForm_Main::showConverters(const InstrumentReply &reply)
{
    using namespace instrument;
    const double fullScale = ConverterFullScale;
    ui->Label_FormverVerzio->setText(
        QStringLiteral("V") + formatPattern(reply.FirmwareYear, u"0000") + u'-' +
        twoDigits(reply.FirmwareMonth) + u'-' + twoDigits(reply.FirmwareDay));

    ADValueCH0 = reply.ADValueCH0;
    ui->MBarGraph_AD->setMBGValue(ADValueCH0 / fullScale);
    ui->Label_ADErtek->setText(formatPattern(ADValueCH0, u"0 000 000"));
    ADValueCH1 = reply.ADValueCH1;
    ui->MBarGraph_AD2->setMBGValue(ADValueCH1 / fullScale);
    ui->Label_ADErtek2->setText(formatPattern(ADValueCH1, u"0 000 000"));

    ADAveragedCH0 = reply.ADAveragedCH0;
    ui->MBarGraph_ADSzurt->setMBGValue(ADAveragedCH0 / fullScale);
    ui->Label_ADErtekAtlagolt->setText(formatPattern(ADAveragedCH0, u"0 000 000"));
    showChannelStatistics(ADAveragedCH0, MinCH0, MaxCH0, PrevCH0, ui->Label_Min0, ui->Label_Max0,
                          ui->Label_Delta0, ui->MBarGraph_Delta0);
    ADAveragedCH1 = reply.ADAveragedCH1;
    ui->MBarGraph_AD2Szurt->setMBGValue(ADAveragedCH1 / fullScale);
    ui->Label_ADErtekAtlagolt2->setText(formatPattern(ADAveragedCH1, u"0 000 000"));
    showChannelStatistics(ADAveragedCH1, MinCH1, MaxCH1, PrevCH1, ui->Label_Min1, ui->Label_Max1,
                          ui->Label_Delta1, ui->MBarGraph_Delta1);

    ui->Label_RAM1AdatForras->setText(memoryAreaName(reply.RAM1Source));
    ui->Label_RAM2AdatForras->setText(memoryAreaName(reply.RAM2Source));
    SpareByte = reply.SpareByte;
}

void TForm_Main::showAcknowledgements(quint8 acknowledged)
{
    // An acknowledged command is done: its button comes up, so the next
    // request no longer asks for it. A written scale is read back at once.
    for (const auto &[bit, button] : commandButtons()) {
        if (!(acknowledged & bit)) continue;
        button->setDown(false);
        if (CommandLatches::readBackDue(bit)) ui->SpeedButton_ReadSettings->setDown(true);
    }
}

void TForm_Main::showGainsAndStatus(const InstrumentReply &reply)
{
    using namespace instrument;
    GainCH0 = reply.GainCH0;
    GainCH1 = reply.GainCH1;
    ui->Label_ErositesCH0->setText(QString::number(GainCH0));
    ui->Label_ErositesCH1->setText(QString::number(GainCH1));

    StatusBits = reply.StatusBits;
    const bool inputUncalibrated = StatusBits & Status::InputNotCalibrated;
    const bool outputUncalibrated = StatusBits & Status::OutputNotCalibrated;
    ui->Label_ADNincsKalibralva->setVisible(inputUncalibrated);
    ui->Image_InputCalibrationOK->setVisible(!inputUncalibrated);
    ui->Label_EEPROMHiba->setVisible(StatusBits & Status::FramError);
    ui->Label_KimenetNincsKalibralva->setVisible(outputUncalibrated);
    ui->Image_OutputCalibrationOK->setVisible(!outputUncalibrated);
    ui->Label_OutputRangeError->setVisible(StatusBits & Status::OutputRangeError);
    ui->Label_ADOverflow->setVisible(StatusBits & Status::InputRangeError);
    ui->Label_ADError->setVisible(StatusBits & Status::ConverterError);
}

void TForm_Main::showInput(const InstrumentReply &reply, const DecodedReading &reading)
{
    using namespace instrument;
    const bool inputUncalibrated = StatusBits & Status::InputNotCalibrated;
    // A range the table does not know has no factor and no unit: the
    // window says so rather than show a number that may be read in the
    // wrong unit, and shows no connector picture.
    InputValue = reply.InputValue;
    InputRange = reply.InputRange;
    const InputRangeUnits *range = inputRangeUnits(InputRange);
    QString inputText;
    if (inputUncalibrated)
        inputText = kUncalibrated.toString();
    else if (range)
        inputText = formatPattern(*reading.inputValue, range->pattern) + u' ' + reading.inputUnit;
    else
        inputText = kUnknown.toString();
    ui->Label_BemenoErtek->setText(inputText);
    ui->Label_BemenoErtek2->setText(inputText);

    ui->Label_Input->setText((range ? range->text : kUnknown).toString());
    ui->Label_InputSignalPlus->setText((range ? range->connector : kUnknown).toString());
    ui->Image_78->setVisible(range && range->terminals == Terminals::In7To8);
    ui->Image_79->setVisible(range && range->terminals == Terminals::In7To9);
    ui->Image_710->setVisible(range && range->terminals == Terminals::In7To10);
}

void TForm_Main::showOutput(const InstrumentReply &reply, const DecodedReading &reading)
{
    using namespace instrument;
    const bool outputUncalibrated = StatusBits & Status::OutputNotCalibrated;
    InputType = reply.InputType;
    OutputType = reply.OutputType;
    if (const OutputRangeUnits *output = outputRangeUnits(OutputType)) {
        ui->Label_Output->setText(output->text.toString());
        ui->Label_OutputSignalPlus->setText(output->plus.toString());
        ui->Label_OutputSignalMinus->setText(output->minus.toString());
        ui->Image_56->setVisible(output->terminals == Terminals::Out5To6);
        ui->Image_34->setVisible(output->terminals == Terminals::Out3To4);
    } else {
        ui->Label_Output->clear();
    }

    OutputRatio = reply.OutputRatio;
    QString outputText;
    if (outputUncalibrated)
        outputText = kUncalibrated.toString();
    else
        outputText = formatPattern(*reading.outputValue, u"0.000") + u' ' + reading.outputUnit;
    ui->Label_OutputValue->setText(outputText);
    ui->Label_OutputValue2->setText(outputText);
}

void TForm_Main::showTimeAndTemperature(const InstrumentReply &reply, const DecodedReading &reading)
{
    const quint32 minutes = reply.OperatingMinutes;
    ui->Label_Uzemorak->setText(formatPattern(minutes / 60, u"0") + m_captions.hoursWord() +
                                twoDigits(int(minutes % 60)) + m_captions.minutesWord());

    if (reply.hasCalibrationDate())
        ui->Label_KalibralasDatuma->setText(formatPattern(reply.CalYear, u"0000") + u'-' +
                                            twoDigits(reply.CalMonth) + u'-' +
                                            twoDigits(reply.CalDay));
    else
        ui->Label_KalibralasDatuma->setText(QStringLiteral("?"));

    Temperature = reply.Temperature;
    TemperatureMin = reply.TemperatureMin;
    TemperatureMax = reply.TemperatureMax;
    // -200 and below is the instrument's "no sensor reading".
    ui->Label_MertHomerseklet->setText(
        reading.temperature ? formatPattern(*reading.temperature, u"0.0") : QStringLiteral("--.-"));
    ui->Label_MertHomersekletMin->setText(formatPattern(TemperatureMin, u"0.0"));
    ui->Label_MertHomersekletMax->setText(formatPattern(TemperatureMax, u"0.0"));
}

void TForm_Main::showTestValuesAndScale(const InstrumentReply &reply)
{
    ADSamplesPerSecond = reply.ADSamplesPerSecond;
    ErrorNumber = reply.ErrorNumber;
    ui->Label_uADSamples->setText(QString::number(ADSamplesPerSecond));
    ui->Label_ErrorNumber->setText(QString::number(ErrorNumber));

    PWMValue = reply.PWMValue;
    ui->MBarGraph_PWM2->setMBGValue(PWMValue / 65535.0);
    ui->MBarGraph_PWM->setMBGValue(PWMValue / 65535.0);
    ui->Label_PWMErtek2->setText(formatPattern(PWMValue, u"## ##0"));
    ui->Label_PWMErtek->setText(formatPattern(PWMValue, u"## ##0"));

    DividerCH1 = reply.DividerCH1;
    ui->Label_uDivider->setText(QString::number(DividerCH1));

    StoredInputLow = reply.InputLow;
    StoredInputHigh = reply.InputHigh;
    StoredOutputLow = reply.OutputLow;
    StoredOutputHigh = reply.OutputHigh;

    ScaleRatio = reply.ScaleRatio;
    ui->MBarGraph_SkalaSzazalek->setMBGValue(ScaleRatio);
    SpareReal = reply.SpareReal;

    if (ui->SpeedButton_ReadSettings->Down()) LoadStoredSettings();

    // The Test page's board identifier is the one reply byte no other
    // display shows.
    ui->Label_NYAKCime->setText(QString::number(SpareByte));
}
