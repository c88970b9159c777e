// The program's main window: instrument exchange, scale settings and the
// factory-level calibration and test pages. The controls come from the
// window description ui/form_main.ui; the handlers live in the form_*.cpp
// files, one per area of the window's work, and hand whole groups of work
// to the collaborators below (the reply display, the scale group, the
// wizards' pages, the caption writer).
#pragma once

#include <QChar>
#include <QDate>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/commandline.h"
#include "app/inifile.h"
#include "core/connected_unit.h"
#include "core/instrument_exchange.h"
#include "core/page_forcing.h"
#include "core/request_state.h"
#include "link/mbtypes.h"
#include "ui/captions.h"

#include <QStringList>
#include <optional>

class QTimer;
class TSpeedButton;
class TrendPage;
class VerificationPage;
class SettingsFileActions;
class CalibrationRecorder;
class ReplyDisplay;
class ScaleGroup;
class OutputCalibrationView;
class WindowCaptions;
class InputCalibrationView;

namespace Ui {
class TForm_Main;
}

// Where a main window keeps its initialisation file and which command-line
// parameters it consults. The program leaves both empty and gets its own
// file and parameters; tests give a temporary file and parameters of theirs.
struct FormEnvironment {
    std::optional<IniFile> iniFile;        // default: IniFile::forThisProgram()
    std::optional<QStringList> parameters; // default: the program's parameters
};

class TForm_Main : public QWidget {
    Q_OBJECT
public:
    explicit TForm_Main(QWidget *parent = nullptr);
    explicit TForm_Main(FormEnvironment environment, QWidget *parent = nullptr);
    ~TForm_Main() override;

    // Every control of the description, by its name.
    std::unique_ptr<Ui::TForm_Main> ui;
    // Paces the input calibration wizard; created disabled.
    QTimer *Timer_InCal = nullptr;

    // Window life cycle and the exchange cycle (form_cycle.cpp).
    void FormCreate(QObject *Sender);
    void FormActivate(QObject *Sender);
    void FormClose(QObject *Sender);
    void MB1MBPortOpenedOrClosed(QObject *Sender, bool MBbPortOpen);
    void MB1MBMasterEndOfEvent(QObject *Sender, TMBStatus MBStatus, const QString &MBStatusString);
    void PageControl1Change(QObject *Sender);

    // --- window life cycle, view and caption languages ---
    // (form_cycle.cpp, form_language.cpp)
    void LoadIniSettings();
    // A failed save is returned, never raised: closing goes on regardless.
    IniSaveResult SaveIniSettings();
    // What SaveIniSettings() would write now, without the date; it changes
    // with the language and the port opened (iniSettingsChanged()).
    IniSettings iniSettings() const;
    void UpdateWindowCaption();
    void CheckAccessSwitch();
    void ApplyAccessView();
    // The language routine: fills the caption store from the set the name
    // selects and writes it into the window.
    void ApplyLanguage(const QString &languageName);
    // True while the factory-level view is in force.
    bool FactoryLevel() const { return m_factoryLevel; }
    // The model shown in Label_KeszulekAltipus.
    const QString &ModelName() const { return m_modelName; }
    // The current language name, lower case, as the initialisation file keeps it.
    const QString &GsSelectedLanguage() const { return m_languageName; }
    // The 39 texts in use; the reply decoder takes the working-time words from here.
    const CaptionStore &captions() const { return m_captions; }

    // The instrument request and reply (form_request.cpp, form_reply.cpp).
    // The exchange on MB1's engine builds the request, decodes each reply
    // once and tells the unit of the connection, the calibration records,
    // the displays and the trend, in that order.
    InstrumentExchange &instrumentExchange() const { return *m_exchange; }
    void SendInstrumentRequest();
    // Shows what MB1's reply buffer holds, as the exchange decodes it.
    void DecodeInstrumentReply();
    // Shows one decoded reply.
    void DecodeInstrumentReply(const ExchangeReply &decoded);

