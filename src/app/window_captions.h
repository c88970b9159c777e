// Writes a caption set into the main window's controls, whatever kind of
// control carries each caption, and makes Qt's own texts (message boxes,
// file dialogs) follow the window's language.
#pragma once

#include "ui/captions.h"

#include <QTranslator>

#include <memory>

class QWidget;
namespace Ui {
class TForm_Main;
}

class WindowCaptions {
public:
    WindowCaptions(QWidget &window, Ui::TForm_Main &ui);
    ~WindowCaptions();

    // The captions first ... last of the store, into every control each names.
    void write(const CaptionStore &captions, Caption first, Caption last);
    // The type selectors' items; the user's choice of signal type stays.
    void writeSignalTypeItems(const CaptionStore &captions);
    // Qt's translation for the language, installed while the window speaks it.
    void applyQtTranslation(CaptionLanguage language);

private:
    QWidget &m_window;
    Ui::TForm_Main &m_ui;
    // Qt's own Hungarian texts, installed while the window speaks Hungarian.
    std::unique_ptr<QTranslator> m_qtTranslator;
};
