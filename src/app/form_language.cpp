// The caption languages: the language routine that writes one caption set
// into the window, and the two language buttons.
#include "app/form_main.h"

#include "ui/formextras.h"
#include "ui_form_main.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// Writes a caption into a control of whatever kind carries it: a label's
// text, a frame's (or radio group's) title, a button's caption or a page's tab.
void setCaption(TPageControl &pages, QWidget *control, const QString &text)
{
    if (auto *label = qobject_cast<QLabel *>(control))
        label->setText(text);
    else if (auto *frame = qobject_cast<QGroupBox *>(control))
        frame->setTitle(text);
    else if (auto *button = qobject_cast<QAbstractButton *>(control))
        button->setText(text);
    else if (const int tab = pages.indexOf(control); tab >= 0)
        pages.setTabText(tab, text);
}

} // namespace

void TForm_Main::writeCaptions(Caption first, Caption last)
{
    for (int slot = int(first); slot <= int(last); ++slot) {
        const auto caption = static_cast<Caption>(slot);
        for (const QString &name : captionTargets(caption))
            setCaption(*ui->PageControl1, findChild<QWidget *>(name), m_captions.text(caption));
    }
}

void TForm_Main::applyQtTranslation(CaptionLanguage language)
{
    // Qt's own texts (the buttons of message boxes and dialogs, the file
    // dialog) follow the window's language, from Qt's translations.
    if (language == CaptionLanguage::English) {
        m_qtTranslator.reset(); // a translator removes itself as it goes
        return;
    }
    if (m_qtTranslator) return;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QStringLiteral("qtbase_hu"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return; // Qt's texts stay English; the window's own are Hungarian regardless
    QCoreApplication::installTranslator(translator.get());
    m_qtTranslator = std::move(translator);
}

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
    applyQtTranslation(choice.language);

    writeCaptions(Caption::ErrorCode, Caption::Restart);
    ApplyAccessView();
    writeCaptions(Caption::Settings, Caption::WriteSettings);
    trendApplyLanguage();
    applyFileCaptions();

    // The items change language; the user's choice of signal type stays.
    for (TRadioGroup *group : {ui->RadioGroup_BemenetTipusa, ui->RadioGroup_KimenetTipusa}) {
        const int chosen = group->ItemIndex();
        group->setItems(m_captions.signalTypeItems());
        group->setItemIndex(chosen);
    }

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