    // --- instrument request and reply ---
    // The last reply's type codes (100 current, 101 voltage) and stored
    // scale, which the settings group loads on request.
    quint8 InputType = 0;
    quint8 OutputType = 0;
    double StoredInputLow = 0.0;
    double StoredInputHigh = 0.0;
    double StoredOutputLow = 0.0;
    double StoredOutputHigh = 0.0;
    // Brings InputLow ... OutputHigh up to date from the scale edits.
    void RefreshScaleValues();
    // Loads the last reply's types and stored scale into the settings group
    // and releases SpeedButton_ReadSettings (the scale group loads them).
    void LoadStoredSettings();
    // The PC's local date as the request carries it; tests set a fixed one.
    std::function<QDate()> CurrentLocalDate = [] { return QDate::currentDate(); };
    // The scale values the request carries, from the edits.
    double InputLow = 0.0;
    double InputHigh = 0.0;
    double OutputLow = 0.0;
    double OutputHigh = 0.0;
    // The last decoded reply's remaining fields.
    qint32 ADValueCH0 = 0;
    qint32 ADValueCH1 = 0;
    quint8 StatusBits = 0;
    quint8 InputRange = 0;
    double InputValue = 0.0;
    double OutputRatio = 0.0;
    int GainCH0 = 0;
    int GainCH1 = 0;
    int DividerCH1 = 0;
    int ErrorNumber = 0;
    int ADSamplesPerSecond = 0;
    int PWMValue = 0;
    double Temperature = 0.0;
    double TemperatureMin = 0.0;
    double TemperatureMax = 0.0;
    double ScaleRatio = 0.0;
    quint8 SpareByte = 0;
    double SpareReal = 0.0;
    // --- end of instrument request and reply ---

    // Scale settings (form_scale.cpp).
    void Edit_InputLowExit(QObject *Sender);
    void Edit_OutputLowExit(QObject *Sender);
    void Edit_InputLowKeyPress(QObject *Sender, QChar &Key);
    void Edit_InputHighKeyPress(QObject *Sender, QChar &Key);
    void Edit_OutputLowKeyPress(QObject *Sender, QChar &Key);
    void Edit_OutputHighKeyPress(QObject *Sender, QChar &Key);
    void RadioGroup_BemenetTipusaClick(QObject *Sender);
    void RadioGroup_KimenetTipusaClick(QObject *Sender);
    void Button_GyariAlapSkalaClick(QObject *Sender);

    // Input calibration wizard (form_incal.cpp).
    void SpeedButton_InputCalibrationNextClick(QObject *Sender);
    void Timer_InCalTimer(QObject *Sender);
    // One tick of the wizard; the page change runs it at once on entry.
    void InCalStep();

    // Output calibration wizard (form_outcal.cpp).
    void SpeedButton_OutputCalibrationBackClick3(QObject *Sender);
    void SpeedButton_OutputCalibrationNextClick2(QObject *Sender);
    void Button1Click2(QObject *Sender);
    void Button2Click2(QObject *Sender);
    void Button3Click2(QObject *Sender);
    void Button4Click2(QObject *Sender);
    void Button5Click2(QObject *Sender);
    void Button6Click2(QObject *Sender);
    void Button7Click2(QObject *Sender);
    void Button8Click2(QObject *Sender);
    void Button9Click2(QObject *Sender);
    void Button10Click2(QObject *Sender);
    void TrackBar_PWMChange(QObject *Sender);
    void Button_Out0Click2(QObject *Sender);
    void Button_OutVegertekClick2(QObject *Sender);
    void Button_Out50PercentsClick(QObject *Sender);
    void SpeedButton_Test4mAClick2(QObject *Sender);
    void SpeedButton_Test12mAClick2(QObject *Sender);
    void SpeedButton_Test20mAClick2(QObject *Sender);
    void SpeedButton_Test2VClick2(QObject *Sender);
    void SpeedButton_Test6VClick2(QObject *Sender);
    void SpeedButton_Test10VClick2(QObject *Sender);

    // Output check page (form_outcheck.cpp).
    void TrackBar_OutCheckChange(QObject *Sender);
    void Button_OutCheckMinClick(QObject *Sender);
    void Button_OutCheckMaxClick(QObject *Sender);
    void Button_OutCheckMeanClick(QObject *Sender);

    // Test page (form_testpage.cpp).
    void Button_MinMaxTorles0Click(QObject *Sender);
    void Button_MinMaxTorles1Click(QObject *Sender);
    void RadioGroup_MereshatarForceClick(QObject *Sender);

    // --- scale settings, output check and test page ---
    // Loads stored settings given as type codes (100 current, 101 voltage)
    // and the four scale values; LoadStoredSettings() passes the last
    // decoded reply's. A type code below 100 marks a reply that holds no
    // settings (empty or cut short): the group is then left as it was and
    // the read stays pending for the next reply.
    void LoadStoredSettings(int inputType, int outputType, double inputLow, double inputHigh,
                            double outputLow, double outputHigh);
    // The settings group as typed: the type selections and the four values,
    // none where an edit holds no number.
    ScaleEntry scaleEntry() const;
    // --- end of scale settings, output check and test page ---

