// Making the window's settings-file and calibration-record parts and the unit
// of the connection they read, and giving them the captions of the current
// language.
#include "app/form_calrecord.h"
#include "app/form_main.h"
#include "app/form_recordparts.h"
#include "app/form_settingsfile.h"
#include "panel/mb.h"
#include "ui_form_main.h"

void TForm_Main::createFileControls()
{
    // The unit learns of each opening and each good reply before anything
    // that reads it: the calibration records, then the window's displays.
    TMB *mb1 = ui->MB1;
    connect(mb1, &TMB::OnMBPortOpenedOrClosed, &connectedUnit, [this](bool open) {
        if (open)
            connectedUnit.begin(ui->MB1->Port());
        else
            connectedUnit.end();
    });
    connect(m_exchange, &InstrumentExchange::replyDecoded, &connectedUnit,
            [this](const ExchangeReply &decoded) {
                connectedUnit.noteReply(decoded.reply, decoded.reading.time);
            });
    calibrationRecords = new CalibrationRecorder(*this, FileMemory(iniFile()));
    createRecordsParts(*this, *calibrationRecords, FileMemory(iniFile()));
    settingsFiles = new SettingsFileActions(*this, FileMemory(iniFile()));
}

void TForm_Main::applyFileCaptions()
{
    const CaptionLanguage language = m_captions.language().value_or(kDefaultCaptionLanguage);
    if (settingsFiles) settingsFiles->applyLanguage(language);
    if (calibrationRecords) calibrationRecords->applyLanguage(language);
    applyRecordsCaptions(*this, language);
}
