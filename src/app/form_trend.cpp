// The trend page in the main window: created after the Settings page, fed by
// the exchange cycle (the plot and the readings log), shown whenever the
// Settings page is, and speaking the window's language.
#include "app/form_main.h"

#include "app/form_verify.h"
#include "core/decoded_reading.h"
#include "trend/trend_page.h"
#include "ui_form_main.h"

void TForm_Main::createTrendPage()
{
    TabSheet_Trend = new TrendPage; // the page control owns it from here
    const int settings = ui->PageControl1->indexOf(ui->TabSheet_Uzemmod);
    ui->PageControl1->insertTab(settings + 1, TabSheet_Trend, TabSheet_Trend->texts().page);
    TabSheet_Trend->stopRecordingWhenClosed(this);
    // The span chosen last is kept in a section of its own after the
    // window's three.
    const QString section = QStringLiteral("Trend");
    const QString key = QStringLiteral("SpanMinutes");
    TabSheet_Trend->setSpanMinutes(iniFile().value(section, key).toInt());
    connect(TabSheet_Trend, &TrendPage::spanChanged, this, [this, section, key](int minutes) {
        iniFile().setValue(section, key, QString::number(minutes)); // a failure costs a click
    });
    // Every end of an exchange: a decoded reply is plotted and logged, a
    // failure is a gap.
    connect(m_exchange, &InstrumentExchange::replyShown, TabSheet_Trend,
            [this](const ExchangeReply &decoded) {
                DecodedReading reading = decoded.reading;
                reading.time = QDateTime::fromMSecsSinceEpoch(TabSheet_Trend->clock());
                TabSheet_Trend->addReading(reading);
            });
    connect(m_exchange, &InstrumentExchange::failureShown, TabSheet_Trend,
            [this] { TabSheet_Trend->exchangeFailed(); });
}

void TForm_Main::trendApplyView()
{
    ui->PageControl1->setTabVisible(TabSheet_Trend,
                                    ui->PageControl1->isTabVisible(ui->TabSheet_Uzemmod));
    // A field check (as found alone) is done in either view.
    if (TabSheet_Verification)
        ui->PageControl1->setTabVisible(TabSheet_Verification,
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
    if (TabSheet_Verification) verificationApplyLanguage();
}
