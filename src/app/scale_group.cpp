// The Settings page's scale group: what may be typed, how a value is shown
// once its edit is left, the unit labels, the factory default scale and the
// instrument's stored scale.
#include "app/scale_group.h"

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

} // namespace

QString inputScaleText(double value)
{
    // A stored value that is no finite number reads like text that is no
    // number: 0.
    if (!std::isfinite(value)) value = 0.0;
    return formatPattern(value, inputPattern(std::fabs(value)));
}

QString outputScaleText(double value)
{
    if (!std::isfinite(value)) value = 0.0;
    return formatPattern(value, OutputPattern);
}

ScaleGroup::ScaleGroup(Ui::TForm_Main &ui, QObject *parent) : QObject(parent), m_ui(ui)
{
    // Each edit's text is parsed once, as it changes.
    for (const auto &[edit, field] : scaleEdits(m_ui)) {
        const auto parse = [this, field = field](const QString &text) {
            m_typed.*field = parseLocaleNumber(text);
        };
        connect(edit, &QLineEdit::textChanged, this, parse);
        parse(edit->text());
    }
}

ScaleEntry ScaleGroup::entry() const
{
    ScaleEntry entry = m_typed;
    entry.inputTypeItem = m_ui.RadioGroup_BemenetTipusa->ItemIndex();
    entry.outputTypeItem = m_ui.RadioGroup_KimenetTipusa->ItemIndex();
    return entry;
}

std::optional<double> ScaleGroup::typedValue(const QObject *edit) const
{
    for (const auto &[scaleEdit, field] : scaleEdits(m_ui))
        if (scaleEdit == edit) return m_typed.*field;
    return std::nullopt;
}

void ScaleGroup::leaveEdit(QObject *edit, bool input)
{
    auto *scaleEdit = qobject_cast<TEdit *>(edit);
    if (!scaleEdit) return;
    const double value = typedValue(scaleEdit).value_or(0.0);
    scaleEdit->setText(input ? inputScaleText(value) : outputScaleText(value));
}

void ScaleGroup::acceptKey(QChar &key)
{
    if (key == u',' || key == u'.') key = localeDecimalSeparator();
}

void ScaleGroup::showUnits(bool input)
{
    if (input)
        showUnit(m_ui.RadioGroup_BemenetTipusa, m_ui.Label_InputLowMertekegyseg,
                 m_ui.Label_InputHighMertekegyseg);
    else
        showUnit(m_ui.RadioGroup_KimenetTipusa, m_ui.Label_OutputLowMertekegyseg,
                 m_ui.Label_OutputHighMertekegyseg);
}

// Only fills the group: the instrument keeps its settings until the user
// writes these.
void ScaleGroup::loadFactoryDefaults()
{
    m_ui.RadioGroup_BemenetTipusa->setItemIndex(CurrentItem);
    m_ui.RadioGroup_KimenetTipusa->setItemIndex(CurrentItem);
    using instrument::DefaultScaleHigh, instrument::DefaultScaleLow;
    for (const auto &[edit, field] : scaleEdits(m_ui)) {
        const bool low = field == &ScaleEntry::inputLow || field == &ScaleEntry::outputLow;
        edit->setText(QString::number(low ? DefaultScaleLow : DefaultScaleHigh));
        leaveEdit(edit, field == &ScaleEntry::inputLow || field == &ScaleEntry::inputHigh);
    }
}

bool ScaleGroup::loadStored(int inputType, int outputType, double inputLow, double inputHigh,
                            double outputLow, double outputHigh)
{
    // Type codes below 100 come only from a reply that does not reach the
    // settings (nothing received yet, or cut short). Loading it would leave
    // the type groups without a selection and put zeros in the edits, and
    // the following requests would carry type 99 with no input limit; so
    // such a read changes nothing and the next reply is read instead.
    if (inputType < instrument::Type::Current || outputType < instrument::Type::Current)
        return false;

    // A change of selection runs the groups' click handlers (unit labels).
    m_ui.RadioGroup_BemenetTipusa->setItemIndex(typeItem(inputType));
    m_ui.RadioGroup_KimenetTipusa->setItemIndex(typeItem(outputType));
    m_ui.Edit_InputLow->setText(inputScaleText(inputLow));
    m_ui.Edit_InputHigh->setText(inputScaleText(inputHigh));
    m_ui.Edit_OutputLow->setText(outputScaleText(outputLow));
    m_ui.Edit_OutputHigh->setText(outputScaleText(outputHigh));
    return true;
}
