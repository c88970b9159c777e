// Scale settings: the type selectors with their unit labels, the four scale
// edits (what may be typed, how a value is shown once the edit is left), the
// factory default scale and loading the scale the instrument has stored.
#include "app/form_main.h"

#include <QStringView>

#include <array>
#include <cmath>
#include <utility>

#include "core/instrument_units.h"
#include "protocol/instrument_protocol.h"
#include "text/numberpattern.h"
#include "ui_form_main.h"
#include "widgets/edit.h"
#include "widgets/radiogroup.h"
#include "widgets/speedbutton.h"

namespace {

constexpr int CurrentItem = 0;
constexpr int VoltageItem = 1;

const QString CurrentUnit = instrument::unitOf(instrument::SignalType::Current);
const QString VoltageUnit = instrument::unitOf(instrument::SignalType::Voltage);

// The input edits show more decimals for small magnitudes: the class is
// chosen by the magnitude alone, whatever the type or the instrument's range.
QStringView inputPattern(double magnitude)
{
    if (magnitude <= 0.5) return u"##0.00000";
    if (magnitude <= 2.5) return u"0.0000";
    if (magnitude <= 50.0) return u"#0.000";
    return u"##0.00";
}

constexpr QStringView OutputPattern = u"#0.000";

// Which value of the typed scale each edit holds.
using ScaleField = std::optional<double> ScaleEntry::*;
std::array<std::pair<TEdit *, ScaleField>, 4> scaleEdits(const Ui::TForm_Main &ui)
{
    return {{{ui.Edit_InputLow, &ScaleEntry::inputLow},
             {ui.Edit_InputHigh, &ScaleEntry::inputHigh},
             {ui.Edit_OutputLow, &ScaleEntry::outputLow},
             {ui.Edit_OutputHigh, &ScaleEntry::outputHigh}}};
}

// Both type groups map their selection to the same pair of unit labels.
void showUnit(const TRadioGroup *group, QLabel *low, QLabel *high)
{
    QString unit;
    switch (group->ItemIndex()) {
    case CurrentItem:
        unit = CurrentUnit;
        break;
    case VoltageItem:
        unit = VoltageUnit;
        break;
    default:
        return; // no selection: the labels keep what they show
    }
    low->setText(unit);
    high->setText(unit);
}

// Item index for a stored type code; above the known codes means voltage.
int typeItem(int code)
{
    return std::min(code - instrument::Type::Current, VoltageItem);
}

void applyDecimalSeparator(QChar &key)
{
    if (key == u',' || key == u'.') key = localeDecimalSeparator();
}

} // namespace

QString TForm_Main::InputScaleText(double value)
{
    // A stored value that is no finite number reads like text that is no
    // number: 0.
    if (!std::isfinite(value)) value = 0.0;
    return formatPattern(value, inputPattern(std::fabs(value)));
}

QString TForm_Main::OutputScaleText(double value)
{
    if (!std::isfinite(value)) value = 0.0;
    return formatPattern(value, OutputPattern);
}

// Each edit's text is parsed once, as it changes; leaving the edit shows
// that value, text that is no number as 0.
void TForm_Main::trackScaleEdits()
{
    for (const auto &[edit, field] : scaleEdits(*ui)) {
        const auto parse = [this, field = field](const QString &text) {
            m_typedScale.*field = parseLocaleNumber(text);
        };
        connect(edit, &QLineEdit::textChanged, this, parse);
        parse(edit->text());
    }
}

std::optional<double> TForm_Main::typedScaleValue(const QObject *edit) const
{
    for (const auto &[scaleEdit, field] : scaleEdits(*ui))
        if (scaleEdit == edit) return m_typedScale.*field;
    return std::nullopt;
}

void TForm_Main::Edit_InputLowExit(QObject *Sender)
{
    if (auto *edit = qobject_cast<TEdit *>(Sender))
        edit->setText(InputScaleText(typedScaleValue(edit).value_or(0.0)));
}

void TForm_Main::Edit_OutputLowExit(QObject *Sender)
{
    if (auto *edit = qobject_cast<TEdit *>(Sender))
        edit->setText(OutputScaleText(typedScaleValue(edit).value_or(0.0)));
}

// The four edits accept any character; both usual decimal marks become the
// system's, so a value typed either way reads as a number.
void TForm_Main::Edit_InputLowKeyPress(QObject *, QChar &Key)
{
    applyDecimalSeparator(Key);
}

void TForm_Main::Edit_InputHighKeyPress(QObject *, QChar &Key)
{
    applyDecimalSeparator(Key);
}

void TForm_Main::Edit_OutputLowKeyPress(QObject *, QChar &Key)
{
    applyDecimalSeparator(Key);
}

void TForm_Main::Edit_OutputHighKeyPress(QObject *, QChar &Key)
{
    applyDecimalSeparator(Key);
}

void TForm_Main::RadioGroup_BemenetTipusaClick(QObject *)
{
    showUnit(ui->RadioGroup_BemenetTipusa, ui->Label_InputLowMertekegyseg,
             ui->Label_InputHighMertekegyseg);
}

void TForm_Main::RadioGroup_KimenetTipusaClick(QObject *)
{
    showUnit(ui->RadioGroup_KimenetTipusa, ui->Label_OutputLowMertekegyseg,
             ui->Label_OutputHighMertekegyseg);
}

// Only fills the group: the instrument keeps its settings until the user
// writes these.
void TForm_Main::Button_GyariAlapSkalaClick(QObject *)
{
    ui->RadioGroup_BemenetTipusa->setItemIndex(CurrentItem);
    ui->RadioGroup_KimenetTipusa->setItemIndex(CurrentItem);
    using instrument::DefaultScaleHigh, instrument::DefaultScaleLow;
    ui->Edit_InputLow->setText(QString::number(DefaultScaleLow));
    Edit_InputLowExit(ui->Edit_InputLow);
    ui->Edit_InputHigh->setText(QString::number(DefaultScaleHigh));
    Edit_InputLowExit(ui->Edit_InputHigh);
    ui->Edit_OutputLow->setText(QString::number(DefaultScaleLow));
    Edit_OutputLowExit(ui->Edit_OutputLow);
    ui->Edit_OutputHigh->setText(QString::number(DefaultScaleHigh));
    Edit_OutputLowExit(ui->Edit_OutputHigh);
}

void TForm_Main::LoadStoredSettings(int inputType, int outputType, double inputLow,
                                    double inputHigh, double outputLow, double outputHigh)
{
    // Type codes below 100 come only from a reply that does not reach the
    // settings (nothing received yet, or cut short). Loading it would leave
    // the type groups without a selection and put zeros in the edits, and
    // the following requests would carry type 99 with no input limit; so
    // such a read changes nothing and the next reply is read instead.
    if (inputType < instrument::Type::Current || outputType < instrument::Type::Current) return;

    // A change of selection runs the groups' click handlers (unit labels).
    ui->RadioGroup_BemenetTipusa->setItemIndex(typeItem(inputType));
    ui->RadioGroup_KimenetTipusa->setItemIndex(typeItem(outputType));
    ui->Edit_InputLow->setText(InputScaleText(inputLow));
    ui->Edit_InputHigh->setText(InputScaleText(inputHigh));
    ui->Edit_OutputLow->setText(OutputScaleText(outputLow));
    ui->Edit_OutputHigh->setText(OutputScaleText(outputHigh));
    ui->SpeedButton_ReadSettings->setDown(false);
}

void TForm_Main::LoadStoredSettings()
{
    LoadStoredSettings(InputType, OutputType, StoredInputLow, StoredInputHigh, StoredOutputLow,
                       StoredOutputHigh);
}
