// Saving the settings group to a settings file and loading it from one.
#include "app/form_settingsfile.h"

#include "app/form_main.h"
#include "app/scale_group.h"
#include "core/number_text.h"
#include "core/reason_text.h"
#include "text/numberpattern.h"
#include "ui_form_main.h"

#include <QDir>
#include <QFileInfo>
#include <QPushButton>

namespace {

using instrument::SignalType;

// In the free space between "View the factory defaults" (448, 72, 209 x 25)
// and "Write settings to instrument" (448, 184): two more buttons of the same
// size, the gaps above, between and below them even.
const QRect SaveButtonPlace(448, 109, 209, 25);
const QRect LoadButtonPlace(448, 147, 209, 25);
// In the group's title line, over the column of its buttons.
const QRect EditedNotePlace(232, 0, 425, 14);

// A value as the edit shows it once it is left: the shown pattern rounds it.
double valueAsShown(double value, bool input)
{
    const QString shown = input ? inputScaleText(value) : outputScaleText(value);
    return parseLocaleNumber(shown).value_or(value);
}

int typeItem(SignalType type)
{
    return type == SignalType::Current ? 0 : 1;
}

} // namespace

SettingsFileActions::SettingsFileActions(TForm_Main &window, FileMemory memory)
    : QObject(&window), m_window(window), m_memory(std::move(memory))
{
    QGroupBox *group = m_window.ui->GroupBox_Settings;
    m_save = new QPushButton(group);
    m_save->setObjectName(QStringLiteral("Button_SaveSettingsToFile"));
    m_save->setGeometry(SaveButtonPlace);
    m_load = new QPushButton(group);
    m_load->setObjectName(QStringLiteral("Button_LoadSettingsFromFile"));
    m_load->setGeometry(LoadButtonPlace);
    // In the tab order where they stand: after the factory defaults.
    QWidget::setTabOrder(m_window.ui->Button_GyariAlapSkala, m_save);
    QWidget::setTabOrder(m_save, m_load);
    connect(m_save, &QPushButton::clicked, this, [this] { save(); });
    connect(m_load, &QPushButton::clicked, this, [this] { load(); });

    m_edited = new QLabel(group);
    m_edited->setObjectName(QStringLiteral("Label_SettingsEdited"));
    m_edited->setGeometry(EditedNotePlace);
    m_edited->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont bold = m_edited->font();
    bold.setBold(true);
    m_edited->setFont(bold);
    QPalette colours = m_edited->palette();
    colours.setColor(QPalette::WindowText, QColor(0xb0, 0x40, 0x00));
    m_edited->setPalette(colours);
    m_edited->hide();
    // The note follows the group's contents and what the instrument holds.
    const auto follow = [this] { showEditedNote(); };
    const Ui::TForm_Main &ui = *m_window.ui;
    for (TEdit *edit : {ui.Edit_InputLow, ui.Edit_InputHigh, ui.Edit_OutputLow, ui.Edit_OutputHigh})
        connect(edit, &QLineEdit::textChanged, this, follow);
    for (TRadioGroup *group : {ui.RadioGroup_BemenetTipusa, ui.RadioGroup_KimenetTipusa})
        connect(group, &TRadioGroup::OnClick, this, follow);
    connect(&m_window.connectedUnit, &ConnectedUnit::heldSettingsChanged, this, follow);
}

bool SettingsFileActions::showsInstrumentSettings() const
{
    const std::optional<InstrumentSettings> &held = m_window.connectedUnit.heldSettings();
    QString reason;
    const std::optional<InstrumentSettings> shown = shownSettings(reason);
    if (!held || !shown) return false;
    // Compared as the edits show them: a read shows the instrument's values
    // in the same patterns.
    const auto sameScale = [](const ScaleSetting &a, const ScaleSetting &b, bool input) {
        const auto shown = input ? inputScaleText : outputScaleText;
        return a.type == b.type && shown(a.low) == shown(b.low) && shown(a.high) == shown(b.high);
    };
    return sameScale(shown->input, held->input, true) &&
           sameScale(shown->output, held->output, false);
}

void SettingsFileActions::showEditedNote()
{
    if (!m_edited) return;
    m_edited->setVisible(m_window.connectedUnit.heldSettings() && !showsInstrumentSettings());
}

void SettingsFileActions::applyLanguage(CaptionLanguage language)
{
    m_language = language;
    if (m_save) m_save->setText(text(FileCaption::SaveToFile));
    if (m_load) m_load->setText(text(FileCaption::LoadFromFile));
    if (m_edited) m_edited->setText(text(FileCaption::SettingsEdited));
}

QString SettingsFileActions::title(FileCaption button) const
{
    QString caption = text(button);
    caption.remove(QChar(0x2026)); // the dialog is what the ellipsis promised
    return caption;
}

