// Showing a decoded reply in the window's variables and displays.
//
// The exchange decodes the whole reply first; it is then shown field by
// field in frame order. Decoding it first lets every display use the range,
// output type and stored scale of the same reply: a value shown with the
// previous reply's range would carry the wrong factor and unit for one reply
// after every change of range. The values with their units and the
// acknowledged commands come from the instrument core; the window keeps its
// display texts, patterns and pictures.
#include "app/reply_display.h"

#include "app/form_main.h"
#include "core/command_latches.h"
#include "core/decoded_reading.h"
#include "core/instrument_units.h"
#include "protocol/instrument_protocol.h"
#include "text/numberpattern.h"
#include "ui_form_main.h"
#include "widgets/mbargraph.h"

#include <QLabel>

#include <cstdlib>

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

CommandButtons commandButtons(const Ui::TForm_Main &ui)
{
    using namespace instrument::Command;
    return {{{StoreInputCalibration, ui.SpeedButton_ADCalBeiras},
             {StoreOutputCalibration, ui.SpeedButton_WriteOutputCalibrationToKX},
             {WriteSettings, ui.SpeedButton_WriteSettings},
             {Reset, ui.SpeedButton_Reset},
             {ClearFramAndReset, ui.SpeedButton_FRAMTorlesReset},
             {ClearTemperatureMinMax, ui.SpeedButton_HomersekletMinMaxTorlese}}};
}

ReplyDisplay::ReplyDisplay(TForm_Main &window) : m_w(window), m_ui(*window.ui) {}

// Until the first reply the displays of the instrument's data are empty:
// the form's texts are placeholders ("Label_InputSignalPlus", zeros, a bar
// at half scale), and a picture of one wiring beside the text of another
// would tell the technician where to connect what nobody has measured.
// Texts that already say "no value" ("-", "--.-", "????") stay. The first
// reply fills every one of these.
void ReplyDisplay::showNoReadingsYet()
{
    for (QLabel *label : {m_ui.Label_Uzemorak,
                          m_ui.Label_KalibralasDatuma,
                          m_ui.Label_ADErtek,
                          m_ui.Label_ADErtekAtlagolt,
                          m_ui.Label_ADErtek2,
                          m_ui.Label_ADErtekAtlagolt2,
                          m_ui.Label_ErrorNumber,
                          m_ui.Label_BemenoErtek,
                          m_ui.Label_OutputValue,
                          m_ui.Label_InputSignalPlus,
                          m_ui.Label_OutputSignalPlus,
                          m_ui.Label_OutputSignalMinus,
                          m_ui.Label_PWMErtek,
                          m_ui.Label_PWMErtek2,
                          m_ui.Label_BemenoErtek2,
                          m_ui.Label_OutputValue2,
                          m_ui.Label_Min0,
                          m_ui.Label_Max0,
                          m_ui.Label_Delta0,
                          m_ui.Label_Min1,
                          m_ui.Label_Max1,
                          m_ui.Label_Delta1,
                          m_ui.Label_ErositesCH0,
                          m_ui.Label_ErositesCH1,
                          m_ui.Label_uDivider,
                          m_ui.Label_NYAKCime,
                          m_ui.Label_uADSamples})
        label->clear();
    for (TMBarGraph *bar :
         {m_ui.MBarGraph_AD, m_ui.MBarGraph_ADSzurt, m_ui.MBarGraph_AD2, m_ui.MBarGraph_AD2Szurt,
          m_ui.MBarGraph_SkalaSzazalek, m_ui.MBarGraph_PWM, m_ui.MBarGraph_PWM2,
          m_ui.MBarGraph_Delta0, m_ui.MBarGraph_Delta1})
        bar->showNoValue();
    for (QLabel *picture :
         {m_ui.Image_78, m_ui.Image_79, m_ui.Image_710, m_ui.Image_56, m_ui.Image_34})
        picture->hide();
}

void ReplyDisplay::show(const ExchangeReply &decoded)
{
    showConverters(decoded.reply);
    showAcknowledgements(decoded.acknowledged);
    showGainsAndStatus(decoded.reply);
    showInput(decoded.reply, decoded.reading);
    showOutput(decoded.reply, decoded.reading);
    showTimeAndTemperature(decoded.reply, decoded.reading);
    showTestValuesAndScale(decoded.reply);
}

