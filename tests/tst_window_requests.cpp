// End to end: the request bytes the simulator receives from the window for a
// fixed sequence of user actions are the ones recorded before the window
// handed building, decoding and acknowledging to the instrument core. Each
// action is followed by enough exchanges for its effects to settle
// (acknowledgements, the read-back of written settings); consecutive equal
// requests count once, so the record does not depend on timing.
//
// KX_RECORD_WINDOW_REQUESTS=FILE writes the sequence to FILE instead of
// comparing it (for recording it again on purpose).
#include <QtTest>

#include <QLineEdit>
#include <QTabBar>

#include "app/form_main.h"
#include "app/outcal_view.h"
#include "panel/mb.h"
#include "support/formaccess.h"
#include "support/simulator_runner.h"
#include "support/windowsetup.h"
#include "widgets/pagecontrol.h"
#include "widgets/radiogroup.h"
#include "widgets/speedbutton.h"
#include "widgets/trackbar.h"

#include <functional>
#include <vector>

using formaccess::control;
using formaccess::mb1;

namespace {

struct Action {
    const char *name;
    std::function<void(TForm_Main &)> apply;
};

void clickTab(TForm_Main &form, const char *name)
{
    auto *pages = control<TPageControl>(form, "PageControl1");
    QTabBar *bar = pages->tabBar();
    const int index = pages->indexOf(control<QWidget>(form, name));
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

void press(TForm_Main &form, const char *button)
{
    control<TSpeedButton>(form, button)->setDown(true);
}

void select(TForm_Main &form, const char *group, int item)
{
    control<TRadioGroup>(form, group)->setItemIndex(item);
}

void type(TForm_Main &form, const char *edit, const char *text)
{
    control<QLineEdit>(form, edit)->setText(QString::fromLatin1(text));
}

// Every calibration value, extremes among them, and both stores.
void storeCalibrationValues(TForm_Main &f)
{
    f.InCalLow1 = -1;
    f.InCalHigh1 = 2147483647;
    f.InCalLow2 = -2147483647 - 1;
    f.InCalHigh2 = 0x01020304;
    f.InCalLow3 = 3;
    f.InCalHigh3 = 33;
    f.InCalLow4 = 4;
    f.InCalHigh4 = 44;
    f.InCalLow5 = 5;
    f.InCalHigh5 = 55;
    f.InCalLow6 = 6;
    f.InCalHigh6 = 66;
    f.InCalLow7 = 7;
    f.InCalHigh7 = 77;
    f.OutCalPWM4mA = 1000;
    f.OutCalPWM20mA = 60000;
    f.OutCalPWM2V = 2000;
    f.OutCalPWM10V = 70000; // cut to 16 bits
    // Stores go out for a unit whose serial number is known.
    f.connectedUnit.setSerialNumber(QStringLiteral("KX-0001"));
    press(f, "SpeedButton_ADCalBeiras");
    press(f, "SpeedButton_WriteOutputCalibrationToKX");
}

const std::vector<Action> &actions()
{
    static const std::vector<Action> list = {
        {"opened", [](TForm_Main &) {}},
        {"write voltage input, limited and unlimited values",
         [](TForm_Main &f) {
             select(f, "RadioGroup_BemenetTipusa", 1);
             type(f, "Edit_InputLow", "-300");
             type(f, "Edit_InputHigh", "7");
             type(f, "Edit_OutputLow", "0");
             type(f, "Edit_OutputHigh", "150");
             press(f, "SpeedButton_WriteSettings");
         }},
        {"current input limit, text that is no number",
         [](TForm_Main &f) {
             select(f, "RadioGroup_BemenetTipusa", 0);
             select(f, "RadioGroup_KimenetTipusa", 1);
             type(f, "Edit_InputLow", "30");
             type(f, "Edit_InputHigh", "abc");
             type(f, "Edit_OutputLow", "");
         }},
        {"restart and temperature clear",
         [](TForm_Main &f) {
             press(f, "SpeedButton_Reset");
             press(f, "SpeedButton_HomersekletMinMaxTorlese");
         }},
        {"calibration values stored", storeCalibrationValues},
        {"output check page at 100 %",
         [](TForm_Main &f) {
             clickTab(f, "TabSheet_KimenetEllenorzes");
             control<TTrackBar>(f, "TrackBar_OutCheck")->setPosition(20);
         }},
        {"test page forcing",
         [](TForm_Main &f) {
             clickTab(f, "TabSheet_Test");
             select(f, "RadioGroup_GainForce", 6);
             select(f, "RadioGroup_GainForceCH", 1);
             select(f, "RadioGroup_MereshatarForce", 4);
         }},
        {"output calibration page",
         [](TForm_Main &f) { clickTab(f, "TabSheet_OutputCalibration"); }},
        {"output calibration setting",
         [](TForm_Main &f) { f.outputCalibration().setPWMSetpoint(30000); }},
        {"back on the settings page", [](TForm_Main &f) { clickTab(f, "TabSheet_Uzemmod"); }},
        {"factory defaults written",
         [](TForm_Main &f) {
             f.Button_GyariAlapSkalaClick(nullptr);
             press(f, "SpeedButton_WriteSettings");
         }},
    };
    return list;
}

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

} // namespace

class TestWindowRequests : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void theWindowSendsTheRecordedBytes();
};