QString SettingsFileActions::startFolder() const
{
    const QString folder = m_memory.value(FileMemory::SettingsFolderKey);
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

void SettingsFileActions::rememberFolder(const QString &file)
{
    // A failure to remember costs the user a click next time, nothing more.
    m_memory.setValue(FileMemory::SettingsFolderKey, QFileInfo(file).absolutePath());
}

std::optional<InstrumentSettings> SettingsFileActions::shownSettings(QString &reason) const
{
    // The values as a request carries them: text that is no number is the
    // default, an input value beyond its limit is the limit.
    const ScaleEntry entry = m_window.scaleEntry();
    const int inputItem = entry.inputTypeItem;
    const int outputItem = entry.outputTypeItem;
    for (const auto &[item, word] : {std::pair(inputItem, FileCaption::InputWord),
                                     std::pair(outputItem, FileCaption::OutputWord)}) {
        if (item < 0 || item > 1) {
            reason = text(FileCaption::NoTypeSelected).arg(text(word));
            return std::nullopt;
        }
    }
    InstrumentSettings settings;
    settings.input.type = inputItem == 0 ? SignalType::Current : SignalType::Voltage;
    settings.output.type = outputItem == 0 ? SignalType::Current : SignalType::Voltage;
    const ScaleValues values = requestScaleValues(entry);
    settings.input.low = valueAsShown(values.inputLow, true);
    settings.input.high = valueAsShown(values.inputHigh, true);
    settings.output.low = valueAsShown(values.outputLow, false);
    settings.output.high = valueAsShown(values.outputHigh, false);
    const QList<SettingsProblem> problems = settings.problems();
    if (!problems.isEmpty()) {
        reason = problems.first().text(textLanguage(m_language));
        return std::nullopt;
    }
    return settings;
}

void SettingsFileActions::fill(const InstrumentSettings &settings)
{
    Ui::TForm_Main &ui = *m_window.ui;
    // Neither latch may act on what was loaded: a pending read would replace
    // it with the instrument's settings at the next reply, a pending write
    // would store it without the user asking. Writing it is the user's step.
    ui.SpeedButton_ReadSettings->setDown(false);
    ui.SpeedButton_WriteSettings->setDown(false);
    // A change of selection runs the groups' click handlers (unit labels).
    ui.RadioGroup_BemenetTipusa->setItemIndex(typeItem(settings.input.type));
    ui.RadioGroup_KimenetTipusa->setItemIndex(typeItem(settings.output.type));
    const QChar mark = localeDecimalSeparator();
    const auto type = [&](TEdit *edit, double value, bool input) {
        edit->setText(singlePrecisionText(value, mark));
        if (input)
            m_window.Edit_InputLowExit(edit);
        else
            m_window.Edit_OutputLowExit(edit);
    };
    type(ui.Edit_InputLow, settings.input.low, true);
    type(ui.Edit_InputHigh, settings.input.high, true);
    type(ui.Edit_OutputLow, settings.output.low, false);
    type(ui.Edit_OutputHigh, settings.output.high, false);
}

bool SettingsFileActions::save()
{
    // Checked before asking for a name: a setting that cannot be saved
    // should not cost the user a trip through the dialog first.
    QString reason;
    if (!shownSettings(reason)) {
        showMessage(&m_window, title(FileCaption::SaveToFile),
                    text(FileCaption::CannotSaveShown).arg(reason));
        return false;
    }
    FileQuestion question;
    question.mode = FileQuestion::Mode::Save;
    question.title = title(FileCaption::SaveToFile);
    question.startPath =
        QDir(startFolder())
            .filePath(QStringLiteral("settings") + QLatin1String(SettingsFileSuffix));
    question.filters = {text(FileCaption::SettingsFilter), text(FileCaption::AllFilesFilter)};
    QString path = askFileName(&m_window, question);
    if (path.isEmpty()) return false;
    // A name typed without any extension gets the settings files' own.
    if (QFileInfo(path).suffix().isEmpty()) path += QLatin1String(SettingsFileSuffix);
    return saveTo(path);
}

bool SettingsFileActions::saveTo(const QString &path)
{
    const QString shownPath = QDir::toNativeSeparators(path);
    QString reason;
    const std::optional<InstrumentSettings> settings = shownSettings(reason);
    if (!settings) {
        showMessage(&m_window, title(FileCaption::SaveToFile),
                    text(FileCaption::CannotSaveShown).arg(reason));
        return false;
    }
    // Never replace a device or a folder with a file.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        showMessage(&m_window, title(FileCaption::SaveToFile),
                    text(FileCaption::NotSaved)
                        .arg(shownPath, text(FileCaption::NotARegularFile).arg(shownPath)));
        return false;
    }
    // The file names the instrument only for what the instrument holds, in
    // its own values; anything else is marked as edited.
    SettingsDocument document;
    if (showsInstrumentSettings()) {
        document.settings = *m_window.connectedUnit.heldSettings();
        document.source = m_window.connectedUnit.lastHeard();
    } else {
        document.settings = *settings;
        document.edited = QDateTime::currentDateTime();
    }
    QString error;
    if (!writeSettingsFile(path, document, error, textLanguage(m_language))) {
        showMessage(&m_window, title(FileCaption::SaveToFile),
                    text(FileCaption::NotSaved)
                        .arg(shownPath, reasonText(error, textLanguage(m_language))));
        return false;
    }
    rememberFolder(path);
    return true;
}

bool SettingsFileActions::load()
{
    FileQuestion question;
    question.mode = FileQuestion::Mode::Open;
    question.title = title(FileCaption::LoadFromFile);
    question.startPath = startFolder();
    question.filters = {text(FileCaption::SettingsFilter), text(FileCaption::AllFilesFilter)};
    const QString path = askFileName(&m_window, question);
    return !path.isEmpty() && loadFrom(path);
}

bool SettingsFileActions::loadFrom(const QString &path)
{
    const QString shownPath = QDir::toNativeSeparators(path);
    // A FIFO or a device would block the window or never end.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        showMessage(&m_window, title(FileCaption::LoadFromFile),
                    text(FileCaption::NotLoaded)
                        .arg(shownPath, text(FileCaption::NotARegularFile).arg(shownPath)));
        return false;
    }
    const SettingsFileRead read = readSettingsFile(path);
    if (!read.ok()) {
        SettingsFileError error = read.error;
        error.detail = reasonText(error.detail, textLanguage(m_language)); // the system's words
        showMessage(
            &m_window, title(FileCaption::LoadFromFile),
            text(FileCaption::NotLoaded).arg(shownPath, error.text(textLanguage(m_language))));
        return false;
    }
    fill(read.document->settings);
    rememberFolder(path);
    return true;
}
