// Making the window's settings-file and calibration-record parts, and giving
// them the captions of the current language.
#include "app/form_calrecord.h"
#include "app/form_main.h"
#include "app/form_settingsfile.h"

void TForm_Main::createFileControls()
{
    calibrationRecords = new CalibrationRecorder(*this, FileMemory(iniFile()));
    settingsFiles = new SettingsFileActions(*this, FileMemory(iniFile()),
                                            [this] { return calibrationRecords->lastSource(); });
}

void TForm_Main::applyFileCaptions()
{
    const CaptionLanguage language = m_captions.language().value_or(kDefaultCaptionLanguage);
    if (settingsFiles) settingsFiles->applyLanguage(language);
    if (calibrationRecords) calibrationRecords->applyLanguage(language);
}
