// Writing a caption set into the main window and Qt's own translation.
#include "app/window_captions.h"

#include "ui_form_main.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>

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

WindowCaptions::WindowCaptions(QWidget &window, Ui::TForm_Main &ui) : m_window(window), m_ui(ui) {}

WindowCaptions::~WindowCaptions() = default;

void WindowCaptions::write(const CaptionStore &captions, Caption first, Caption last)
{
    for (int slot = int(first); slot <= int(last); ++slot) {
        const auto caption = static_cast<Caption>(slot);
        for (const QString &name : captionTargets(caption))
            setCaption(*m_ui.PageControl1, m_window.findChild<QWidget *>(name),
                       captions.text(caption));
    }
}

void WindowCaptions::writeSignalTypeItems(const CaptionStore &captions)
{
    for (TRadioGroup *group : {m_ui.RadioGroup_BemenetTipusa, m_ui.RadioGroup_KimenetTipusa}) {
        const int chosen = group->ItemIndex();
        group->setItems(captions.signalTypeItems());
        group->setItemIndex(chosen);
    }
}

void WindowCaptions::applyQtTranslation(CaptionLanguage language)
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
