// The two caption sets of the main window and the language choice.
#include "ui/captions.h"
#include "ui/caption_table.h"

namespace {

struct CaptionRow {
    Caption caption;
    const char16_t *english;
    const char16_t *hungarian;
    std::array<const char16_t *, 2> targets;
};

// Texts exactly as shown, blanks included; "istrument" is how the English
// read button has always been spelled.
constexpr std::array<CaptionRow, kCaptionCount> kRows{{
    {Caption::ErrorCode, u"Error code", u"Hibakód", {u"GroupBox1", nullptr}},
    {Caption::FramError, u"FRAM error", u"FRAM hiba", {u"Label_EEPROMHiba", nullptr}},
    {Caption::AdcError, u"ADC error", u"ADC hiba", {u"Label_ADError", nullptr}},
    {Caption::UncalibratedInput,
     u"Uncalibrated input",
     u"Kalibrálatlan bemenet",
     {u"Label_ADNincsKalibralva", nullptr}},
    {Caption::UncalibratedOutput,
     u"Uncalibrated output",
     u"Kalibrálatlan kimenet",
     {u"Label_KimenetNincsKalibralva", nullptr}},
    {Caption::InputRangeError,
     u"Input range error",
     u"Bemeneti tartomány hiba",
     {u"Label_ADOverflow", nullptr}},
    {Caption::OutputRangeError,
     u"Output range error",
     u"Kimeneti tartomány hiba",
     {u"Label_OutputRangeError", nullptr}},
    {Caption::CurrentMeasuringAdc,
     u"Current measuring ADC:",
     u"Áramot mérő ADC:",
     {u"Label30", nullptr}},
    {Caption::Raw, u"Raw:", u"Nyers:", {u"Label1", u"Label10"}},
    {Caption::Average, u"Average:", u"Átlagolt:", {u"Label24", u"Label40"}},
    {Caption::VoltageMeasuringAdc,
     u"Voltage measuring ADC:",
     u"Feszültséget mérő ADC:",
     {u"Label33", nullptr}},
    {Caption::Firmware, u"Firmware:", u"Förmver:", {u"Label7", nullptr}},
    {Caption::LastCalibration, u"Last calibration:", u"Utolsó kalibrálás:", {u"Label9", nullptr}},
    {Caption::Temperature, u"Temperature", u"Hőmérséklet", {u"GroupBox9", nullptr}},
    {Caption::WorkingTime, u"Working time:", u"Üzemóra:", {u"Label5", nullptr}},
    {Caption::Restart, u"Restart", u"Újraindítás", {u"SpeedButton_Reset", nullptr}},
    {Caption::ModelPrefix, u"Instrument: ", u"Készülék: ", {nullptr, nullptr}},
    {Caption::Settings, u"Settings", u"Beállítások", {u"TabSheet_Uzemmod", u"GroupBox_Settings"}},
    {Caption::Scale, u"Scale:", u"Skála:", {u"Label6", nullptr}},
    {Caption::InputConnectors,
     u"Input connectors:",
     u"Bemeneti csatlakozók:",
     {u"GroupBox11", nullptr}},
    {Caption::OutputConnectors,
     u"Output connectors:",
     u"Kimeneti csatlakozók:",
     {u"GroupBox10", nullptr}},
    {Caption::InputRange, u"Input range", u"Bemenet méréstartománya", {u"GroupBox_Input", nullptr}},
    {Caption::OutputRange,
     u"Output range",
     u"Kimenet méréstartománya",
     {u"GroupBox_Output", nullptr}},
    {Caption::InputValue, u"Input value", u"Bemenő érték", {u"GroupBox2", nullptr}},
    {Caption::OutputValue, u"Output value", u"Kimenő érték", {u"GroupBox3", nullptr}},
    {Caption::Input, u"Input", u"Bemenet", {u"GroupBox6", nullptr}},
    {Caption::Output, u"Output", u"Kimenet", {u"GroupBox7", nullptr}},
    {Caption::InputSignal, u"Input signal", u"Bemenő jel", {u"RadioGroup_BemenetTipusa", nullptr}},
    {Caption::OutputSignal,
     u"Output signal",
     u"Kimenő jel",
     {u"RadioGroup_KimenetTipusa", nullptr}},
    {Caption::InitialValue, u"Initial value:", u"Kezdőérték:", {u"Label4", u"Label15"}},
    {Caption::EndValue, u"End value:", u"Végérték:", {u"Label11", u"Label32"}},
    {Caption::ReadSettings,
     u"Read settings from istrument",
     u"Beállítások kiolvasása a készülékből",
     {u"SpeedButton_ReadSettings", nullptr}},
    {Caption::FactoryDefaults,
     u"View the factory defaults",
     u"Gyári alapértékek megjelenítése",
     {u"Button_GyariAlapSkala", nullptr}},
    {Caption::WriteSettings,
     u"Write settings to instrument",
     u"Beállítások készülékbe írása",
     {u"SpeedButton_WriteSettings", nullptr}},
    {Caption::HoursWord, u" hours  ", u" óra  ", {nullptr, nullptr}},
    {Caption::MinutesWord, u" minutes.", u" perc.", {nullptr, nullptr}},
    {Caption::CurrentItem, u"Current", u"Áram", {nullptr, nullptr}},
    {Caption::VoltageItem, u"Voltage", u"Feszültség", {nullptr, nullptr}},
    {Caption::ProgramTitle,
     u"Configuration software for KX4720R",
     u"KX4720R beállító program",
     {nullptr, nullptr}},
}};

constexpr bool rowsInStoreOrder()
{
    for (int i = 0; i < kCaptionCount; ++i) {
        if (static_cast<int>(kRows[i].caption) != i + 1) return false;
    }
    return true;
}
static_assert(rowsInStoreOrder(), "caption rows must follow the store order");

const CaptionRow &row(Caption caption)
{
    const int slot = static_cast<int>(caption);
    Q_ASSERT(slot >= 1 && slot <= kCaptionCount);
    return kRows[static_cast<std::size_t>(slot - 1)];
}

const QString kEnglishName = QStringLiteral("english");
const QString kHungarianName = QStringLiteral("magyar");

} // namespace