void TestWindowRequests::theWindowSendsTheRecordedBytes()
{
    SimulatorRunner sim;
    QVERIFY2(sim.isRunning(), qPrintable(sim.errorText()));
    // Every request as the simulator's link received it, before any decoding.
    std::vector<QByteArray> received;
    MBEngine &simLink = sim.simulator().engine();
    QObject::connect(&simLink, &MBEngine::OnMBSlaveReceivedCommand, &simLink, [&] {
        const auto data = simLink.rxBuffer().receivedData();
        received.emplace_back(reinterpret_cast<const char *>(data.data()), qsizetype(data.size()));
    });

    WindowSetup setup({QStringLiteral("/VARNEL")});
    TForm_Main form(setup.environment());
    form.CurrentLocalDate = [] { return QDate(2013, 10, 9); };
    form.show();
    form.FormActivate(&form);
    QVERIFY(sim.openOn(mb1(form)->engine()));

    // Each action's requests, consecutive repeats left out.
    QStringList record;
    QByteArray last;
    for (const Action &action : actions()) {
        action.apply(form);
        const int from = sim.requests();
        QVERIFY2(sim.waitForRequests(from + 8), action.name);
        record << QStringLiteral("# ") + QString::fromLatin1(action.name);
        for (const QByteArray &request : received) {
            if (request == last) continue;
            record << hex(request);
            last = request;
        }
        received.clear();
    }
    mb1(form)->MBClosePort();

    const QString text = record.join(u'\n') + u'\n';
    const QByteArray recordPath = qgetenv("KX_RECORD_WINDOW_REQUESTS");
    if (!recordPath.isEmpty()) {
        QFile out(QFile::decodeName(recordPath));
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(text.toLatin1());
        QSKIP("recorded, nothing compared");
    }
    QFile expected(QFINDTESTDATA("data/window_requests.txt"));
    QVERIFY2(expected.open(QIODevice::ReadOnly), "the recorded requests are missing");
    const QStringList want = QString::fromLatin1(expected.readAll()).split(u'\n');
    const QStringList got = text.split(u'\n');
    for (qsizetype i = 0; i < std::min(want.size(), got.size()); ++i)
        QVERIFY2(want[i] == got[i],
                 qPrintable(
                     QStringLiteral("line %1:\nwant %2\ngot  %3").arg(i + 1).arg(want[i], got[i])));
    QCOMPARE(got.size(), want.size());
}

QTEST_MAIN(TestWindowRequests)
#include "tst_window_requests.moc"
