// The Verification page in the main window: created after the Output Check
// page, shown in both views (a field check needs no factory-level view), fed
// with every decoded reply, told of every calibration the instrument
// acknowledges, and speaking the window's language. Also the check of both
// wizards' store buttons: values a working unit would not give are stored
// only once the technician has read why and confirmed.
#include "app/form_calrecord.h"
#include "app/form_main.h"
#include "app/form_verify.h"
#include "core/calibration_plausibility.h"
#include "ui_form_main.h"
#include "widgets/pagecontrol.h"
#include "widgets/speedbutton.h"

void TForm_Main::createVerificationPage()
{
    askStoreAnyway = askYesNoWithDialog;
    // The window's records (made with its file controls), shared with the
    // calibration recorder and the Records dialog: one thread, one order.
    TabSheet_Verification =
        new VerificationPage(connectedUnit, iniFile(), findChild<WindowRecords *>());
    const int check = ui->PageControl1->indexOf(ui->TabSheet_KimenetEllenorzes);
    ui->PageControl1->insertTab(check + 1, TabSheet_Verification, QString());
    // The output follows the input while the unit is verified.
    connect(ui->PageControl1, &TPageControl::OnChange, this, [this] {
        if (ui->PageControl1->ActivePage() == TabSheet_Verification) PWMForce = 0;
    });
    connect(m_exchange, &InstrumentExchange::replyShown, TabSheet_Verification,
            [this](const ExchangeReply &decoded) {
                TabSheet_Verification->addReading(decoded.reading);
            });
    connect(calibrationRecords, &CalibrationRecorder::recordFinished, TabSheet_Verification,
            [this](CalibrationKind kind) {
                if (const auto &record = calibrationRecords->record(kind))
                    TabSheet_Verification->calibrationStored(*record);
            });

    const std::pair<TSpeedButton *, bool> stores[] = {
        {ui->SpeedButton_ADCalBeiras, false}, {ui->SpeedButton_WriteOutputCalibrationToKX, true}};
    for (const auto &[button, output] : stores)
        connect(button, &TSpeedButton::OnClick, this, [this, button = button, output = output] {
            confirmCalibrationStore(button, output);
        });
}

void TForm_Main::verificationApplyLanguage()
{
    const CaptionLanguage language = m_captions.language().value_or(kDefaultCaptionLanguage);
    TabSheet_Verification->setLanguage(language);
    ui->PageControl1->setTabText(ui->PageControl1->indexOf(TabSheet_Verification),
                                 verifyCaptionText(language, VerifyCaption::Page));
}

void TForm_Main::confirmCalibrationStore(TSpeedButton *button, bool output)
{
    if (!button->Down()) return; // withdrawn: nothing to check
    const RequestState state = requestState();
    const std::vector<CalibrationDoubt> doubts =
        output ? outputCalibrationDoubts(state) : inputCalibrationDoubts(state);
    if (doubts.empty()) return;
    // Up while the question is open: the exchange goes on meanwhile, and
    // no request may carry the store before the answer.
    button->setDown(false);
    const CaptionLanguage language = TabSheet_Verification->language();
    const TextLanguage textLanguage =
        language == CaptionLanguage::Hungarian ? TextLanguage::Hungarian : TextLanguage::English;
    if (askStoreAnyway(this, verifyCaptionText(language, VerifyCaption::StoreDoubtTitle),
                       verifyCaptionText(language, VerifyCaption::StoreDoubtText)
                           .arg(doubtsText(doubts, textLanguage))))
        button->setDown(true);
}