// Firmware, the converters' readings with their statistics, the memory areas.
void ReplyDisplay::showConverters(const InstrumentReply &reply)
{
    using namespace instrument;
    const double fullScale = ConverterFullScale;
    m_ui.Label_FormverVerzio->setText(
        QStringLiteral("V") + formatPattern(reply.FirmwareYear, u"0000") + u'-' +
        twoDigits(reply.FirmwareMonth) + u'-' + twoDigits(reply.FirmwareDay));

    m_w.ADValueCH0 = reply.ADValueCH0;
    m_ui.MBarGraph_AD->setMBGValue(m_w.ADValueCH0 / fullScale);
    m_ui.Label_ADErtek->setText(formatPattern(m_w.ADValueCH0, u"0 000 000"));
    m_w.ADValueCH1 = reply.ADValueCH1;
    m_ui.MBarGraph_AD2->setMBGValue(m_w.ADValueCH1 / fullScale);
    m_ui.Label_ADErtek2->setText(formatPattern(m_w.ADValueCH1, u"0 000 000"));

    m_w.ADAveragedCH0 = reply.ADAveragedCH0;
    m_ui.MBarGraph_ADSzurt->setMBGValue(m_w.ADAveragedCH0 / fullScale);
    m_ui.Label_ADErtekAtlagolt->setText(formatPattern(m_w.ADAveragedCH0, u"0 000 000"));
    showChannelStatistics(m_w.ADAveragedCH0, m_w.MinCH0, m_w.MaxCH0, m_w.PrevCH0, m_ui.Label_Min0,
                          m_ui.Label_Max0, m_ui.Label_Delta0, m_ui.MBarGraph_Delta0);
    m_w.ADAveragedCH1 = reply.ADAveragedCH1;
    m_ui.MBarGraph_AD2Szurt->setMBGValue(m_w.ADAveragedCH1 / fullScale);
    m_ui.Label_ADErtekAtlagolt2->setText(formatPattern(m_w.ADAveragedCH1, u"0 000 000"));
    showChannelStatistics(m_w.ADAveragedCH1, m_w.MinCH1, m_w.MaxCH1, m_w.PrevCH1, m_ui.Label_Min1,
                          m_ui.Label_Max1, m_ui.Label_Delta1, m_ui.MBarGraph_Delta1);

    m_ui.Label_RAM1AdatForras->setText(memoryAreaName(reply.RAM1Source));
    m_ui.Label_RAM2AdatForras->setText(memoryAreaName(reply.RAM2Source));
    m_w.SpareByte = reply.SpareByte;
}

void ReplyDisplay::showAcknowledgements(quint8 acknowledged)
{
    // An acknowledged command is done: its button comes up, so the next
    // request no longer asks for it. A written scale is read back at once.
    for (const auto &[bit, button] : commandButtons(m_ui)) {
        if (!(acknowledged & bit)) continue;
        button->setDown(false);
        if (CommandLatches::readBackDue(bit)) m_ui.SpeedButton_ReadSettings->setDown(true);
    }
}

void ReplyDisplay::showGainsAndStatus(const InstrumentReply &reply)
{
    using namespace instrument;
    m_w.GainCH0 = reply.GainCH0;
    m_w.GainCH1 = reply.GainCH1;
    m_ui.Label_ErositesCH0->setText(QString::number(m_w.GainCH0));
    m_ui.Label_ErositesCH1->setText(QString::number(m_w.GainCH1));

    m_w.StatusBits = reply.StatusBits;
    const bool inputUncalibrated = m_w.StatusBits & Status::InputNotCalibrated;
    const bool outputUncalibrated = m_w.StatusBits & Status::OutputNotCalibrated;
    m_ui.Label_ADNincsKalibralva->setVisible(inputUncalibrated);
    m_ui.Image_InputCalibrationOK->setVisible(!inputUncalibrated);
    m_ui.Label_EEPROMHiba->setVisible(m_w.StatusBits & Status::FramError);
    m_ui.Label_KimenetNincsKalibralva->setVisible(outputUncalibrated);
    m_ui.Image_OutputCalibrationOK->setVisible(!outputUncalibrated);
    m_ui.Label_OutputRangeError->setVisible(m_w.StatusBits & Status::OutputRangeError);
    m_ui.Label_ADOverflow->setVisible(m_w.StatusBits & Status::InputRangeError);
    m_ui.Label_ADError->setVisible(m_w.StatusBits & Status::ConverterError);
}

void ReplyDisplay::showInput(const InstrumentReply &reply, const DecodedReading &reading)
{
    using namespace instrument;
    const bool inputUncalibrated = m_w.StatusBits & Status::InputNotCalibrated;
    // A range the table does not know has no factor and no unit: the
    // window says so rather than show a number that may be read in the
    // wrong unit, and shows no connector picture.
    m_w.InputValue = reply.InputValue;
    m_w.InputRange = reply.InputRange;
    const InputRangeUnits *range = inputRangeUnits(m_w.InputRange);
    QString inputText;
    if (inputUncalibrated)
        inputText = kUncalibrated.toString();
    else if (range)
        inputText = formatPattern(*reading.inputValue, range->pattern) + u' ' + reading.inputUnit;
    else
        inputText = kUnknown.toString();
    m_ui.Label_BemenoErtek->setText(inputText);
    m_ui.Label_BemenoErtek2->setText(inputText);

    m_ui.Label_Input->setText((range ? range->text : kUnknown).toString());
    m_ui.Label_InputSignalPlus->setText((range ? range->connector : kUnknown).toString());
    m_ui.Image_78->setVisible(range && range->terminals == Terminals::In7To8);
    m_ui.Image_79->setVisible(range && range->terminals == Terminals::In7To9);
    m_ui.Image_710->setVisible(range && range->terminals == Terminals::In7To10);
}

