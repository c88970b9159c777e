// The trend page in the main window: created after the Settings page, fed by
// the exchange cycle, shown whenever the Settings page is, and speaking the
// window's language.
#include "app/form_main.h"

#include "protocol/instrument_protocol.h"
#include "trend/trend_page.h"
#include "ui_form_main.h"

namespace {

const QString &unitText(QStringView unit)
{
    // Shared texts: a reading takes them without copying characters.
    static const QString millivolt = QStringLiteral("mV"), volt = QStringLiteral("V"),
                         milliampere = QStringLiteral("mA"), celsius = QStringLiteral("°C");
    if (unit == u"mV") return millivolt;
    if (unit == u"V") return volt;
    if (unit == u"mA") return milliampere;
    return celsius;
}

// The input value's factor from the reply's base unit (V or mA) and its unit,
// per input range, as the input value display has them.
struct RangeUnit {
    double factor;
    QStringView unit;
};
constexpr RangeUnit kRangeUnits[instrument::InputRangeCount] = {
    {1000, u"mV"}, {1000, u"mV"}, {1, u"V"}, {1, u"V"}, {1, u"V"}, {1, u"V"}, {1, u"mA"},
};

} // namespace

// The values the window shows for the last decoded reply, in their units:
// what the display reads "Uncalibrated!", "--.-" or "????" for has no value.
TrendReading TForm_Main::trendReading() const
{
    using namespace instrument;
    TrendReading reading;
    reading.msecsSinceEpoch = TabSheet_Trend->clock();
    if (!(StatusBits & Status::InputNotCalibrated) && InputRange < InputRangeCount) {
        const RangeUnit &range = kRangeUnits[InputRange];
        reading.input = {InputValue * range.factor, unitText(range.unit), InputRange};
    }
    if (!(StatusBits & Status::OutputNotCalibrated) &&
        (OutputType == Type::Current || OutputType == Type::Voltage))
        reading.output = {StoredOutputLow + (StoredOutputHigh - StoredOutputLow) * OutputRatio,
                          unitText(OutputType == Type::Current ? u"mA" : u"V"), OutputType};
    // -200 and below is the instrument's "no sensor reading".
    if (Temperature > -200.0) reading.temperature = {Temperature, unitText(u"°C"), 0};
    return reading;
}

void TForm_Main::createTrendPage()
{
    TabSheet_Trend = new TrendPage; // the page control owns it from here
    const int settings = ui->PageControl1->indexOf(ui->TabSheet_Uzemmod);
    ui->PageControl1->insertTab(settings + 1, TabSheet_Trend, TabSheet_Trend->texts().page);
    // The trend watches the instrument at work: its output follows the
    // input, not a value forced by a calibration page left behind.
    connect(ui->PageControl1, &TPageControl::OnChange, this, [this] {
        if (ui->PageControl1->ActivePage() == TabSheet_Trend) PWMForce = 0;
    });
}

void TForm_Main::trendExchangeEnded(TMBStatus MBStatus)
{
    if (MBStatus == TMBStatus::stOK)
        TabSheet_Trend->addReading(trendReading());
    else
        TabSheet_Trend->exchangeFailed();
}

void TForm_Main::trendApplyView()
{
    ui->PageControl1->setTabVisible(TabSheet_Trend,
                                    ui->PageControl1->isTabVisible(ui->TabSheet_Uzemmod));
}

void TForm_Main::trendApplyLanguage()
{
    const TrendLanguage language = m_captions.language() == CaptionLanguage::Hungarian
                                       ? TrendLanguage::Hungarian
                                       : TrendLanguage::English;
    TabSheet_Trend->setLanguage(language);
    ui->PageControl1->setTabText(ui->PageControl1->indexOf(TabSheet_Trend),
                                 TabSheet_Trend->texts().page);
}