QString captionText(CaptionLanguage language, Caption caption)
{
    const CaptionRow &r = row(caption);
    return QString::fromUtf16(language == CaptionLanguage::English ? r.english : r.hungarian);
}

QStringList captionTargets(Caption caption)
{
    QStringList names;
    for (const char16_t *target : row(caption).targets) {
        if (target) names.append(QString::fromUtf16(target));
    }
    return names;
}

QString languageName(CaptionLanguage language)
{
    return language == CaptionLanguage::English ? kEnglishName : kHungarianName;
}

std::optional<CaptionLanguage> languageFromName(const QString &name)
{
    const QString word = name.trimmed();
    if (word.compare(kEnglishName, Qt::CaseInsensitive) == 0) return CaptionLanguage::English;
    if (word.compare(kHungarianName, Qt::CaseInsensitive) == 0) return CaptionLanguage::Hungarian;
    return std::nullopt;
}

LanguageChoice chooseLanguage(const QString &requestedName)
{
    LanguageChoice choice;
    const std::optional<CaptionLanguage> language = languageFromName(requestedName);
    choice.recognised = language.has_value();
    choice.language = language.value_or(kDefaultCaptionLanguage);
    choice.name = languageName(choice.language);
    return choice;
}

void CaptionStore::fill(CaptionLanguage language)
{
    for (int slot = 1; slot <= kCaptionCount; ++slot)
        m_texts[static_cast<std::size_t>(slot - 1)] =
            captionText(language, static_cast<Caption>(slot));
    m_language = language;
}

const QString &CaptionStore::text(Caption caption) const
{
    const int slot = static_cast<int>(caption);
    Q_ASSERT(slot >= 1 && slot <= kCaptionCount);
    return m_texts[static_cast<std::size_t>(slot - 1)];
}

