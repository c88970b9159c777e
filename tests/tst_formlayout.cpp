// The main window as built from its description: every control present with
// its kind, parent and place, the relationships between controls the window
// relies on, and the initial state before any instrument reply.
#include <QtTest>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyleOptionGroupBox>
#include <QTemporaryDir>
#include <QTimer>

#include "app/form_main.h"
#include "panel/mb.h"
#include "support/formaccess.h"
#include "support/windowsetup.h"
#include "ui/formextras.h"
#include "widgets/mbargraph.h"
#include "widgets/pagecontrol.h"
#include "widgets/radiogroup.h"
#include "widgets/speedbutton.h"
#include "widgets/trackbar.h"

namespace {

struct ControlRow {
    const char *name;
    const char *className;
    const char *parent;
    QRect geometry; // left, top, width, height; pages have none (-1)
    bool fixedSize; // false: an auto-size label, whose width follows its text
};

// The window's controls in creation order: name, kind, parent, place.
const ControlRow controlRows[] = {
    {"Label_KeszulekAltipus", "QLabel", "Form_Main", {312, 4, 729, 24}, true},
    {"SpeedButton_Angol", "TSpeedButton", "Form_Main", {8, 498, 57, 25}, true},
    {"SpeedButton_Magyar", "TSpeedButton", "Form_Main", {88, 498, 57, 25}, true},
    {"GroupBox_System", "QGroupBox", "Form_Main", {8, 7, 289, 482}, true},
    {"PageControl1", "TPageControl", "Form_Main", {304, 32, 737, 497}, true},
    {"TabSheet_Uzemmod", "QWidget", "PageControl1", {-1, -1, -1, -1}, true},
    {"TabSheet_InputCalibration", "QWidget", "PageControl1", {-1, -1, -1, -1}, true},
    {"TabSheet_OutputCalibration", "QWidget", "PageControl1", {-1, -1, -1, -1}, true},
    {"TabSheet_KimenetEllenorzes", "QWidget", "PageControl1", {-1, -1, -1, -1}, true},
    {"TabSheet_Test", "QWidget", "PageControl1", {-1, -1, -1, -1}, true},
    {"MB1", "TMB", "Form_Main", {8, 8, 157, 185}, true},
    {"Timer_InCal", "QTimer", "Form_Main", {-1, -1, -1, -1}, true},
    {"Label_EEPROMHiba", "QLabel", "GroupBox_System", {160, 48, 66, 15}, true},
    {"Label_ADNincsKalibralva", "QLabel", "GroupBox_System", {160, 64, 121, 15}, true},
    {"Label_KimenetNincsKalibralva", "QLabel", "GroupBox_System", {160, 80, 121, 15}, true},
    {"SpeedButton_Reset", "TSpeedButton", "GroupBox_System", {216, 448, 65, 25}, true},
    {"Label7", "QLabel", "GroupBox_System", {8, 352, 56, 14}, false},
    {"Label_FormverVerzio", "QLabel", "GroupBox_System", {96, 352, 28, 14}, false},
    {"Label5", "QLabel", "GroupBox_System", {8, 456, 64, 14}, false},
    {"Label_Uzemorak", "QLabel", "GroupBox_System", {80, 456, 15, 14}, false},
    {"Label_KalibralasDatuma", "QLabel", "GroupBox_System", {96, 372, 76, 14}, false},
    {"Label1", "QLabel", "GroupBox_System", {10, 243, 26, 14}, false},
    {"Label_ADErtek", "QLabel", "GroupBox_System", {79, 243, 48, 14}, false},
    {"Label_ADErtekAtlagolt", "QLabel", "GroupBox_System", {79, 253, 48, 14}, false},
    {"Label24", "QLabel", "GroupBox_System", {11, 253, 45, 14}, false},
    {"Label_ADOverflow", "QLabel", "GroupBox_System", {160, 96, 121, 15}, true},
    {"Label10", "QLabel", "GroupBox_System", {11, 311, 26, 14}, false},
    {"Label_ADErtek2", "QLabel", "GroupBox_System", {78, 311, 48, 14}, false},
    {"Label_ADErtekAtlagolt2", "QLabel", "GroupBox_System", {78, 321, 48, 14}, false},
    {"Label40", "QLabel", "GroupBox_System", {10, 321, 45, 14}, false},
    {"Label_ADError", "QLabel", "GroupBox_System", {227, 48, 54, 15}, true},
    {"Label_OutputRangeError", "QLabel", "GroupBox_System", {160, 112, 121, 15}, true},
    {"Label30", "QLabel", "GroupBox_System", {11, 205, 117, 14}, false},
    {"Label33", "QLabel", "GroupBox_System", {11, 273, 118, 14}, false},
    {"Label9", "QLabel", "GroupBox_System", {8, 372, 76, 14}, false},
    {"GroupBox1", "QGroupBox", "GroupBox_System", {160, 11, 121, 33}, true},
    {"Label_ErrorNumber", "QLabel", "GroupBox1", {56, 14, 6, 14}, false},
    {"MBarGraph_AD", "TMBarGraph", "GroupBox_System", {8, 220, 273, 17}, true},
    {"MBarGraph_AD2", "TMBarGraph", "GroupBox_System", {8, 288, 273, 17}, true},
    {"MBarGraph_ADSzurt", "TMBarGraph", "GroupBox_System", {8, 235, 273, 9}, true},
    {"MBarGraph_AD2Szurt", "TMBarGraph", "GroupBox_System", {8, 303, 273, 9}, true},
    {"GroupBox9", "QGroupBox", "GroupBox_System", {192, 349, 89, 68}, true},
    {"Label22", "QLabel", "GroupBox9", {10, 48, 31, 14}, false},
    {"Label_MertHomersekletMin", "QLabel", "GroupBox9", {50, 48, 15, 14}, false},
    {"Label20", "QLabel", "GroupBox9", {10, 32, 10, 14}, false},
    {"Label_MertHomerseklet", "QLabel", "GroupBox9", {50, 32, 15, 14}, false},
    {"Label26", "QLabel", "GroupBox9", {10, 16, 35, 14}, false},
    {"Label_MertHomersekletMax", "QLabel", "GroupBox9", {50, 16, 15, 14}, false},
    {"Label6", "QLabel", "TabSheet_Uzemmod", {8, 8, 30, 14}, false},
    {"Image_78", "QLabel", "TabSheet_Uzemmod", {240, 40, 97, 185}, true},
    {"Bevel1", "TBevel", "TabSheet_Uzemmod", {360, 32, 9, 201}, true},
    {"Image_56", "QLabel", "TabSheet_Uzemmod", {616, 40, 97, 185}, true},
    {"Image_79", "QLabel", "TabSheet_Uzemmod", {240, 40, 97, 185}, true},
    {"Image_710", "QLabel", "TabSheet_Uzemmod", {240, 40, 97, 185}, true},
    {"Image_34", "QLabel", "TabSheet_Uzemmod", {616, 40, 97, 185}, true},
    {"GroupBox2", "QGroupBox", "TabSheet_Uzemmod", {8, 160, 209, 65}, true},
    {"Label_BemenoErtek", "QLabel", "GroupBox2", {8, 20, 193, 24}, true},
    {"GroupBox3", "QGroupBox", "TabSheet_Uzemmod", {384, 160, 209, 65}, true},
    {"Label_OutputValue", "QLabel", "GroupBox3", {7, 21, 193, 24}, true},
    {"GroupBox_Input", "QGroupBox", "TabSheet_Uzemmod", {8, 96, 209, 57}, true},
    {"Label_Input", "QLabel", "GroupBox_Input", {8, 20, 193, 24}, true},
    {"GroupBox_Output", "QGroupBox", "TabSheet_Uzemmod", {384, 96, 209, 57}, true},
    {"Label_Output", "QLabel", "GroupBox_Output", {8, 20, 185, 24}, true},
    {"MBarGraph_SkalaSzazalek", "TMBarGraph", "TabSheet_Uzemmod", {48, 8, 673, 17}, true},
    {"GroupBox_Settings", "QGroupBox", "TabSheet_Uzemmod", {8, 240, 673, 225}, true},
    {"SpeedButton_ReadSettings", "TSpeedButton", "GroupBox_Settings", {448, 24, 209, 33}, true},
    {"SpeedButton_WriteSettings", "TSpeedButton", "GroupBox_Settings", {448, 184, 209, 33}, true},
    {"GroupBox6", "QGroupBox", "GroupBox_Settings", {16, 16, 201, 201}, true},
    {"Label4", "QLabel", "GroupBox6", {16, 99, 55, 14}, false},
    {"Label_InputLowMertekegyseg", "QLabel", "GroupBox6", {168, 99, 16, 14}, false},
    {"Label11", "QLabel", "GroupBox6", {16, 131, 50, 14}, false},
    {"Label_InputHighMertekegyseg", "QLabel", "GroupBox6", {168, 131, 16, 14}, false},
    {"Edit_InputLow", "TEdit", "GroupBox6", {104, 96, 57, 22}, true},
    {"RadioGroup_BemenetTipusa", "TRadioGroup", "GroupBox6", {16, 24, 169, 57}, true},
    {"Edit_InputHigh", "TEdit", "GroupBox6", {104, 128, 57, 22}, true},
    {"GroupBox7", "QGroupBox", "GroupBox_Settings", {232, 16, 201, 201}, true},
    {"Label15", "QLabel", "GroupBox7", {16, 99, 55, 14}, false},
    {"Label_OutputLowMertekegyseg", "QLabel", "GroupBox7", {168, 99, 16, 14}, false},
    {"Label32", "QLabel", "GroupBox7", {16, 131, 50, 14}, false},
    {"Label_OutputHighMertekegyseg", "QLabel", "GroupBox7", {168, 131, 16, 14}, false},
    {"Edit_OutputLow", "TEdit", "GroupBox7", {104, 96, 57, 22}, true},
    {"RadioGroup_KimenetTipusa", "TRadioGroup", "GroupBox7", {16, 24, 169, 57}, true},
    {"Edit_OutputHigh", "TEdit", "GroupBox7", {104, 128, 57, 22}, true},
    {"Button_GyariAlapSkala", "QPushButton", "GroupBox_Settings", {448, 72, 209, 25}, true},
    {"GroupBox10", "QGroupBox", "TabSheet_Uzemmod", {384, 32, 209, 57}, true},
    {"Label_OutputSignalPlus", "QLabel", "GroupBox10", {10, 35, 79, 14}, false},
    {"Label_OutputSignalMinus", "QLabel", "GroupBox10", {10, 19, 77, 14}, false},
    {"GroupBox11", "QGroupBox", "TabSheet_Uzemmod", {8, 32, 209, 57}, true},
    {"Label_InputSignalPlus", "QLabel", "GroupBox11", {10, 35, 104, 14}, false},
    {"Label_InputCommon", "QLabel", "GroupBox11", {10, 19, 117, 14}, false},
    {"Label31", "QLabel", "TabSheet_InputCalibration", {192, 12, 126, 19}, false},
    {"Image_InputCalibrationOK", "QLabel", "TabSheet_InputCalibration", {352, 4, 41, 41}, true},
    {"SpeedButton_InputCalibrationBack",
     "TSpeedButton",
     "TabSheet_InputCalibration",
     {8, 4, 57, 41},
     true},
    {"SpeedButton_InputCalibrationNext",
     "TSpeedButton",
     "TabSheet_InputCalibration",
     {648, 412, 73, 55},
     true},
    {"ListBox_InputCalibrated",
     "QListWidget",
     "TabSheet_InputCalibration",
     {504, 0, 217, 401},
     true},
    {"PageControl_InputCalibration",
     "TPageControl",
     "TabSheet_InputCalibration",
     {8, 60, 489, 405},
     true},
    {"TabSheet1", "QWidget", "PageControl_InputCalibration", {-1, -1, -1, -1}, true},
    {"Image_InputCalibration", "QLabel", "TabSheet1", {75, 96, 320, 240}, true},
    {"SpeedButton_ADCalBeiras", "TSpeedButton", "TabSheet1", {80, 352, 313, 33}, true},
    {"Label_InputCalibration1", "QLabel", "TabSheet1", {8, 12, 465, 19}, true},
    {"Memo_InputCalibration2", "QPlainTextEdit", "TabSheet1", {8, 40, 465, 49}, true},
    {"Label67", "QLabel", "TabSheet_OutputCalibration", {192, 12, 139, 19}, false},
    {"SpeedButton_OutputCalibrationBack",
     "TSpeedButton",
     "TabSheet_OutputCalibration",
     {8, 4, 57, 41},
     true},
    {"SpeedButton_OutputCalibrationNext",
     "TSpeedButton",
     "TabSheet_OutputCalibration",
     {648, 412, 73, 55},
     true},
    {"Image_OutputCalibrationOK", "QLabel", "TabSheet_OutputCalibration", {352, 4, 41, 41}, true},
    {"ListBox_OutputCalibrated",
     "QListWidget",
     "TabSheet_OutputCalibration",
     {504, 0, 217, 401},
     true},
    {"GroupBox_PWM", "QGroupBox", "TabSheet_OutputCalibration", {8, 300, 489, 161}, true},
    {"Label_BeallitottPWM", "QLabel", "GroupBox_PWM", {128, 112, 241, 41}, true},
    {"GroupBox_PWMErtekValtoztatas", "QGroupBox", "GroupBox_PWM", {6, 20, 475, 85}, true},
    {"Button1", "QPushButton", "GroupBox_PWMErtekValtoztatas", {9, 54, 52, 25}, true},
    {"Button2", "QPushButton", "GroupBox_PWMErtekValtoztatas", {69, 54, 44, 25}, true},
    {"Button3", "QPushButton", "GroupBox_PWMErtekValtoztatas", {121, 54, 35, 25}, true},
    {"Button4", "QPushButton", "GroupBox_PWMErtekValtoztatas", {164, 54, 35, 25}, true},
    {"Button5", "QPushButton", "GroupBox_PWMErtekValtoztatas", {207, 54, 27, 25}, true},
    {"Button6", "QPushButton", "GroupBox_PWMErtekValtoztatas", {241, 54, 27, 25}, true},
    {"Button7", "QPushButton", "GroupBox_PWMErtekValtoztatas", {276, 54, 35, 25}, true},
    {"Button8", "QPushButton", "GroupBox_PWMErtekValtoztatas", {319, 54, 35, 25}, true},
    {"Button9", "QPushButton", "GroupBox_PWMErtekValtoztatas", {362, 54, 44, 25}, true},
    {"Button10", "QPushButton", "GroupBox_PWMErtekValtoztatas", {414, 54, 52, 25}, true},
    {"TrackBar_PWM", "TTrackBar", "GroupBox_PWMErtekValtoztatas", {24, 20, 425, 27}, true},
    {"Button_Out0", "QPushButton", "GroupBox_PWMErtekValtoztatas", {9, 20, 16, 25}, true},
    {"Button_OutVegertek", "QPushButton", "GroupBox_PWMErtekValtoztatas", {449, 20, 16, 25}, true},
    {"Button_Out50Percents", "QPushButton", "GroupBox_PWMErtekValtoztatas", {209, 7, 40, 15}, true},
    {"MBarGraph_OutputCalibration", "TMBarGraph", "GroupBox_PWM", {6, 32, 474, 33}, true},
    {"PageControl4", "TPageControl", "TabSheet_OutputCalibration", {8, 60, 489, 233}, true},
    {"TabSheet_OutCalStep1", "QWidget", "PageControl4", {-1, -1, -1, -1}, true},
    {"Label63", "QLabel", "TabSheet_OutCalStep1", {8, 4, 465, 19}, true},
    {"Image24", "QLabel", "TabSheet_OutCalStep1", {11, 40, 460, 180}, true},
    {"TabSheet_OutCalStep2", "QWidget", "PageControl4", {-1, -1, -1, -1}, true},
    {"Label70", "QLabel", "TabSheet_OutCalStep2", {8, 4, 465, 19}, true},
    {"Image25", "QLabel", "TabSheet_OutCalStep2", {11, 40, 460, 180}, true},
    {"TabSheet_OutCalStep3", "QWidget", "PageControl4", {-1, -1, -1, -1}, true},
    {"Label71", "QLabel", "TabSheet_OutCalStep3", {8, 4, 465, 19}, true},
    {"SpeedButton_Test4mA", "TSpeedButton", "TabSheet_OutCalStep3", {32, 64, 113, 121}, true},
    {"SpeedButton_Test12mA", "TSpeedButton", "TabSheet_OutCalStep3", {184, 64, 113, 121}, true},
    {"SpeedButton_Test20mA", "TSpeedButton", "TabSheet_OutCalStep3", {336, 64, 113, 121}, true},
    {"TabSheet_OutCalStep4", "QWidget", "PageControl4", {-1, -1, -1, -1}, true},
    {"Label73", "QLabel", "TabSheet_OutCalStep4", {8, 4, 465, 19}, true},
    {"Image26", "QLabel", "TabSheet_OutCalStep4", {11, 40, 460, 180}, true},
    {"TabSheet_OutCalStep5", "QWidget", "PageControl4", {-1, -1, -1, -1}, true},
    {"Label74", "QLabel", "TabSheet_OutCalStep5", {8, 4, 465, 19}, true},
    {"Image27", "QLabel", "TabSheet_OutCalStep5", {11, 40, 460, 180}, true},
    {"TabSheet_OutCalStep6", "QWidget", "PageControl4", {-1, -1, -1, -1}, true},
    {"Label72", "QLabel", "TabSheet_OutCalStep6", {8, 4, 465, 19}, true},
    {"SpeedButton_Test2V", "TSpeedButton", "TabSheet_OutCalStep6", {32, 64, 113, 121}, true},
    {"SpeedButton_Test6V", "TSpeedButton", "TabSheet_OutCalStep6", {184, 64, 113, 121}, true},
    {"SpeedButton_Test10V", "TSpeedButton", "TabSheet_OutCalStep6", {336, 64, 113, 121}, true},
    {"TabSheet_OutCalStep7", "QWidget", "PageControl4", {-1, -1, -1, -1}, true},
    {"SpeedButton_WriteOutputCalibrationToKX",
     "TSpeedButton",
     "TabSheet_OutCalStep7",
     {144, 65, 169, 24},
     true},
    {"Label29", "QLabel", "TabSheet_OutCalStep7", {8, 4, 465, 19}, true},
    {"Label_PWMSzoveg", "QLabel", "TabSheet_KimenetEllenorzes", {8, 8, 27, 14}, false},
    {"Label_PWMErtek", "QLabel", "TabSheet_KimenetEllenorzes", {680, 8, 33, 14}, false},
    {"Label_OutputCheckPercent", "QLabel", "TabSheet_KimenetEllenorzes", {296, 43, 139, 19}, true},
    {"TrackBar_OutCheck", "TTrackBar", "TabSheet_KimenetEllenorzes", {8, 80, 713, 41}, true},
    {"Button_OutCheckMin", "QPushButton", "TabSheet_KimenetEllenorzes", {8, 128, 57, 33}, true},
    {"Button_OutCheckMax", "QPushButton", "TabSheet_KimenetEllenorzes", {664, 128, 57, 33}, true},
    {"Button_OutCheckMean", "QPushButton", "TabSheet_KimenetEllenorzes", {325, 128, 81, 33}, true},
    {"MBarGraph_PWM", "TMBarGraph", "TabSheet_KimenetEllenorzes", {48, 8, 625, 17}, true},
    {"Label_PWMSzoveg2", "QLabel", "TabSheet_Test", {312, 440, 27, 14}, false},
    {"Label_PWMErtek2", "QLabel", "TabSheet_Test", {688, 440, 33, 14}, false},
    {"Label_BemenoErtek2", "QLabel", "TabSheet_Test", {96, 308, 157, 24}, true},
    {"Label_OutputValue2", "QLabel", "TabSheet_Test", {96, 333, 157, 24}, true},
    {"Label25", "QLabel", "TabSheet_Test", {8, 312, 55, 14}, false},
    {"Label28", "QLabel", "TabSheet_Test", {8, 336, 64, 14}, false},
    {"RadioGroup_GainForce", "TRadioGroup", "TabSheet_Test", {16, 24, 81, 161}, true},
    {"RadioGroup_GainForceCH", "TRadioGroup", "TabSheet_Test", {104, 24, 89, 161}, true},
    {"RadioGroup_DividerForce", "TRadioGroup", "TabSheet_Test", {16, 192, 129, 89}, true},
    {"GroupBox4", "QGroupBox", "TabSheet_Test", {376, 24, 281, 113}, true},
    {"Label12", "QLabel", "GroupBox4", {13, 19, 29, 18}, false},
    {"Label17", "QLabel", "GroupBox4", {13, 35, 33, 18}, false},
    {"Label_Min0", "QLabel", "GroupBox4", {98, 19, 71, 18}, false},
    {"Label_Max0", "QLabel", "GroupBox4", {98, 35, 71, 18}, false},
    {"Label21", "QLabel", "GroupBox4", {13, 59, 78, 18}, false},
    {"Label_Delta0", "QLabel", "GroupBox4", {98, 59, 71, 18}, false},
    {"Button_MinMaxTorles0", "QPushButton", "GroupBox4", {224, 16, 41, 17}, true},
    {"MBarGraph_Delta0", "TMBarGraph", "GroupBox4", {8, 96, 265, 9}, true},
    {"GroupBox5", "QGroupBox", "TabSheet_Test", {376, 152, 281, 113}, true},
    {"Label18", "QLabel", "GroupBox5", {13, 19, 29, 18}, false},
    {"Label19", "QLabel", "GroupBox5", {13, 35, 33, 18}, false},
    {"Label_Min1", "QLabel", "GroupBox5", {98, 19, 71, 18}, false},
    {"Label_Max1", "QLabel", "GroupBox5", {98, 35, 71, 18}, false},
    {"Label23", "QLabel", "GroupBox5", {13, 59, 78, 18}, false},
    {"Label_Delta1", "QLabel", "GroupBox5", {98, 59, 71, 18}, false},
    {"Button_MinMaxTorles1", "QPushButton", "GroupBox5", {224, 16, 41, 17}, true},
    {"MBarGraph_Delta1", "TMBarGraph", "GroupBox5", {8, 96, 265, 9}, true},
    {"RadioGroup_MereshatarForce", "TRadioGroup", "TabSheet_Test", {280, 24, 81, 241}, true},
    {"GroupBox8", "QGroupBox", "TabSheet_Test", {256, 272, 465, 161}, true},
    {"Label34", "QLabel", "GroupBox8", {6, 19, 68, 14}, false},
    {"Label_CalibrationStep", "QLabel", "GroupBox8", {96, 19, 6, 14}, false},
    {"Label16", "QLabel", "GroupBox8", {6, 38, 97, 14}, false},
    {"Label_ErositesCH0", "QLabel", "GroupBox8", {112, 39, 12, 14}, false},
    {"Label39", "QLabel", "GroupBox8", {6, 51, 98, 14}, false},
    {"Label_ErositesCH1", "QLabel", "GroupBox8", {112, 51, 12, 14}, false},
    {"Label27", "QLabel", "GroupBox8", {8, 83, 143, 14}, false},
    {"Label_NYAKCime", "QLabel", "GroupBox8", {160, 83, 6, 14}, false},
    {"Label8", "QLabel", "GroupBox8", {8, 67, 129, 14}, false},
    {"Label_uDivider", "QLabel", "GroupBox8", {150, 67, 12, 14}, false},
    {"Label2", "QLabel", "GroupBox8", {8, 99, 41, 14}, false},
    {"Label_uADSamples", "QLabel", "GroupBox8", {86, 99, 6, 14}, false},
    {"Label3", "QLabel", "GroupBox8", {8, 123, 159, 14}, false},
    {"Label_RAM1AdatForras", "QLabel", "GroupBox8", {176, 123, 24, 14}, false},
    {"Label13", "QLabel", "GroupBox8", {8, 139, 148, 14}, false},
    {"Label_RAM2AdatForras", "QLabel", "GroupBox8", {176, 139, 24, 14}, false},
    {"SpeedButton_HomersekletMinMaxTorlese", "TSpeedButton", "GroupBox8", {232, 12, 225, 21}, true},
    {"SpeedButton_FRAMTorlesReset", "TSpeedButton", "GroupBox8", {320, 136, 137, 17}, true},
    {"MBarGraph_PWM2", "TMBarGraph", "TabSheet_Test", {352, 436, 329, 17}, true},
};

template <class T> T *control(QWidget &form, const char *name)
{
    T *found = form.findChild<T *>(QString::fromLatin1(name));
    if (!found) qWarning("control %s missing", name);
    return found;
}

// Pixel font of a control as the window shows it.
struct FontFacts {
    int pixels;
    bool bold;
    bool italic;
};
FontFacts fontOf(const QWidget *w)
{
    const QFont f = w->font();
    return {f.pixelSize(), f.bold(), f.italic()};
}

// The window as its description builds it, in the language the description
// is written in: the window applies its saved language when it is created,
// so it gets an initialisation file that names English.
FormEnvironment describedWindow()
{
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("form.ini"));
    IniSettings settings;
    settings.languageName = QStringLiteral("english");
    IniFile(path).save(settings);
    return FormEnvironment{IniFile(path), QStringList{}};
}