void ReplyDisplay::showOutput(const InstrumentReply &reply, const DecodedReading &reading)
{
    using namespace instrument;
    const bool outputUncalibrated = m_w.StatusBits & Status::OutputNotCalibrated;
    m_w.InputType = reply.InputType;
    m_w.OutputType = reply.OutputType;
    if (const OutputRangeUnits *output = outputRangeUnits(m_w.OutputType)) {
        m_ui.Label_Output->setText(output->text.toString());
        m_ui.Label_OutputSignalPlus->setText(output->plus.toString());
        m_ui.Label_OutputSignalMinus->setText(output->minus.toString());
        m_ui.Image_56->setVisible(output->terminals == Terminals::Out5To6);
        m_ui.Image_34->setVisible(output->terminals == Terminals::Out3To4);
    } else {
        m_ui.Label_Output->clear();
    }

    m_w.OutputRatio = reply.OutputRatio;
    QString outputText;
    if (outputUncalibrated)
        outputText = kUncalibrated.toString();
    else
        outputText = formatPattern(*reading.outputValue, u"0.000") + u' ' + reading.outputUnit;
    m_ui.Label_OutputValue->setText(outputText);
    m_ui.Label_OutputValue2->setText(outputText);
}

void ReplyDisplay::showTimeAndTemperature(const InstrumentReply &reply,
                                          const DecodedReading &reading)
{
    const quint32 minutes = reply.OperatingMinutes;
    m_ui.Label_Uzemorak->setText(formatPattern(minutes / 60, u"0") + m_w.captions().hoursWord() +
                                 twoDigits(int(minutes % 60)) + m_w.captions().minutesWord());

    if (reply.hasCalibrationDate())
        m_ui.Label_KalibralasDatuma->setText(formatPattern(reply.CalYear, u"0000") + u'-' +
                                             twoDigits(reply.CalMonth) + u'-' +
                                             twoDigits(reply.CalDay));
    else
        m_ui.Label_KalibralasDatuma->setText(QStringLiteral("?"));

    m_w.Temperature = reply.Temperature;
    m_w.TemperatureMin = reply.TemperatureMin;
    m_w.TemperatureMax = reply.TemperatureMax;
    // -200 and below is the instrument's "no sensor reading".
    m_ui.Label_MertHomerseklet->setText(
        reading.temperature ? formatPattern(*reading.temperature, u"0.0") : QStringLiteral("--.-"));
    m_ui.Label_MertHomersekletMin->setText(formatPattern(m_w.TemperatureMin, u"0.0"));
    m_ui.Label_MertHomersekletMax->setText(formatPattern(m_w.TemperatureMax, u"0.0"));
}

void ReplyDisplay::showTestValuesAndScale(const InstrumentReply &reply)
{
    m_w.ADSamplesPerSecond = reply.ADSamplesPerSecond;
    m_w.ErrorNumber = reply.ErrorNumber;
    m_ui.Label_uADSamples->setText(QString::number(m_w.ADSamplesPerSecond));
    m_ui.Label_ErrorNumber->setText(QString::number(m_w.ErrorNumber));

    m_w.PWMValue = reply.PWMValue;
    m_ui.MBarGraph_PWM2->setMBGValue(m_w.PWMValue / 65535.0);
    m_ui.MBarGraph_PWM->setMBGValue(m_w.PWMValue / 65535.0);
    m_ui.Label_PWMErtek2->setText(formatPattern(m_w.PWMValue, u"## ##0"));
    m_ui.Label_PWMErtek->setText(formatPattern(m_w.PWMValue, u"## ##0"));

    m_w.DividerCH1 = reply.DividerCH1;
    m_ui.Label_uDivider->setText(QString::number(m_w.DividerCH1));

    m_w.StoredInputLow = reply.InputLow;
    m_w.StoredInputHigh = reply.InputHigh;
    m_w.StoredOutputLow = reply.OutputLow;
    m_w.StoredOutputHigh = reply.OutputHigh;

    m_w.ScaleRatio = reply.ScaleRatio;
    m_ui.MBarGraph_SkalaSzazalek->setMBGValue(m_w.ScaleRatio);
    m_w.SpareReal = reply.SpareReal;

    if (m_ui.SpeedButton_ReadSettings->Down()) m_w.LoadStoredSettings();

    // The Test page's board identifier is the one reply byte no other
    // display shows.
    m_ui.Label_NYAKCime->setText(QString::number(m_w.SpareByte));
}