QStringList CaptionStore::signalTypeItems() const
{
    return {text(Caption::CurrentItem), text(Caption::VoltageItem)};
}

namespace {

constexpr std::array<LanguageRow<FileCaption>, kFileCaptionCount> kFileRows{{
    {FileCaption::SaveToFile, u"Save to file…", u"Mentés fájlba…"},
    {FileCaption::LoadFromFile, u"Load from file…", u"Betöltés fájlból…"},
    {FileCaption::SaveReport, u"Save calibration report…", u"Jegyzőkönyv mentése…"},
    {FileCaption::SettingsFilter, u"KX4720R settings (*.kx4720r.json)",
     u"KX4720R beállítások (*.kx4720r.json)"},
    {FileCaption::AllFilesFilter, u"All files (*)", u"Minden fájl (*)"},
    {FileCaption::PdfFilter, u"PDF documents (*.pdf)", u"PDF dokumentumok (*.pdf)"},
    {FileCaption::NotLoaded, u"The settings were not loaded from\n%1\n\n%2",
     u"A beállítások nem tölthetők be ebből a fájlból:\n%1\n\n%2"},
    {FileCaption::NotSaved, u"The settings were not saved to\n%1\n\n%2",
     u"A beállítások nem menthetők ebbe a fájlba:\n%1\n\n%2"},
    {FileCaption::CannotSaveShown, u"The settings shown cannot be saved: %1",
     u"A látható beállítások nem menthetők: %1"},
    {FileCaption::NoTypeSelected, u"no signal type is selected for the %1",
     u"a(z) %1 jeltípusa nincs kiválasztva"},
    {FileCaption::InputWord, u"input", u"bemenet"},
    {FileCaption::OutputWord, u"output", u"kimenet"},
    {FileCaption::NotARegularFile, u"%1 is not a regular file", u"%1 nem közönséges fájl"},
    {FileCaption::SerialNumber, u"Serial number of the unit:", u"A készülék gyári száma:"},
    {FileCaption::Technician, u"Technician:", u"Kalibrálást végezte:"},
    {FileCaption::ReportNotWritten, u"The calibration report was not written to\n%1\n\n%2",
     u"A kalibrálási jegyzőkönyv nem írható ebbe a fájlba:\n%1\n\n%2"},
    {FileCaption::NotLogged,
     u"The calibration record could not be added to the calibration log\n%1\n\n%2\n\nSave "
     u"the calibration report now: its record file keeps the calibration.",
     u"A kalibrálás adatai nem kerültek be a kalibrálási naplóba:\n%1\n\n%2\n\nMentse most a "
     u"kalibrálási jegyzőkönyvet: a mellé írt adatfájl megőrzi a kalibrálást."},
    {FileCaption::UnitSerialTitle, u"Serial number of the unit", u"A készülék gyári száma"},
    {FileCaption::UnitSerialLabel, u"Serial number of the unit on %1:",
     u"A(z) %1 porton levő készülék gyári száma:"},
    {FileCaption::UnitSerialHint,
     u"The instrument does not report its serial number. Type it or scan its barcode: the "
     u"calibration is stored in the instrument, and recorded for this unit, once it is given.",
     u"A készülék nem közli a gyári számát. Írja be, vagy olvassa be a vonalkódjáról: a "
     u"kalibrálás a megadása után kerül a készülékbe, és ehhez a készülékhez rögzül."},
    {FileCaption::AnotherUnit,
     u"This calibration was recorded for the unit %1. It cannot be reported for the unit %2.",
     u"Ez a kalibrálás a(z) %1 gyári számú készülékhez rögzült. A(z) %2 gyári számú "
     u"készülék jegyzőkönyvébe nem kerülhet."},
    {FileCaption::SettingsEdited, u"Edited, not yet written to the instrument",
     u"Módosítva, még nincs a készülékbe írva"},
}};

static_assert(rowsFollowTheEnum(kFileRows), "file caption rows must follow the enum order");

} // namespace

QString fileCaptionText(CaptionLanguage language, FileCaption caption)
{
    return rowText(kFileRows, language, caption);
}