// The columns a label's text covers in its parent, within the label's box.
std::pair<int, int> textSpan(const QLabel *label)
{
    const QRect box = label->geometry();
    const int advance = label->fontMetrics().horizontalAdvance(label->text());
    const int left = label->alignment() & Qt::AlignRight ? box.right() + 1 - advance
                     : label->alignment() & Qt::AlignHCenter
                         ? box.left() + (box.width() - advance) / 2
                         : box.left();
    return {std::max(left, box.left()), std::min(left + advance, box.right() + 1)};
}

// A reply with every field at the lowest or the highest value its type holds.
InstrumentReply extremeReply(bool highest)
{
    InstrumentReply r = typicalReply();
    const auto u8 = quint8(highest ? 255 : 0);
    const auto u16 = quint16(highest ? 65535 : 0);
    const qint32 i32 =
        highest ? std::numeric_limits<qint32>::max() : std::numeric_limits<qint32>::min();
    r.FirmwareYear = r.CalYear = r.ADSamplesPerSecond = r.PWMValue = u16;
    r.FirmwareMonth = r.FirmwareDay = r.CalMonth = r.CalDay = u8;
    r.GainCH0 = r.GainCH1 = r.DividerCH1 = r.ErrorNumber = r.SpareByte = u8;
    r.ADValueCH0 = r.ADValueCH1 = r.ADAveragedCH0 = r.ADAveragedCH1 = i32;
    r.InputValue = r.Temperature = r.TemperatureMin = r.TemperatureMax = highest ? 3e38 : -3e38;
    r.OperatingMinutes = highest ? std::numeric_limits<quint32>::max() : 0;
    return r;
}

} // namespace

