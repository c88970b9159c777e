// The caption languages: the language routine that writes one caption set
// into the window, and the two language buttons.
#include "app/form_main.h"
#include "app/window_captions.h"

#include "ui/formextras.h"
#include "ui_form_main.h"

void TForm_Main::ApplyLanguage(const QString &languageName)
{
    // A name that selects no set (a hand-edited file) gets the default set,
    // and that set's name is what the file gets back at close.
    const LanguageChoice choice = chooseLanguage(languageName);
    m_languageName = choice.name;
    if (choice.language == CaptionLanguage::English)
        ui->SpeedButton_Angol->setDown(true);
    else
        ui->SpeedButton_Magyar->setDown(true);
    m_captions.fill(choice.language);
    m_windowCaptions->applyQtTranslation(choice.language);

    m_windowCaptions->write(m_captions, Caption::ErrorCode, Caption::Restart);
    ApplyAccessView();
    m_windowCaptions->write(m_captions, Caption::Settings, Caption::WriteSettings);
    trendApplyLanguage();
    applyFileCaptions();
    m_windowCaptions->writeSignalTypeItems(m_captions);

    fitAutoSizeLabels(this);
    UpdateWindowCaption();
    emit iniSettingsChanged();
}

void TForm_Main::SpeedButton_AngolClick(QObject *Sender)
{
    // Both language buttons land here; a click that leaves the button up
    // changes nothing.
    const auto *button = qobject_cast<const TSpeedButton *>(Sender);
    if (button && button->Down()) ApplyLanguage(button->text());
}
