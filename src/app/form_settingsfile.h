// Settings files in the window: "Save to file…" writes what the settings
// group shows as a settings file, "Load from file…" fills the group from one
// as if the user had typed it. Nothing reaches the instrument until the user
// presses "Write settings to instrument"; a file that fails its check
// changes nothing and says why in one message.
#pragma once

#include "app/file_memory.h"
#include "app/window_dialogs.h"
#include "core/settings_file.h"
#include "ui/captions.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

#include <QPushButton>
class TForm_Main;

class SettingsFileActions : public QObject {
    Q_OBJECT
public:
    // Where and when the instrument was last heard from; nothing before a reply.
    using SourceOfSettings = std::function<std::optional<SettingsSource>()>;

    SettingsFileActions(TForm_Main &window, FileMemory memory, SourceOfSettings source);

    // Questions to the user; tests answer them without dialogs.
    AskFileName askFileName = askFileNameWithDialog;
    ShowMessage showMessage = showWarningBox;

    QPushButton *saveButton() const { return m_save; }
    QPushButton *loadButton() const { return m_load; }
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

private:
    QString text(FileCaption caption) const { return fileCaptionText(m_language, caption); }
    QString title(FileCaption button) const;
    QString startFolder() const;
    void rememberFolder(const QString &file);

    TForm_Main &m_window;
    FileMemory m_memory;
    SourceOfSettings m_source;
    CaptionLanguage m_language = kDefaultCaptionLanguage;
    QPointer<QPushButton> m_save;
    QPointer<QPushButton> m_load;
};