class TestFormLayout : public QObject {
    Q_OBJECT
private slots:
    void everyControlIsThereWithItsKindParentAndPlace();
    void linkPanelCoversTheSystemPanelCaption();
    void wiringPicturesShareTheirPlaces();
    void onlyTheSettingsTabShowsAmongFivePages();
    void beforeAnyReplyOnlyLinkPanelAndLanguageButtonsShow();
    void factoryViewShowsNoPlaceholdersBeforeAnyReply();
    void valuesStayInsideTheirSpace();
    void noValueRunsIntoItsNeighbours_data();
    void noValueRunsIntoItsNeighbours();
    void windowSizeAndFont();
    void captionsFontsAndColours();
    void speedButtonGroupsAndStates();
    void radioGroupsTrackBarsAndEdits();
    void tabKeyReachesEachSignalTypeBetweenItsEdits();
    void barGraphsStoredProperties();
    void linkPanelStoredProperties();
    void listBoxRowsAndCentredMemo();
    void autoSizeLabelsFollowTheirText();
};

void TestFormLayout::everyControlIsThereWithItsKindParentAndPlace()
{
    TForm_Main form(describedWindow());
    QSet<QString> names;
    for (const ControlRow &row : controlRows) {
        const QString name = QString::fromLatin1(row.name);
        QVERIFY2(!names.contains(name), row.name);
        names.insert(name);
        QObject *found = form.findChild<QObject *>(name);
        QVERIFY2(found, row.name);
        QVERIFY2(QLatin1String(found->metaObject()->className()) == QLatin1String(row.className),
                 qPrintable(name + QStringLiteral(" is a ") + found->metaObject()->className()));
        auto *widget = qobject_cast<QWidget *>(found);
        if (!widget) { // the timer
            QCOMPARE(found->parent(), &form);
            continue;
        }
        if (!row.geometry.isValid()) { // a page: it belongs to its page control
            auto *pages = form.findChild<TPageControl *>(QString::fromLatin1(row.parent));
            QVERIFY2(pages && pages->indexOf(widget) >= 0, row.name);
            continue;
        }
        QVERIFY2(widget->parentWidget(), row.name);
        QCOMPARE(widget->parentWidget()->objectName(), QString::fromLatin1(row.parent));
        QCOMPARE(widget->pos(), row.geometry.topLeft());
        if (row.fixedSize)
            QCOMPARE(widget->size(), row.geometry.size());
        else
            QCOMPARE(widget->height(), row.geometry.height());
    }
    QCOMPARE(names.size(), 206);
}

