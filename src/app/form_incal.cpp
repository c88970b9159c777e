// The input calibration wizard: fourteen converter points captured one by one
// while the instrument's gain, channel and CH1 divider are forced for each.
#include "app/form_main.h"

#include <array>

#include "text/numberpattern.h"
#include "ui_form_main.h"

namespace {

// Items of the force selectors as the wizard picks them.
enum class Channel { CH0 = 0, CH1 = 1 };
enum class Divider { Off = 0, Minimum = 1, Medium = 2, Maximum = 3 };
enum class Gain { Off = 0, Au1 = 1, Au2 = 2, Au4 = 3 };

// What to tell the technician.
const QString ShortLV = QStringLiteral(
    "Zárja össze az LV és COM bemeneteket. Várja meg, hogy az AD CH1 érték megnyugodjon. Ha "
    "kész, nyomjon Next gombot.");
const QString KeepLVShorted = QStringLiteral(
    "Hagyja összezárva az LV és COM bemeneteket. Várja meg, hogy az AD CH1 érték megnyugodjon. "
    "Ha kész, nyomjon Next gombot.");
const QString ApplyLV = QStringLiteral(
    "Kapcsolja a kalibráló feszültséget az LV és COM bemenetek közé. Várja meg, hogy az AD CH1 "
    "érték megnyugodjon. Ha kész, nyomjon Next gombot.");
const QString ChangeToHV = QStringLiteral(
    "Figyelem! Csatlakozó csere. Zárja össze a HV és COM bemeneteket. Várja meg, hogy az AD CH1 "
    "érték megnyugodjon. Ha kész, nyomjon Next gombot.");
const QString KeepHVShorted = QStringLiteral(
    "Hagyja összezárva a HV és COM bemeneteket. Várja meg, hogy az AD CH1 érték megnyugodjon. Ha "
    "kész, nyomjon Next gombot.");
const QString ApplyHV = QStringLiteral(
    "Kapcsolja a kalibráló feszültséget a HV és COM bemenetek közé. Várja meg, hogy az AD CH1 "
    "érték megnyugodjon. Ha kész, nyomjon Next gombot.");
const QString OpenI = QStringLiteral(
    "Hagyja nyitva az I és COM bemeneteket. Várja meg, hogy az AD CH0 érték megnyugodjon. Ha "
    "kész, nyomjon Next gombot.");
const QString Drive20mA = QStringLiteral(
    "Folyasson az I és COM bemeneteken keresztül 20 mA-t. Várja meg, hogy az AD CH0 érték "
    "megnyugodjon. Ha kész, nyomjon Next gombot.");
const QString StoreText =
    QStringLiteral("A kalibrálási adatok készülékbe töltéséhez nyomja meg a nyomógombot.");

struct Point {
    QString title;
    const QString *instruction;
    Channel channel;
    Divider divider;
    Gain gain;
    qint32 TForm_Main::*source;
    qint32 TForm_Main::*target;
    QString prefix;
};

// One point per instruction state 10, 20 ... 140. Each zero point is taken
// with exactly the forcing of the full-scale point it belongs to.
const std::array<Point, 14> &points()
{
    using F = TForm_Main;
    static const std::array<Point, 14> table{{
        {QStringLiteral("Ube Low1 kalibrálás"), &ShortLV, Channel::CH1, Divider::Minimum, Gain::Au2,
         &F::ADAveragedCH1, &F::InCalLow1, QStringLiteral("Low1 = ")},
        {QStringLiteral("Ube Low2 kalibrálás"), &KeepLVShorted, Channel::CH1, Divider::Minimum,
         Gain::Au1, &F::ADAveragedCH1, &F::InCalLow2, QStringLiteral("Low2 = ")},
        {QStringLiteral("Ube Low3 kalibrálás"), &KeepLVShorted, Channel::CH1, Divider::Medium,
         Gain::Au1, &F::ADAveragedCH1, &F::InCalLow3, QStringLiteral("Low3 = ")},
        {QStringLiteral("Ube High1 kalibrálás: 150 mV"), &ApplyLV, Channel::CH1, Divider::Minimum,
         Gain::Au2, &F::ADAveragedCH1, &F::InCalHigh1, QStringLiteral("High1 = ")},
        {QStringLiteral("Ube High2 kalibrálás: 450 mV"), &ApplyLV, Channel::CH1, Divider::Minimum,
         Gain::Au1, &F::ADAveragedCH1, &F::InCalHigh2, QStringLiteral("High2 = ")},
        {QStringLiteral("Ube High3 kalibrálás: 2,3 V"), &ApplyLV, Channel::CH1, Divider::Medium,
         Gain::Au1, &F::ADAveragedCH1, &F::InCalHigh3, QStringLiteral("High3 = ")},
        {QStringLiteral("Ube Low4 kalibrálás"), &ChangeToHV, Channel::CH1, Divider::Medium,
         Gain::Au2, &F::ADAveragedCH1, &F::InCalLow4, QStringLiteral("Low4 = ")},
        {QStringLiteral("Ube Low5 kalibrálás"), &KeepHVShorted, Channel::CH1, Divider::Maximum,
         Gain::Au4, &F::ADAveragedCH1, &F::InCalLow5, QStringLiteral("Low5 = ")},
        {QStringLiteral("Ube Low6 kalibrálás"), &KeepHVShorted, Channel::CH1, Divider::Maximum,
         Gain::Au1, &F::ADAveragedCH1, &F::InCalLow6, QStringLiteral("Low6 = ")},
        {QStringLiteral("Ube High4 kalibrálás: 10 V"), &ApplyHV, Channel::CH1, Divider::Medium,
         Gain::Au2, &F::ADAveragedCH1, &F::InCalHigh4, QStringLiteral("High4 = ")},
        {QStringLiteral("Ube High5 kalibrálás: 40 V"), &ApplyHV, Channel::CH1, Divider::Maximum,
         Gain::Au4, &F::ADAveragedCH1, &F::InCalHigh5, QStringLiteral("High5 = ")},
        {QStringLiteral("Ube High6 kalibrálás: 100 V"), &ApplyHV, Channel::CH1, Divider::Maximum,
         Gain::Au1, &F::ADAveragedCH1, &F::InCalHigh6, QStringLiteral("High6 = ")},
        {QStringLiteral("Ibe Low kalibrálás"), &OpenI, Channel::CH0, Divider::Maximum, Gain::Au1,
         &F::ADAveragedCH0, &F::InCalLow7, QStringLiteral("Low7 = ")},
        {QStringLiteral("Ibe High kalibrálás: 20 mA"), &Drive20mA, Channel::CH0, Divider::Maximum,
         Gain::Au1, &F::ADAveragedCH0, &F::InCalHigh7, QStringLiteral("High7 = ")},
    }};
    return table;
}

constexpr qint32 FirstState = 10;
constexpr qint32 ClosingState = 150;

} // namespace

