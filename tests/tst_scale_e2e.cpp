// The settings group against the instrument simulator over a pty: the first
// reply loads what the instrument holds, a write is asked for in every request
// until acknowledged, and the read-back then shows what the instrument stored.
#include <QtTest>

#include <QLabel>
#include <QSignalSpy>

#include "app/form_main.h"
#include "panel/mb.h"
#include "panel/mbpanel.h"
#include "sim/simulator.h"
#include "support/formaccess.h"
#include "widgets/edit.h"
#include "widgets/radiogroup.h"
#include "widgets/speedbutton.h"

using formaccess::control;

namespace {

constexpr int kStartUpWait = 5000;

int requestsWithCommand(const InstrumentSimulator &sim, quint8 command)
{
    int n = 0;
    for (const auto &r : sim.receivedRequests())
        if (r.request.CommandBits & command) ++n;
    return n;
}

} // namespace

class TestScaleE2E : public QObject {
    Q_OBJECT

    std::unique_ptr<InstrumentSimulator> sim;
    std::unique_ptr<TForm_Main> w;

    TEdit *edit(const char *name) { return control<TEdit>(*w, name); }
    TSpeedButton *button(const char *name) { return control<TSpeedButton>(*w, name); }
    TRadioGroup *group(const char *name) { return control<TRadioGroup>(*w, name); }
    QString text(const char *name) { return control<QLabel>(*w, name)->text(); }

private slots:
    void init()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        sim = std::make_unique<InstrumentSimulator>();
        QVERIFY2(sim->startOnNewPty(), qPrintable(sim->errorText()));
        w = std::make_unique<TForm_Main>();
        TMB *mb = formaccess::mb1(*w);
        const QString port = sim->portPath();
        mb->engine().setPortCandidateSource([port] { return QStringList{port}; });
        QTRY_VERIFY_WITH_TIMEOUT(mb->panel().openCloseButton()->isEnabled(), kStartUpWait);
        mb->panel().openCloseButton()->click();
        QVERIFY(mb->MBPortOpen());
    }

    void cleanup()
    {
        if (w) formaccess::mb1(*w)->MBClosePort();
        w.reset();
        sim.reset();
        QLocale::setDefault(QLocale::c());
    }

    void writeThenReadBack()
    {
        // The first reply loads what the instrument holds and ends the read.
        QTRY_VERIFY(!button("SpeedButton_ReadSettings")->Down());
        QCOMPARE(group("RadioGroup_BemenetTipusa")->ItemIndex(), 0);
        QCOMPARE(edit("Edit_InputLow")->text(), QStringLiteral("4.000"));
        QCOMPARE(edit("Edit_OutputHigh")->text(), QStringLiteral("20.000"));

        // The user sets up a voltage scale; the input end is beyond what a
        // voltage input may have, the output start is left unformatted.
        group("RadioGroup_BemenetTipusa")->setItemIndex(1);
        group("RadioGroup_KimenetTipusa")->setItemIndex(1);
        edit("Edit_InputLow")->setText(QStringLiteral("-300"));
        edit("Edit_InputHigh")->setText(QStringLiteral("10"));
        edit("Edit_OutputLow")->clear();
        QTest::keyClicks(edit("Edit_OutputLow"), QStringLiteral("0,5"));
        emit edit("Edit_OutputLow")->OnExit();
        edit("Edit_OutputHigh")->setText(QStringLiteral("10"));

        // While the instrument does not acknowledge, every request asks.
        sim->model().setNeverAcknowledge(true);
        sim->clearRecords();
        QTest::mouseClick(button("SpeedButton_WriteSettings"), Qt::LeftButton);
        QVERIFY(button("SpeedButton_WriteSettings")->Down());
        QTRY_VERIFY(requestsWithCommand(*sim, 32) >= 3);
        QVERIFY(button("SpeedButton_WriteSettings")->Down());
        QVERIFY(!button("SpeedButton_ReadSettings")->Down());
        // Nothing was read back meanwhile.
        QCOMPARE(edit("Edit_InputLow")->text(), QStringLiteral("-300"));

        const InstrumentRequest asked = sim->receivedRequests().back().request;
        QCOMPARE(asked.InputType, quint8(101));
        QCOMPARE(asked.OutputType, quint8(101));
        QCOMPARE(asked.InputLow, -125.0);
        QCOMPARE(asked.InputHigh, 10.0);
        QCOMPARE(asked.OutputLow, 0.5);

        // Acknowledged: the button comes up and the group is reloaded from
        // what the simulator stored.
        sim->model().setNeverAcknowledge(false);
        QTRY_VERIFY(!button("SpeedButton_WriteSettings")->Down());
        QTRY_VERIFY(!button("SpeedButton_ReadSettings")->Down());
        QCOMPARE(group("RadioGroup_BemenetTipusa")->ItemIndex(), 1);
        QCOMPARE(group("RadioGroup_KimenetTipusa")->ItemIndex(), 1);
        QCOMPARE(text("Label_InputLowMertekegyseg"), QStringLiteral("V"));
        QCOMPARE(text("Label_OutputHighMertekegyseg"), QStringLiteral("V"));
        QCOMPARE(edit("Edit_InputLow")->text(), QStringLiteral("-125.00"));
        QCOMPARE(edit("Edit_InputHigh")->text(), QStringLiteral("10.000"));
        QCOMPARE(edit("Edit_OutputLow")->text(), QStringLiteral("0.500"));
        QCOMPARE(edit("Edit_OutputHigh")->text(), QStringLiteral("10.000"));

        // Later requests no longer ask.
        const quint64 seen = sim->requestCount();
        QTRY_VERIFY(sim->requestCount() > seen + 2);
        QCOMPARE(sim->receivedRequests().back().request.CommandBits & 32, 0);
    }
};

QTEST_MAIN(TestScaleE2E)
#include "tst_scale_e2e.moc"