void TestFormLayout::linkPanelCoversTheSystemPanelCaption()
{
    TForm_Main form(describedWindow());
    auto *system = control<QGroupBox>(form, "GroupBox_System");
    auto *mb1 = control<TMB>(form, "MB1");
    QVERIFY(system && mb1);
    QStyleOptionGroupBox option;
    option.initFrom(system);
    option.text = system->title();
    option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    option.lineWidth = 1;
    const QRect title = system->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                        QStyle::SC_GroupBoxLabel, system);
    QVERIFY(!title.isEmpty());
    const QRect titleOnForm = title.translated(system->pos());
    QVERIFY2(mb1->geometry().contains(titleOnForm),
             qPrintable(QStringLiteral("title at %1,%2 %3x%4")
                            .arg(titleOnForm.x())
                            .arg(titleOnForm.y())
                            .arg(titleOnForm.width())
                            .arg(titleOnForm.height())));
    // The system panel's caption leaves no trace where the link panel lies.
    system->show();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QImage withCaption = form.grab(mb1->geometry()).toImage();
    system->setTitle(QString());
    const QImage withoutCaption = form.grab(mb1->geometry()).toImage();
    QCOMPARE(withCaption, withoutCaption);
    // Same parent, and the link panel lies above the system panel.
    QCOMPARE(mb1->parentWidget(), system->parentWidget());
    const QObjectList siblings = form.children();
    QVERIFY(siblings.indexOf(mb1) > siblings.indexOf(system));
    // The system panel's own controls start right of or below the link panel.
    for (QWidget *child : system->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        const QRect onForm = child->geometry().translated(system->pos());
        QVERIFY2(!onForm.intersects(mb1->geometry()), qPrintable(child->objectName()));
    }
}