void TForm_Main::SpeedButton_InputCalibrationNextClick(QObject *)
{
    // The waiting state picks this up at its next tick.
    InCalNextPressed = true;
}

void TForm_Main::Timer_InCalTimer(QObject *)
{
    // The clock runs on after the page is left. Away from the page the wizard
    // neither captures nor forces: the page change has just released the
    // instrument, and a Next pressed a moment before the change is dropped,
    // not carried out behind another page.
    if (ui->PageControl1->ActivePage() != ui->TabSheet_InputCalibration) {
        InCalNextPressed = false;
        return;
    }
    InCalStep();
}

void TForm_Main::InCalStep()
{
    const qint32 state = InCalState;

    if (state == ClosingState) {
        ui->RadioGroup_GainForceCH->setItemIndex(int(Channel::CH0));
        ui->RadioGroup_DividerForce->setItemIndex(int(Divider::Off));
        ui->RadioGroup_GainForce->setItemIndex(int(Gain::Off));
        ui->Label_InputCalibration1->setText(QStringLiteral("Kalibrálási adatok mentése."));
        ui->Memo_InputCalibration2->setPlainText(StoreText);
        ui->SpeedButton_ADCalBeiras->setVisible(true);
        InCalState = 0;
        return;
    }

    if (state < FirstState || state >= ClosingState) return;
    const qint32 index = state / 10 - 1;
    const Point &point = points()[index];

    switch (state % 10) {
    case 0: // show the step and force the instrument for it
        ui->RadioGroup_GainForceCH->setItemIndex(int(point.channel));
        ui->RadioGroup_DividerForce->setItemIndex(int(point.divider));
        ui->RadioGroup_GainForce->setItemIndex(int(point.gain));
        ui->Label_InputCalibration1->setText(point.title);
        ui->Memo_InputCalibration2->setPlainText(*point.instruction);
        // A press made before the step was shown must not capture it.
        InCalNextPressed = false;
        InCalState = state + 1;
        break;
    case 1: // wait for Next, then capture the latest averaged reading
        if (!InCalNextPressed) return;
        this->*point.target = this->*point.source;
        ui->ListBox_InputCalibrated->addItem(point.prefix +
                                             formatPattern(this->*point.target, u"0 000 000"));
        InCalState = state + 9;
        break;
    default:
        break;
    }
}