    // Caption languages (form_language.cpp).
    void SpeedButton_AngolClick(QObject *Sender);

    // Settings files and calibration records (form_settingsfile.cpp,
    // form_calrecord.cpp), made with the window.
    SettingsFileActions *settingsFiles = nullptr;
    CalibrationRecorder *calibrationRecords = nullptr;
    // The unit on the line in this connection (form_records.cpp): what it
    // was found in, what it holds, its serial number.
    ConnectedUnit connectedUnit;

    // --- shared window variables ---
    int PWMSetpoint = 0;
    int PWMForce = 0;
    qint32 InCalLow1 = 0;
    qint32 InCalLow2 = 0;
    qint32 InCalLow3 = 0;
    qint32 InCalLow4 = 0;
    qint32 InCalLow5 = 0;
    qint32 InCalLow6 = 0;
    qint32 InCalLow7 = 0;
    qint32 InCalHigh1 = 0;
    qint32 InCalHigh2 = 0;
    qint32 InCalHigh3 = 0;
    qint32 InCalHigh4 = 0;
    qint32 InCalHigh5 = 0;
    qint32 InCalHigh6 = 0;
    qint32 InCalHigh7 = 0;
    int OutCalPWM4mA = 0;
    int OutCalPWM20mA = 65535;
    int OutCalPWM2V = 0;
    int OutCalPWM10V = 65535;
    qint32 ADAveragedCH0 = 0;
    qint32 ADAveragedCH1 = 0;
    qint32 MinCH0 = 0;
    qint32 MaxCH0 = 0;
    qint32 PrevCH0 = 0;
    qint32 MinCH1 = 0;
    qint32 MaxCH1 = 0;
    qint32 PrevCH1 = 0;

    // --- calibration wizards ---
    // Input wizard: its state (0 = finished or not started; 10, 20 ... 140
    // show a step, one more waits for Next; 150 closes) and the Next flag.
    qint32 InCalState = 0;
    bool InCalNextPressed = false;
    // Output wizard: the current step 1 ... 7, and its page's view.
    int OutCalStep() const;
    OutputCalibrationView &outputCalibration() const { return *m_outCal; }

    // --- trend page (form_trend.cpp) ---
    TrendPage *TabSheet_Trend = nullptr;
    void createTrendPage();
    void trendApplyView();
    void trendApplyLanguage();
    // --- end of trend page ---

    // --- verification page and the store buttons' check (form_verify_window.cpp) ---
    VerificationPage *TabSheet_Verification = nullptr;
    void createVerificationPage();
    void confirmCalibrationStore(TSpeedButton *button, bool output);
    void verificationApplyLanguage();
    std::function<bool(QWidget *, const QString &, const QString &)> askStoreAnyway;

signals:
    void iniSettingsChanged();

protected:
    bool event(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    // --- window life cycle, view and caption languages ---
    void showExchangePanels(bool visible);
    void refreshFactoryView();
    IniFile iniFile() const;
    QStringList commandLine() const;

    // What the next request carries, from the controls and variables as they are.
    RequestState requestState() const;
    // Which of the pages the forcing rules tell apart a page of PageControl1 is.
    InstrumentPage instrumentPage(const QWidget *page) const;

    FormEnvironment m_environment;
    bool m_factoryLevel = false;
    QString m_modelName = kModelName;
    QString m_languageName;
    CaptionStore m_captions;
    InstrumentExchange *m_exchange = nullptr;
    // The collaborators the handlers give their work to.
    std::unique_ptr<ReplyDisplay> m_replyDisplay;
    ScaleGroup *m_scale = nullptr;
    std::unique_ptr<OutputCalibrationView> m_outCal;
    std::unique_ptr<WindowCaptions> m_windowCaptions;
    std::unique_ptr<InputCalibrationView> m_inCal;

    void wireEvents();
    void wireFactoryPageEvents();
    void centreOnScreen();
    // The controls and the watcher of settings files and calibration
    // records, and their captions in the current language (form_records.cpp).
    void createFileControls();
    void applyFileCaptions();

    // Connects a control's event to a handler that, like all of this
    // window's handlers, is told which control raised it.
    template <class Control, class Signal, class... Args>
    void wire(Control *control, Signal signal, void (TForm_Main::*handler)(QObject *, Args...))
    {
        connect(control, signal, this,
                [this, control, handler](Args... args) { (this->*handler)(control, args...); });
    }
};