void TestFormLayout::wiringPicturesShareTheirPlaces()
{
    TForm_Main form(describedWindow());
    const auto place = [&](const char *name) {
        auto *picture = control<QLabel>(form, name);
        return picture ? picture->geometry() : QRect();
    };
    QCOMPARE(place("Image_78"), QRect(240, 40, 97, 185));
    QCOMPARE(place("Image_79"), place("Image_78"));
    QCOMPARE(place("Image_710"), place("Image_78"));
    QCOMPARE(place("Image_56"), QRect(616, 40, 97, 185));
    QCOMPARE(place("Image_34"), place("Image_56"));
    QVERIFY(!place("Image_78").intersects(place("Image_56")));
    // Each wiring slot has its drawing.
    for (const char *name : {"Image_78", "Image_79", "Image_710", "Image_56", "Image_34",
                             "Image_InputCalibrationOK", "Image_OutputCalibrationOK"}) {
        auto *picture = control<QLabel>(form, name);
        QVERIFY2(picture && !picture->pixmap().isNull(), name);
    }
    // The photographs are centred in their slots.
    for (const char *name : {"Image_78", "Image_79", "Image_710", "Image_56", "Image_34"})
        QCOMPARE(control<QLabel>(form, name)->alignment(), Qt::AlignCenter);
    // None shows before a reply has told the input range and output type.
    for (const char *name : {"Image_78", "Image_79", "Image_710", "Image_56", "Image_34"})
        QVERIFY2(control<QLabel>(form, name)->isHidden(), name);
    const QObjectList page = control<QWidget>(form, "TabSheet_Uzemmod")->children();
    QVERIFY(page.indexOf(control<QLabel>(form, "Image_34")) >
            page.indexOf(control<QLabel>(form, "Image_56")));
    for (const char *name : {"Image_InputCalibration", "Image24", "Image25", "Image26", "Image27"})
        QVERIFY2(control<QLabel>(form, name)->pixmap().isNull(), name);
}

void TestFormLayout::onlyTheSettingsTabShowsAmongFivePages()
{
    TForm_Main form(describedWindow());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto *pages = control<TPageControl>(form, "PageControl1");
    QVERIFY(pages);
    // The described five, the trend page the window adds after Settings and
    // the verification page it adds after Output Check, shown with Settings.
    QCOMPARE(pages->count(), 7);
    QCOMPARE(pages->indexOf(control<QWidget>(form, "TabSheet_Trend")), 1);
    QCOMPARE(pages->indexOf(control<QWidget>(form, "TabSheet_Verification")), 5);
    QVERIFY(pages->isTabVisible(5));
    const char *order[] = {"TabSheet_Uzemmod", "TabSheet_InputCalibration",
                           "TabSheet_OutputCalibration", "TabSheet_KimenetEllenorzes",
                           "TabSheet_Test"};
    const char *captions[] = {"Settings", "Input Calibration", "Output Calibration", "Output Check",
                              "Test Page"};
    for (int i = 0; i < 5; ++i) {
        const int tab = i == 0 ? 0 : i < 4 ? i + 1 : i + 2;
        QCOMPARE(pages->widget(tab)->objectName(), QString::fromLatin1(order[i]));
        QCOMPARE(pages->tabText(tab), QString::fromUtf8(captions[i]));
        QCOMPARE(pages->isTabVisible(tab), i == 0);
    }
    QCOMPARE(pages->ActivePage()->objectName(), QStringLiteral("TabSheet_Uzemmod"));

    // The wizards' inner page controls: every tab hidden, first page active.
    auto *inCal = control<TPageControl>(form, "PageControl_InputCalibration");
    QCOMPARE(inCal->count(), 1);
    QCOMPARE(inCal->ActivePage()->objectName(), QStringLiteral("TabSheet1"));
    QVERIFY(!inCal->isTabVisible(0));
    auto *outCal = control<TPageControl>(form, "PageControl4");
    QCOMPARE(outCal->count(), 7);
    QCOMPARE(outCal->ActivePage()->objectName(), QStringLiteral("TabSheet_OutCalStep1"));
    for (int i = 0; i < 7; ++i) {
        QCOMPARE(outCal->widget(i)->objectName(),
                 QStringLiteral("TabSheet_OutCalStep%1").arg(i + 1));
        QVERIFY(!outCal->isTabVisible(i));
    }
}

void TestFormLayout::beforeAnyReplyOnlyLinkPanelAndLanguageButtonsShow()
{
    TForm_Main form(describedWindow());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QStringList visible;
    for (QWidget *w : form.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (w->isVisible()) visible << w->objectName();
    }
    visible.sort();
    QCOMPARE(visible, (QStringList{"MB1", "SpeedButton_Angol", "SpeedButton_Magyar"}));
    QVERIFY(!form.Timer_InCal->isActive());
    QCOMPARE(form.Timer_InCal->interval(), 1000);
}

void TestFormLayout::factoryViewShowsNoPlaceholdersBeforeAnyReply()
{
    FormEnvironment environment = describedWindow();
    environment.parameters = QStringList{QStringLiteral("/VARNEL")};
    TForm_Main form(environment);
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTRY_VERIFY(control<QWidget>(form, "GroupBox_System")->isVisible());
    // No control's own name, no reading nobody has taken, no bar at a value,
    // no wiring picture.
    for (const QLabel *label : form.findChildren<QLabel *>())
        QVERIFY2(label->text() != label->objectName(), qPrintable(label->objectName()));
    for (const QLabel *label : control<QWidget>(form, "GroupBox_System")->findChildren<QLabel *>())
        QVERIFY2(!label->isVisible() ||
                     !label->text().contains(QRegularExpression(QStringLiteral("\\d"))),
                 qPrintable(label->objectName() + u' ' + label->text()));
    QVERIFY(control<QLabel>(form, "Label_KalibralasDatuma")->text().isEmpty());
    for (const char *page :
         {"GroupBox_System", "TabSheet_Uzemmod", "TabSheet_KimenetEllenorzes", "TabSheet_Test"})
        for (const TMBarGraph *bar : control<QWidget>(form, page)->findChildren<TMBarGraph *>())
            QVERIFY2(!bar->showsValue() && !bar->valueText()->isShown(),
                     qPrintable(bar->objectName()));
    for (const char *name : {"Image_78", "Image_79", "Image_710", "Image_56", "Image_34"})
        QVERIFY2(!control<QWidget>(form, name)->isVisible(), name);
}

