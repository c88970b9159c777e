// The window's texts in its two languages: the 39-text caption store, the
// language names kept in the initialisation file, and the choice of set from
// such a name. Plain data, no widgets: the language routine of the main window
// writes these texts into its controls.
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

enum class CaptionLanguage { English, Hungarian };

// The texts in store order (1 to 39), named after their role; the comment
// names the controls each one is written into.
enum class Caption : int {
    ErrorCode = 1,            // GroupBox1
    FramError = 2,            // Label_EEPROMHiba
    AdcError = 3,             // Label_ADError
    UncalibratedInput = 4,    // Label_ADNincsKalibralva
    UncalibratedOutput = 5,   // Label_KimenetNincsKalibralva
    InputRangeError = 6,      // Label_ADOverflow
    OutputRangeError = 7,     // Label_OutputRangeError
    CurrentMeasuringAdc = 8,  // Label30
    Raw = 9,                  // Label1, Label10
    Average = 10,             // Label24, Label40
    VoltageMeasuringAdc = 11, // Label33
    Firmware = 12,            // Label7
    LastCalibration = 13,     // Label9
    Temperature = 14,         // GroupBox9
    WorkingTime = 15,         // Label5
    Restart = 16,             // SpeedButton_Reset
    ModelPrefix = 17,         // model prefix: start of Label_KeszulekAltipus
    Settings = 18,            // TabSheet_Uzemmod, GroupBox_Settings
    Scale = 19,               // Label6
    InputConnectors = 20,     // GroupBox11
    OutputConnectors = 21,    // GroupBox10
    InputRange = 22,          // GroupBox_Input
    OutputRange = 23,         // GroupBox_Output
    InputValue = 24,          // GroupBox2
    OutputValue = 25,         // GroupBox3
    Input = 26,               // GroupBox6
    Output = 27,              // GroupBox7
    InputSignal = 28,         // RadioGroup_BemenetTipusa
    OutputSignal = 29,        // RadioGroup_KimenetTipusa
    InitialValue = 30,        // Label4, Label15
    EndValue = 31,            // Label11, Label32
    ReadSettings = 32,        // SpeedButton_ReadSettings
    FactoryDefaults = 33,     // Button_GyariAlapSkala
    WriteSettings = 34,       // SpeedButton_WriteSettings
    HoursWord = 35,           // hours word of the working-time display
    MinutesWord = 36,         // minutes word of the working-time display
    CurrentItem = 37,         // item 0 of both signal-type radio groups
    VoltageItem = 38,         // item 1 of both signal-type radio groups
    ProgramTitle = 39,        // program title: start of the window caption
};

inline constexpr int kCaptionCount = 39;

// The text of one slot in one set, exactly as the window shows it.
QString captionText(CaptionLanguage language, Caption caption);

// The object names of the controls whose caption is this text (the labels,
// frames, buttons, tab and radio-group captions). Empty for the texts that
// other code composes: model prefix, hours and minutes words, the two radio
// group items and the program title.
QStringList captionTargets(Caption caption);

// The language names as the initialisation file holds them: "english", "magyar".
QString languageName(CaptionLanguage language);

// The language a name selects, without regard to letter case or surrounding
// blanks; nothing for a name that is neither word.
std::optional<CaptionLanguage> languageFromName(const QString &name);

// The set shown when the stored name selects none: Hungarian, as for a first
// start without an initialisation file.
inline constexpr CaptionLanguage kDefaultCaptionLanguage = CaptionLanguage::Hungarian;

// What the language routine settles on for a requested name. An unknown name
// shows the default set, and the current language name becomes that set's
// name, so the file gets a name it understands back at close.
struct LanguageChoice {
    CaptionLanguage language = kDefaultCaptionLanguage;
    QString name;            // the current language name from now on, lower case
    bool recognised = false; // false: the requested name selected no set
};
LanguageChoice chooseLanguage(const QString &requestedName);

// The 39 texts the window currently uses: empty until the first fill, then
// one complete set; a fill replaces every slot.
class CaptionStore {
public:
    void fill(CaptionLanguage language);

    bool isFilled() const { return m_language.has_value(); }
    std::optional<CaptionLanguage> language() const { return m_language; }

    const QString &text(Caption caption) const;

    // Composed pieces read by other parts of the window.
    const QString &modelPrefix() const { return text(Caption::ModelPrefix); }
    const QString &programTitle() const { return text(Caption::ProgramTitle); }
    const QString &hoursWord() const { return text(Caption::HoursWord); }
    const QString &minutesWord() const { return text(Caption::MinutesWord); }
    // Items 0 and 1 of both signal-type radio groups.
    QStringList signalTypeItems() const;

private:
    std::array<QString, kCaptionCount> m_texts;
    std::optional<CaptionLanguage> m_language;
};

// Texts of the settings-file and calibration-report controls and of their
// dialogs and messages, in both languages. They follow the caption language
// like the store's texts but are not among its 39 slots.
enum class FileCaption : int {
    SaveToFile,       // button in the settings group
    LoadFromFile,     // button in the settings group
    SaveReport,       // button on both calibration pages
    SettingsFilter,   // file dialog filter of settings files
    AllFilesFilter,   // file dialog filter of every file
    PdfFilter,        // file dialog filter of reports
    NotLoaded,        // %1 file, %2 reason
    NotSaved,         // %1 file, %2 reason
    CannotSaveShown,  // %1 reason
    NoTypeSelected,   // %1 "input" or "output" word
    InputWord,        // for NoTypeSelected
    OutputWord,       // for NoTypeSelected
    NotARegularFile,  // %1 file
    SerialNumber,     // report dialog
    Technician,       // report dialog
    ReportNotWritten, // %1 file, %2 reason
    NotLogged,        // %1 log file, %2 reason
    UnitSerialTitle,  // the question for the serial number of the unit on the line
    UnitSerialLabel,  // %1 port
    UnitSerialHint,
    AnotherUnit,    // %1 the record's serial number, %2 the one given
    SettingsEdited, // on the settings group while it differs from the instrument's
};
inline constexpr int kFileCaptionCount = 22;

QString fileCaptionText(CaptionLanguage language, FileCaption caption);
