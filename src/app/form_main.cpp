// Builds the main window from its description and wires the controls'
// events to the window's handlers.
#include "app/form_main.h"
#include "app/incal_view.h"
#include "app/outcal_view.h"
#include "app/reply_display.h"
#include "app/scale_group.h"
#include "app/window_captions.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "ui/formextras.h"
#include "ui/opaquelabels.h"
#include "ui/pictures.h"
#include "ui_form_main.h"

TForm_Main::TForm_Main(QWidget *parent) : TForm_Main(FormEnvironment{}, parent) {}

TForm_Main::TForm_Main(FormEnvironment environment, QWidget *parent)
    : QWidget(parent), ui(std::make_unique<Ui::TForm_Main>()), m_environment(std::move(environment))
{
    initPictures();
    ui->setupUi(this);
    applyFormExtras(this);
    fitAutoSizeLabels(this);
    m_replyDisplay = std::make_unique<ReplyDisplay>(*this);
    m_replyDisplay->showNoReadingsYet();

    // The window and its controls are painted in the button-face colour.
    // Controls with a colour of their own (the red flags) keep it.
    QPalette face = palette();
    face.setColor(QPalette::Window, face.color(QPalette::Button));
    setPalette(face);
    // Values change with every reply: a label that fills its own background
    // spares the repainting of the group boxes and pages beneath it.
    applyOpaqueLabels(this);

    Timer_InCal = new QTimer(this);
    Timer_InCal->setObjectName(QStringLiteral("Timer_InCal"));
    Timer_InCal->setInterval(1000);

    m_exchange = new InstrumentExchange(ui->MB1->engine(), this);
    m_scale = new ScaleGroup(*ui, this);
    m_outCal = std::make_unique<OutputCalibrationView>(
        *ui, OutputCalibrationValues{PWMSetpoint, PWMForce, OutCalPWM4mA, OutCalPWM20mA,
                                     OutCalPWM2V, OutCalPWM10V});
    m_windowCaptions = std::make_unique<WindowCaptions>(*this, *ui);
    m_inCal = std::make_unique<InputCalibrationView>(*this);
    // The calibration recorder reads each reply and the request it answers
    // before the window shows it and sends the next request.
    createFileControls();
    wireEvents();
    createTrendPage();
    createVerificationPage();
    centreOnScreen();
    FormCreate(this);
}

TForm_Main::~TForm_Main() = default;

void TForm_Main::wireEvents()
{
    wire(ui->SpeedButton_Angol, &TSpeedButton::OnClick, &TForm_Main::SpeedButton_AngolClick);
    wire(ui->SpeedButton_Magyar, &TSpeedButton::OnClick, &TForm_Main::SpeedButton_AngolClick);
    wire(ui->PageControl1, &TPageControl::OnChange, &TForm_Main::PageControl1Change);
    wire(ui->MB1, &TMB::OnMBPortOpenedOrClosed, &TForm_Main::MB1MBPortOpenedOrClosed);
    wire(ui->MB1, &TMB::OnMBMasterEndOfEvent, &TForm_Main::MB1MBMasterEndOfEvent);
    connect(m_exchange, &InstrumentExchange::replyDecoded, this,
            qOverload<const ExchangeReply &>(&TForm_Main::DecodeInstrumentReply));

    wire(ui->Edit_InputLow, &TEdit::OnExit, &TForm_Main::Edit_InputLowExit);
    wire(ui->Edit_InputHigh, &TEdit::OnExit, &TForm_Main::Edit_InputLowExit);
    wire(ui->Edit_OutputLow, &TEdit::OnExit, &TForm_Main::Edit_OutputLowExit);
    wire(ui->Edit_OutputHigh, &TEdit::OnExit, &TForm_Main::Edit_OutputLowExit);
    wire(ui->Edit_InputLow, &TEdit::OnKeyPress, &TForm_Main::Edit_InputLowKeyPress);
    wire(ui->Edit_InputHigh, &TEdit::OnKeyPress, &TForm_Main::Edit_InputHighKeyPress);
    wire(ui->Edit_OutputLow, &TEdit::OnKeyPress, &TForm_Main::Edit_OutputLowKeyPress);
    wire(ui->Edit_OutputHigh, &TEdit::OnKeyPress, &TForm_Main::Edit_OutputHighKeyPress);
    wire(ui->RadioGroup_BemenetTipusa, &TRadioGroup::OnClick,
         &TForm_Main::RadioGroup_BemenetTipusaClick);
    wire(ui->RadioGroup_KimenetTipusa, &TRadioGroup::OnClick,
         &TForm_Main::RadioGroup_KimenetTipusaClick);
    wire(ui->Button_GyariAlapSkala, &QPushButton::clicked, &TForm_Main::Button_GyariAlapSkalaClick);
    wireFactoryPageEvents();
}