void TestFormLayout::valuesStayInsideTheirSpace()
{
    TForm_Main form(describedWindow());
    form.show();
    control<QWidget>(form, "GroupBox_System")->show();
    auto *pages = control<TPageControl>(form, "PageControl1");
    pages->show();
    pages->setActivePage(control<QWidget>(form, "TabSheet_Test"));
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    // The widest spread beside "Delta max.:" takes a smaller font, keeps its
    // last digit in place and leaves the caption alone.
    auto *delta = control<QLabel>(form, "Label_Delta0");
    const QLabel *caption = control<QLabel>(form, "Label21");
    const QFont described = delta->font();
    const int right = delta->geometry().right();
    delta->setText(QStringLiteral("4294 967 295"));
    QTRY_VERIFY(delta->font().pixelSize() < described.pixelSize());
    QCOMPARE(delta->text(), QStringLiteral("4294 967 295"));
    QCOMPARE(delta->width(), delta->fontMetrics().horizontalAdvance(delta->text()));
    QCOMPARE(delta->geometry().right(), right);
    QVERIFY(delta->x() > caption->x() + caption->fontMetrics().horizontalAdvance(caption->text()));

    // Too long even at the smallest size: elided within the frame, whole in
    // the tool tip; a fixed value display the same within its box.
    const QString huge = QString(40, u'3') + QStringLiteral(".0");
    auto *highest = control<QLabel>(form, "Label_MertHomersekletMax");
    auto *input = control<QLabel>(form, "Label_BemenoErtek2");
    const QSize inputSize = input->size();
    highest->setText(huge);
    input->setText(huge + QStringLiteral(" V"));
    QTRY_COMPARE(highest->toolTip(), huge);
    QTRY_COMPARE(input->toolTip(), huge + QStringLiteral(" V"));
    QVERIFY(highest->text().contains(QChar(0x2026)));
    QVERIFY(highest->geometry().right() < highest->parentWidget()->width());
    QCOMPARE(input->size(), inputSize);
    QVERIFY(input->fontMetrics().horizontalAdvance(input->text()) <= input->width());

    // An ordinary value again: the described font, whole, no tool tip.
    delta->setText(QStringLiteral("1 234"));
    highest->setText(QStringLiteral("25.0"));
    QTRY_COMPARE(delta->font(), described);
    QTRY_COMPARE(highest->text(), QStringLiteral("25.0"));
    QVERIFY(highest->toolTip().isEmpty());
    QCOMPARE(delta->geometry().right(), right);
}

void TestFormLayout::noValueRunsIntoItsNeighbours_data()
{
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<bool>("shownWhileDecoded");
    for (const char *page : {"TabSheet_Uzemmod", "TabSheet_KimenetEllenorzes", "TabSheet_Test"})
        for (const bool shown : {true, false})
            QTest::addRow("%s, %s", page, shown ? "shown" : "hidden") << QByteArray(page) << shown;
}

void TestFormLayout::noValueRunsIntoItsNeighbours()
{
    QFETCH(QByteArray, page);
    QFETCH(bool, shownWhileDecoded);
    WindowSetup setup({QStringLiteral("/VARNEL")}); // every page shown, Hungarian captions
    TForm_Main form(setup.environment());
    form.show();
    form.FormActivate(&form);
    formaccess::showPage(form, shownWhileDecoded ? page.constData() : "TabSheet_Trend");
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // Lowest then highest: the statistics span the whole 32-bit range.
    for (const bool highest : {false, true}) {
        formaccess::loadReply(form, replyData(extremeReply(highest)));
        form.DecodeInstrumentReply();
    }
    formaccess::showPage(form, page.constData());
    QWidget *sheet = control<QWidget>(form, page.constData());
    QTRY_VERIFY(sheet->isVisible());
    QCoreApplication::processEvents(); // the labels' pending fits

    // Within its frame, and clear of every label on its line.
    for (QWidget *area : {control<QWidget>(form, "GroupBox_System"), sheet}) {
        const QList<QLabel *> labels = area->findChildren<QLabel *>();
        for (const QLabel *a : labels) {
            if (!a->isVisible() || a->text().isEmpty()) continue;
            const auto [left, right] = textSpan(a);
            QVERIFY2(left >= 0 && right <= a->parentWidget()->width(), qPrintable(a->text()));
            for (const QLabel *b : labels) {
                const QRect x = a->geometry(), y = b->geometry();
                const int shared = std::min(x.bottom(), y.bottom()) - std::max(x.top(), y.top());
                if (b == a || b->parentWidget() != a->parentWidget() || !b->isVisible() ||
                    b->text().isEmpty() || shared * 2 < std::min(x.height(), y.height()))
                    continue;
                const auto [bLeft, bRight] = textSpan(b);
                QVERIFY2(right <= bLeft || bRight <= left,
                         qPrintable(a->text() + u'|' + b->text()));
            }
        }
    }
}

void TestFormLayout::windowSizeAndFont()
{
    TForm_Main form(describedWindow());
    QCOMPARE(form.size(), QSize(1050, 535));
    QCOMPARE(form.minimumSize(), form.size());
    QCOMPARE(form.maximumSize(), form.size());
    // The description's title gives way to the caption of the saved language.
    QCOMPARE(form.windowTitle(),
             QStringLiteral("Configuration software for KX4720R   V2013-10-09   Varnel Kft."));
    // Centred on the desktop, whatever position the description stores.
    QCOMPARE(form.frameGeometry().center(),
             QGuiApplication::primaryScreen()->availableGeometry().center());
    QCOMPARE(form.font().family(), QStringLiteral("Arial"));
    QCOMPARE(form.font().pixelSize(), 11);
    // Controls without a font of their own inherit the window font.
    auto *plain = control<QLabel>(form, "Label5");
    QCOMPARE(plain->font().pixelSize(), 11);
    QCOMPARE(plain->font().family(), QStringLiteral("Arial"));
    QVERIFY(!plain->font().bold());
    // The client area holds the page control and the language buttons.
    QVERIFY(form.rect().contains(control<QWidget>(form, "PageControl1")->geometry()));
    QVERIFY(form.rect().contains(control<QWidget>(form, "SpeedButton_Magyar")->geometry()));
}

