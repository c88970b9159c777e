// Settings files in the window: "Save to file…" writes what the settings
// group shows as a settings file, "Load from file…" fills the group from one
// as if the user had typed it. Nothing reaches the instrument until the user
// presses "Write settings to instrument"; a file that fails its check
// changes nothing and says why in one message.
//
// A file names the instrument as its source only when the group shows what
// the instrument of this connection holds; settings typed or loaded and not
// yet written are saved as edited. While the group differs from what the
// instrument holds, a note on the group says so.
#pragma once

#include "app/file_memory.h"
#include "app/window_dialogs.h"
#include "core/settings_file.h"
#include "ui/captions.h"

#include <QObject>
#include <QPointer>

#include <optional>

#include <QLabel>
#include <QPushButton>
class TForm_Main;

// The language of the texts the instrument core writes, for a caption set.
inline TextLanguage textLanguage(CaptionLanguage language)
{
    return language == CaptionLanguage::English ? TextLanguage::English : TextLanguage::Hungarian;
}

class SettingsFileActions : public QObject {
    Q_OBJECT
public:
    SettingsFileActions(TForm_Main &window, FileMemory memory);

    // Questions to the user; tests answer them without dialogs.
    AskFileName askFileName = askFileNameWithDialog;
    ShowMessage showMessage = showWarningBox;

    QPushButton *saveButton() const { return m_save; }
    QPushButton *loadButton() const { return m_load; }
    // The note that the group's settings are not the instrument's.
    QLabel *editedNote() const { return m_edited; }
    void applyLanguage(CaptionLanguage language);

    // The buttons: ask for a file, then save or load. False when nothing was
    // written or loaded (cancelled, or a failure the user has been told of).
    bool save();
    bool load();
    bool saveTo(const QString &path);
    bool loadFrom(const QString &path);

    // What the group shows, after the reformatting of a left edit and the
    // input limits of a request: what "Write settings to instrument" would
    // store. Nothing, with the reason, when that is no valid setting.
    std::optional<InstrumentSettings> shownSettings(QString &reason) const;
    // Fills the group as if the user had typed the values and left each edit.
    void fill(const InstrumentSettings &settings);
    // Whether the group shows what the instrument of this connection
    // reported holding in its latest reply, as a read would show it.
    bool showsInstrumentSettings() const;

private:
    QString text(FileCaption caption) const { return fileCaptionText(m_language, caption); }
    QString title(FileCaption button) const;
    QString startFolder() const;
    void rememberFolder(const QString &file);
    void showEditedNote();

    TForm_Main &m_window;
    FileMemory m_memory;
    CaptionLanguage m_language = kDefaultCaptionLanguage;
    QPointer<QPushButton> m_save;
    QPointer<QPushButton> m_load;
    QPointer<QLabel> m_edited;
};