// The calibration, output check and test pages of the factory-level view.
void TForm_Main::wireFactoryPageEvents()
{
    wire(ui->SpeedButton_InputCalibrationNext, &TSpeedButton::OnClick,
         &TForm_Main::SpeedButton_InputCalibrationNextClick);
    wire(Timer_InCal, &QTimer::timeout, &TForm_Main::Timer_InCalTimer);

    wire(ui->SpeedButton_OutputCalibrationBack, &TSpeedButton::OnClick,
         &TForm_Main::SpeedButton_OutputCalibrationBackClick3);
    wire(ui->SpeedButton_OutputCalibrationNext, &TSpeedButton::OnClick,
         &TForm_Main::SpeedButton_OutputCalibrationNextClick2);
    wire(ui->Button1, &QPushButton::clicked, &TForm_Main::Button1Click2);
    wire(ui->Button2, &QPushButton::clicked, &TForm_Main::Button2Click2);
    wire(ui->Button3, &QPushButton::clicked, &TForm_Main::Button3Click2);
    wire(ui->Button4, &QPushButton::clicked, &TForm_Main::Button4Click2);
    wire(ui->Button5, &QPushButton::clicked, &TForm_Main::Button5Click2);
    wire(ui->Button6, &QPushButton::clicked, &TForm_Main::Button6Click2);
    wire(ui->Button7, &QPushButton::clicked, &TForm_Main::Button7Click2);
    wire(ui->Button8, &QPushButton::clicked, &TForm_Main::Button8Click2);
    wire(ui->Button9, &QPushButton::clicked, &TForm_Main::Button9Click2);
    wire(ui->Button10, &QPushButton::clicked, &TForm_Main::Button10Click2);
    wire(ui->TrackBar_PWM, &TTrackBar::OnChange, &TForm_Main::TrackBar_PWMChange);
    wire(ui->Button_Out0, &QPushButton::clicked, &TForm_Main::Button_Out0Click2);
    wire(ui->Button_OutVegertek, &QPushButton::clicked, &TForm_Main::Button_OutVegertekClick2);
    wire(ui->Button_Out50Percents, &QPushButton::clicked, &TForm_Main::Button_Out50PercentsClick);
    wire(ui->SpeedButton_Test4mA, &TSpeedButton::OnClick, &TForm_Main::SpeedButton_Test4mAClick2);
    wire(ui->SpeedButton_Test12mA, &TSpeedButton::OnClick, &TForm_Main::SpeedButton_Test12mAClick2);
    wire(ui->SpeedButton_Test20mA, &TSpeedButton::OnClick, &TForm_Main::SpeedButton_Test20mAClick2);
    wire(ui->SpeedButton_Test2V, &TSpeedButton::OnClick, &TForm_Main::SpeedButton_Test2VClick2);
    wire(ui->SpeedButton_Test6V, &TSpeedButton::OnClick, &TForm_Main::SpeedButton_Test6VClick2);
    wire(ui->SpeedButton_Test10V, &TSpeedButton::OnClick, &TForm_Main::SpeedButton_Test10VClick2);

    wire(ui->TrackBar_OutCheck, &TTrackBar::OnChange, &TForm_Main::TrackBar_OutCheckChange);
    wire(ui->Button_OutCheckMin, &QPushButton::clicked, &TForm_Main::Button_OutCheckMinClick);
    wire(ui->Button_OutCheckMax, &QPushButton::clicked, &TForm_Main::Button_OutCheckMaxClick);
    wire(ui->Button_OutCheckMean, &QPushButton::clicked, &TForm_Main::Button_OutCheckMeanClick);

    wire(ui->Button_MinMaxTorles0, &QPushButton::clicked, &TForm_Main::Button_MinMaxTorles0Click);
    wire(ui->Button_MinMaxTorles1, &QPushButton::clicked, &TForm_Main::Button_MinMaxTorles1Click);
    wire(ui->RadioGroup_MereshatarForce, &TRadioGroup::OnClick,
         &TForm_Main::RadioGroup_MereshatarForceClick);
}

void TForm_Main::centreOnScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

bool TForm_Main::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate) FormActivate(this);
    return QWidget::event(e);
}

void TForm_Main::closeEvent(QCloseEvent *e)
{
    FormClose(this);
    QWidget::closeEvent(e);
}