void TestFormLayout::captionsFontsAndColours()
{
    TForm_Main form(describedWindow());
    auto *model = control<QLabel>(form, "Label_KeszulekAltipus");
    QCOMPARE(model->text(), QStringLiteral("Instrument: KX4720R"));
    const FontFacts modelFont = fontOf(model);
    QCOMPARE(modelFont.pixels, 16);
    QVERIFY(modelFont.bold);
    QCOMPARE(model->font().family(), QStringLiteral("Arial"));
    QCOMPARE(model->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);

    for (const char *name :
         {"Label_EEPROMHiba", "Label_ADNincsKalibralva", "Label_KimenetNincsKalibralva",
          "Label_ADOverflow", "Label_ADError", "Label_OutputRangeError"}) {
        auto *flag = control<QLabel>(form, name);
        QVERIFY2(flag->isHidden(), name);
        QVERIFY2(flag->autoFillBackground(), name);
        QCOMPARE(flag->palette().color(QPalette::WindowText), QColor(Qt::white));
        QCOMPARE(flag->palette().color(QPalette::Window), QColor(Qt::red));
        QCOMPARE(flag->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        QCOMPARE(fontOf(flag).pixels, 11);
    }
    auto *fram = control<QLabel>(form, "Label_EEPROMHiba");
    QCOMPARE(fram->text(), QStringLiteral("FRAM error"));
    // Shown, the flag really is white on red.
    control<QWidget>(form, "GroupBox_System")->show();
    fram->show();
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QImage flagImage = form.grab(QRect(fram->mapTo(&form, QPoint()), fram->size())).toImage();
    QCOMPARE(flagImage.pixelColor(1, 1), QColor(Qt::red));
    bool whiteText = false;
    for (int y = 0; y < flagImage.height() && !whiteText; ++y) {
        for (int x = 0; x < flagImage.width() && !whiteText; ++x)
            whiteText = flagImage.pixelColor(x, y) == QColor(Qt::white);
    }
    QVERIFY(whiteText);

    auto *pwm = control<QLabel>(form, "Label_BeallitottPWM");
    QCOMPARE(fontOf(pwm).pixels, 32);
    QVERIFY(fontOf(pwm).bold);
    QCOMPARE(pwm->font().family(), QStringLiteral("MS Sans Serif"));

    auto *framReset = control<TSpeedButton>(form, "SpeedButton_FRAMTorlesReset");
    QCOMPARE(framReset->text(), QString::fromUtf8("FRAM törlése -> Reset"));
    QVERIFY(fontOf(framReset).italic);
    QCOMPARE(fontOf(framReset).pixels, 11);

    auto *min0 = control<QLabel>(form, "Label_Min0");
    QCOMPARE(fontOf(min0).pixels, 16);
    QVERIFY(!fontOf(min0).bold);
    QCOMPARE(min0->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);

    QCOMPARE(control<QLabel>(form, "Label3")->text(),
             QString::fromUtf8("RAM1 (kalibrálás és beállítások): "));
    QCOMPARE(control<QGroupBox>(form, "GroupBox8")->title(),
             QString::fromUtf8("Csak a Varnelra tartozó adatok"));
    QCOMPARE(control<QPushButton>(form, "Button_MinMaxTorles0")->text(),
             QString::fromUtf8("Törlés"));
    QCOMPARE(control<QLabel>(form, "Label63")->text(),
             QStringLiteral("Step 1/7: Change the PWM value until Iout = 4 mA"));
    QCOMPARE(fontOf(control<QLabel>(form, "Label_InputCalibration1")).pixels, 13);
}

void TestFormLayout::speedButtonGroupsAndStates()
{
    TForm_Main form(describedWindow());
    struct Expect {
        const char *name;
        int group;
        bool allowAllUp;
        bool down;
    };
    const Expect buttons[] = {
        {"SpeedButton_Angol", 30, false, true},
        {"SpeedButton_Magyar", 30, false, false},
        {"SpeedButton_Reset", 5, true, false},
        {"SpeedButton_ReadSettings", 101, true, true},
        {"SpeedButton_WriteSettings", 101, true, false},
        {"SpeedButton_ADCalBeiras", 100, true, false},
        {"SpeedButton_Test4mA", 8, false, false},
        {"SpeedButton_Test12mA", 8, false, true},
        {"SpeedButton_Test20mA", 8, false, false},
        {"SpeedButton_Test2V", 9, false, false},
        {"SpeedButton_Test6V", 9, false, true},
        {"SpeedButton_Test10V", 9, false, false},
        {"SpeedButton_WriteOutputCalibrationToKX", 9, true, false},
        {"SpeedButton_HomersekletMinMaxTorlese", 5, true, false},
        {"SpeedButton_FRAMTorlesReset", 5, true, false},
        {"SpeedButton_InputCalibrationNext", 0, false, false},
    };
    for (const Expect &e : buttons) {
        auto *b = control<TSpeedButton>(form, e.name);
        QVERIFY2(b, e.name);
        QVERIFY2(b->GroupIndex() == e.group, e.name);
        QVERIFY2(b->AllowAllUp() == e.allowAllUp, e.name);
        QVERIFY2(b->Down() == e.down, e.name);
    }
    // Group 9 on the last step is another parent's group: it does not
    // release the 6 V test point.
    QVERIFY(control<TSpeedButton>(form, "SpeedButton_Test6V")->groupMates().size() == 2);
    // The Back and Next buttons carry their drawings and no caption.
    for (const char *name :
         {"SpeedButton_InputCalibrationBack", "SpeedButton_InputCalibrationNext",
          "SpeedButton_OutputCalibrationBack", "SpeedButton_OutputCalibrationNext"}) {
        auto *b = control<TSpeedButton>(form, name);
        QVERIFY2(!b->Glyph().isNull(), name);
        QVERIFY2(b->text().isEmpty(), name);
    }
    QVERIFY(control<TSpeedButton>(form, "SpeedButton_InputCalibrationBack")->isHidden());
    QVERIFY(control<TSpeedButton>(form, "SpeedButton_OutputCalibrationBack")->isHidden());
    QVERIFY(control<TSpeedButton>(form, "SpeedButton_ADCalBeiras")->isHidden());
}

void TestFormLayout::radioGroupsTrackBarsAndEdits()
{
    TForm_Main form(describedWindow());
    struct Expect {
        const char *name;
        const char *title;
        QStringList items;
    };
    const Expect groups[] = {
        {"RadioGroup_BemenetTipusa", "Input signal", {"Current", "Voltage"}},
        {"RadioGroup_KimenetTipusa", "Output signal", {"Current", "Voltage"}},
        {"RadioGroup_GainForce",
         "Gain Force",
         {"Force Off", "Au = 1", "Au = 2", "Au = 4", "Au = 8", "Au = 16", "Au = 32"}},
        {"RadioGroup_GainForceCH", "Channel Force", {"CH0", "CH1"}},
        {"RadioGroup_DividerForce",
         "CH1 Divider Force",
         {"Force Off", "Minimum Division", "Medium Division", "Maximum Division"}},
        {"RadioGroup_MereshatarForce",
         "Range Force",
         {"Force Off", "150 mV", "450 mV", "2,3 V", "10 V", "40 V", "100 V", "20 mA"}},
    };
    for (const Expect &e : groups) {
        auto *g = control<TRadioGroup>(form, e.name);
        QVERIFY2(g, e.name);
        QCOMPARE(g->title(), QString::fromLatin1(e.title));
        QCOMPARE(g->Items(), e.items);
        QCOMPARE(g->ItemIndex(), 0);
    }
    auto *pwm = control<TTrackBar>(form, "TrackBar_PWM");
    QCOMPARE(pwm->Min(), 0);
    QCOMPARE(pwm->Max(), 100);
    QCOMPARE(pwm->PageSize(), 10);
    QCOMPARE(pwm->Position(), 0);
    auto *check = control<TTrackBar>(form, "TrackBar_OutCheck");
    QCOMPARE(check->Max(), 20);
    QCOMPARE(check->orientation(), Qt::Horizontal);

    QCOMPARE(control<QLineEdit>(form, "Edit_InputLow")->text(), QStringLiteral("4"));
    QCOMPARE(control<QLineEdit>(form, "Edit_InputHigh")->text(), QStringLiteral("20"));
    QCOMPARE(control<QLineEdit>(form, "Edit_OutputLow")->text(), QStringLiteral("4"));
    QCOMPARE(control<QLineEdit>(form, "Edit_OutputHigh")->text(), QStringLiteral("20"));
    // Tab order inside the input frame: low edit, signal type, high edit.
    auto *low = control<QWidget>(form, "Edit_InputLow");
    auto *type = control<QWidget>(form, "RadioGroup_BemenetTipusa");
    QCOMPARE(low->nextInFocusChain(), type);
}

void TestFormLayout::tabKeyReachesEachSignalTypeBetweenItsEdits()
{
    // The window replaced the items at creation (its saved language); a
    // switch replaces them again, and an output type list of three once more.
    TForm_Main form(describedWindow());
    form.show();
    control<QWidget>(form, "PageControl1")->show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    control<TSpeedButton>(form, "SpeedButton_Magyar")->click();
    auto *output = control<TRadioGroup>(form, "RadioGroup_KimenetTipusa");
    output->setItems({"a", "b", "c"});
    QTRY_VERIFY(output->button(2)->isVisible());

    // Tab: low edit, the signal type group (one stop, on its checked button,
    // so Space keeps the choice; the arrows move within it), high edit; and
    // back again onto the checked button, wherever the arrows left the focus.
    const char *const frames[][3] = {
        {"Edit_InputLow", "RadioGroup_BemenetTipusa", "Edit_InputHigh"},
        {"Edit_OutputLow", "RadioGroup_KimenetTipusa", "Edit_OutputHigh"}};
    // The focus after each key.
    const auto press = [](Qt::Key key) {
        QTest::keyClick(QApplication::focusWidget(), key);
        return QApplication::focusWidget();
    };
    for (const auto &[low, group, high] : frames) {
        auto *types = control<TRadioGroup>(form, group);
        for (const int checked : {1, 0}) {
            types->setItemIndex(checked);
            control<QWidget>(form, low)->setFocus(Qt::TabFocusReason);
            QTRY_COMPARE(QApplication::focusWidget(), control<QWidget>(form, low));
            QCOMPARE(press(Qt::Key_Tab), types->button(checked));
            press(Qt::Key_Space);
            QCOMPARE(types->ItemIndex(), checked);
            QCOMPARE(press(checked == 0 ? Qt::Key_Down : Qt::Key_Up), types->button(1 - checked));
            QCOMPARE(press(Qt::Key_Tab), control<QWidget>(form, high));
            QCOMPARE(press(Qt::Key_Backtab), types->button(checked));
        }
    }
}

void TestFormLayout::barGraphsStoredProperties()
{
    TForm_Main form(describedWindow());
    struct Expect {
        const char *name;
        TMBGMode mode;
        TColor minus1, plus1;
        bool showText;
        TMBGTextPosition position;
        int textLeft, textTop, decimals;
    };
    using M = TMBGMode;
    using P = TMBGTextPosition;
    const Expect graphs[] = {
        {"MBarGraph_AD", M::modeSigned, 0xC080FF, 0xC080FF, false, P::tpAuto, 10, 6, 0},
        {"MBarGraph_ADSzurt", M::modeSigned, 0xC080FF, 0xC080FF, false, P::tpAuto, 10, 6, 0},
        {"MBarGraph_AD2", M::modeSigned, 0xFFFF00, 0xFFFF00, false, P::tpAuto, 10, 6, 0},
        {"MBarGraph_AD2Szurt", M::modeSigned, 0xFFFF00, 0xFFFF00, false, P::tpAuto, 10, 6, 0},
        {"MBarGraph_SkalaSzazalek", M::modeUnsigned, 0xFF0000, 0x00FFFF, true, P::tpAuto, 0, 0, 1},
        {"MBarGraph_OutputCalibration", M::modeUnsigned, 0xFF0000, 0x0080FF, true, P::tpAuto, 0, 0,
         0},
        {"MBarGraph_PWM", M::modeUnsigned, 0xFF0000, 0x0080FF, true, P::tpAuto, 0, 0, 0},
        {"MBarGraph_Delta0", M::modeUnsigned, 0xFF0000, 0x00FFFF, false, P::tpInside, 10, 6, 0},
        {"MBarGraph_Delta1", M::modeUnsigned, 0xFF0000, 0x00FFFF, false, P::tpInside, 10, 6, 0},
        {"MBarGraph_PWM2", M::modeUnsigned, 0xFF0000, 0x00FFFF, true, P::tpAuto, 0, 0, 1},
    };
    QCOMPARE(form.findChildren<TMBarGraph *>().size(), 10);
    for (const Expect &e : graphs) {
        auto *g = control<TMBarGraph>(form, e.name);
        QVERIFY2(g, e.name);
        QCOMPARE(g->MBGOrientation(), TMBGOrientation::orientationHorizontal);
        QCOMPARE(g->MBGValue(), 0.5);
        QCOMPARE(g->MBGMinusColorAt0(), TColor(0xFFFFFF));
        QCOMPARE(g->MBGPlusColorAt0(), TColor(0xFFFFFF));
        QCOMPARE(g->MBGMinusColorAt1(), e.minus1);
        QCOMPARE(g->MBGPlusColorAt1(), e.plus1);
        QCOMPARE(g->MBGMode(), e.mode);
        QCOMPARE(g->MBGShowText(), e.showText);
        QVERIFY(!g->MBGInverseText());
        QCOMPARE(g->MBGTextPosition(), e.position);
        QCOMPARE(g->MBGTextLeft(), e.textLeft);
        QCOMPARE(g->MBGTextTop(), e.textTop);
        QCOMPARE(g->MBGDecimals(), e.decimals);
        QCOMPARE(g->minimumSize(), QSize(30, 6));
        QCOMPARE(g->frameShadow(), QFrame::Sunken);
    }
}

void TestFormLayout::linkPanelStoredProperties()
{
    TForm_Main form(describedWindow());
    auto *mb1 = control<TMB>(form, "MB1");
    QCOMPARE(mb1->title(), QStringLiteral("MB Master V2013-06-18"));
    QCOMPARE(mb1->minimumSize(), QSize(157, 185));
    QCOMPARE(mb1->maximumSize(), QSize(157, 185));
    QCOMPARE(mb1->property("MBMasterTimeOut").toInt(), 1000);
    QCOMPARE(mb1->property("MBMasterMaxTryNumber").toInt(), 5);
    QCOMPARE(mb1->property("MBMasterAddressToSlave").toInt(), 1);
    QCOMPARE(mb1->property("MBMasterIDToSlave").toInt(), 0);
    QVERIFY(mb1->property("MBRefreshListOnStartup").toBool());
    // The description's last used port (COM24) gives way to the one the
    // initialisation file keeps, none here.
    QCOMPARE(mb1->property("MBLastUsedPort").toString(), QString());
}

void TestFormLayout::listBoxRowsAndCentredMemo()
{
    TForm_Main form(describedWindow());
    auto *list = control<QListWidget>(form, "ListBox_InputCalibrated");
    QCOMPARE(fontOf(list).pixels, 13);
    QVERIFY(fontOf(list).bold);
    list->addItem(QStringLiteral("LV zero CH0"));
    list->addItem(QStringLiteral("LV full scale CH0"));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(list->visualItemRect(list->item(1)).height(), 16);
    QCOMPARE(list->visualItemRect(list->item(1)).top() - list->visualItemRect(list->item(0)).top(),
             16);

    auto *memo = control<QPlainTextEdit>(form, "Memo_InputCalibration2");
    QCOMPARE(memo->toPlainText(), QStringLiteral("Memo_InputCalibration2"));
    QCOMPARE(memo->document()->defaultTextOption().alignment() & Qt::AlignHorizontal_Mask,
             Qt::AlignHCenter);
    QCOMPARE(fontOf(memo).pixels, 12);
}

void TestFormLayout::autoSizeLabelsFollowTheirText()
{
    TForm_Main form(describedWindow());
    auto *working = control<QLabel>(form, "Label5");
    auto *flag = control<QLabel>(form, "Label_EEPROMHiba");
    const QRect before = working->geometry();
    working->setText(QStringLiteral("Working time of the instrument so far:"));
    flag->setText(QStringLiteral("A much longer FRAM error text"));
    fitAutoSizeLabels(&form);
    QCOMPARE(working->pos(), before.topLeft());
    QCOMPARE(working->height(), before.height());
    QCOMPARE(working->width(), working->fontMetrics().horizontalAdvance(working->text()));
    QVERIFY(working->width() > before.width());
    // A label of fixed size keeps its size.
    QCOMPARE(flag->size(), QSize(66, 15));

    // Shown, the labels follow later texts by themselves: the firmware date
    // the reply writes must not be cut to its stored width.
    form.show();
    control<QGroupBox>(form, "GroupBox_System")->show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto *firmware = control<QLabel>(form, "Label_FormverVerzio");
    const QPoint firmwareAt = firmware->pos();
    firmware->setText(QStringLiteral("V2013-06-18"));
    QTRY_COMPARE(firmware->width(), firmware->fontMetrics().horizontalAdvance(firmware->text()));
    QCOMPARE(firmware->pos(), firmwareAt);
    // A right-justified one grows to the left, keeping its last digit in
    // place, also when its text changed while its page was hidden.
    auto *minimum = control<QLabel>(form, "Label_Min0");
    QVERIFY(minimum->alignment() & Qt::AlignRight);
    QVERIFY(minimum->property("autoSize").toBool());
    const int right = minimum->geometry().right();
    minimum->setText(QStringLiteral("-8 388 607"));
    auto *pages = control<TPageControl>(form, "PageControl1");
    pages->show();
    pages->setActivePage(control<QWidget>(form, "TabSheet_Test"));
    QTRY_COMPARE(minimum->width(), minimum->fontMetrics().horizontalAdvance(minimum->text()));
    QCOMPARE(minimum->geometry().right(), right);
}

QTEST_MAIN(TestFormLayout)
#include "tst_formlayout.moc"
