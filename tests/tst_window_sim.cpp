// End to end: the main window (offscreen) against the instrument simulator
// over a pty. The cycle starts with the opening of the port, panels follow the
// exchanges by view, the user's closing and the line's hang-up stop it, the
// Settings tab restarts the instrument, and a language switch reaches the
// working time with the next reply.
#include <QtTest>

#include <QLabel>
#include <QTabBar>

#include "app/form_main.h"
#include "panel/mb.h"
#include "panel/mbpanel.h"
#include "support/formaccess.h"
#include "support/simulator_runner.h"
#include "support/windowsetup.h"
#include "widgets/pagecontrol.h"
#include "widgets/shape.h"
#include "widgets/speedbutton.h"

using formaccess::control;
using formaccess::mb1;
using formaccess::panelsHidden;
using formaccess::panelsVisible;

namespace {

SimFaults dropEverything()
{
    SimFaults faults;
    faults.dropEvery = 1;
    return faults;
}

class Bench {
public:
    explicit Bench(QStringList parameters = {})
        : setup(std::move(parameters)), form(setup.environment())
    {
        form.show();
        form.FormActivate(&form);
    }
    TMB &link() { return *mb1(form); }
    void quickTimeOuts()
    {
        link().setMBMasterTimeOut(30);
        link().setMBMasterMaxTryNumber(2);
    }
    void clickTab(const char *name)
    {
        auto *pages = control<TPageControl>(form, "PageControl1");
        QTabBar *bar = pages->tabBar();
        const int index = pages->indexOf(control<QWidget>(form, name));
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }
    // Waits for a request, received from now on, that satisfies the condition.
    template <class Condition> bool awaitRequest(Condition condition)
    {
        const quint64 from = sim.simulator().requestCount();
        return QTest::qWaitFor([&] {
            for (const auto &record : sim.simulator().receivedRequests())
                if (record.number > from && condition(record.request)) return true;
            return false;
        });
    }

    SimulatorRunner sim;
    WindowSetup setup;
    TForm_Main form;
};

} // namespace

class TestWindowSim : public QObject {
    Q_OBJECT

private slots:
    void openingThePortStartsTheCycle();
    void normalViewFollowsDroppedAndGoodReplies();
    void factoryViewKeepsItsPanels();
    void closingThePortByHandStopsTheRequests();
    void theSettingsTabRestartsTheInstrument();
    void aHangUpOfTheLineClosesThePort();
    void theWorkingTimeSpeaksTheNewLanguageWithTheNextReply();
};

void TestWindowSim::openingThePortStartsTheCycle()
{
    Bench bench;
    QVERIFY2(bench.sim.isRunning(), qPrintable(bench.sim.errorText()));
    QVERIFY(panelsHidden(bench.form));
    QVERIFY(bench.sim.openOn(bench.link().engine()));
    QVERIFY(bench.sim.waitForExchanges(1));
    QVERIFY(panelsVisible(bench.form));
    // Each end sends the next request; there is no pause and no timer.
    QVERIFY(bench.sim.waitForRequests(10));
    QCOMPARE(bench.link().MBStatus(), TMBStatus::stOK);
    QVERIFY(control<QLabel>(bench.form, "Label_FormverVerzio")->text().startsWith(u'V'));
}

void TestWindowSim::normalViewFollowsDroppedAndGoodReplies()
{
    Bench bench;
    bench.quickTimeOuts();
    QVERIFY(bench.sim.openOn(bench.link().engine()));
    QVERIFY(bench.sim.waitForExchanges(2));
    QVERIFY(panelsVisible(bench.form));

    bench.sim.simulator().setFaults(dropEverything());
    QTRY_VERIFY(panelsHidden(bench.form));
    QCOMPARE(bench.link().MBStatus(), TMBStatus::stTimeOut);
    // Failed exchanges do not stop the cycle.
    const int requests = bench.sim.requests();
    QVERIFY(bench.sim.waitForRequests(requests + 3));

    bench.sim.simulator().setFaults({});
    QTRY_VERIFY(panelsVisible(bench.form));
}

void TestWindowSim::factoryViewKeepsItsPanels()
{
    Bench bench({"/VARNEL"});
    bench.quickTimeOuts();
    QVERIFY(panelsVisible(bench.form));
    QVERIFY(bench.sim.openOn(bench.link().engine()));
    QVERIFY(bench.sim.waitForExchanges(2));

    bench.sim.simulator().setFaults(dropEverything());
    QTRY_COMPARE(bench.link().MBStatus(), TMBStatus::stTimeOut);
    QVERIFY(panelsVisible(bench.form));
    const int requests = bench.sim.requests();
    QVERIFY(bench.sim.waitForRequests(requests + 3));
    QVERIFY(panelsVisible(bench.form));
}

void TestWindowSim::closingThePortByHandStopsTheRequests()
{
    Bench bench;
    QVERIFY(bench.sim.openOn(bench.link().engine()));
    QVERIFY(bench.sim.waitForExchanges(3));

    QSignalSpy ends(&bench.link(), &TMB::OnMBMasterEndOfEvent);
    QTest::mouseClick(bench.link().panel().openCloseButton(), Qt::LeftButton);
    QVERIFY(!bench.link().MBPortOpen());
    QVERIFY(panelsHidden(bench.form));
    // Whatever was in flight ended with a port error, and nothing follows it.
    QVERIFY(ends.size() <= 1);
    if (!ends.isEmpty()) QCOMPARE(ends.first().at(0).value<TMBStatus>(), TMBStatus::stPortError);
    QSignalSpy requests(&bench.sim.simulator(), &InstrumentSimulator::requestReceived);
    const quint32 frames = bench.link().MBNumberOfTxFrames();
    // The request that was on the line when the port closed may still
    // arrive; none after it.
    requests.wait(300);
    QVERIFY(requests.size() <= 1);
    QVERIFY(!requests.wait(300));
    QCOMPARE(bench.link().MBNumberOfTxFrames(), frames);
}

void TestWindowSim::theSettingsTabRestartsTheInstrument()
{
    Bench bench({"/VARNEL"});
    auto *reset = control<TSpeedButton>(bench.form, "SpeedButton_Reset");
    bench.form.PWMSetpoint = 2500;
    QVERIFY(bench.sim.openOn(bench.link().engine()));
    QVERIFY(bench.sim.waitForExchanges(1));

    bench.clickTab("TabSheet_OutputCalibration");
    QVERIFY(bench.awaitRequest([](const InstrumentRequest &r) { return r.PWMForce == 2500; }));

    bench.clickTab("TabSheet_Uzemmod");
    QVERIFY(reset->Down());
    QVERIFY(bench.awaitRequest([](const InstrumentRequest &r) {
        return (r.CommandBits & instrument::Command::Reset) && r.PWMForce == 0;
    }));
    // The instrument acknowledges; the button comes up and the bit goes.
    QTRY_VERIFY(!reset->Down());
    QVERIFY(bench.awaitRequest(
        [](const InstrumentRequest &r) { return !(r.CommandBits & instrument::Command::Reset); }));
}

void TestWindowSim::aHangUpOfTheLineClosesThePort()
{
    Bench bench;
    QVERIFY(bench.sim.openOn(bench.link().engine()));
    QVERIFY(bench.sim.waitForExchanges(2));

    bench.sim.simulator().stop(); // the pty goes away under the open port
    QTRY_VERIFY(!bench.link().MBPortOpen());
    QVERIFY(panelsHidden(bench.form));
    QCOMPARE(bench.link().panel().portLamp()->BrushColor(),
             MBPanel::lampColor(TMBLamp::Red, bench.link().palette()));

    // Not frozen: the window still handles the user; not spinning: the
    // closed port hands nothing more over.
    const quint64 handOvers = bench.link().engine().readerHandOverCount();
    QSignalSpy ends(&bench.link(), &TMB::OnMBMasterEndOfEvent);
    QVERIFY(!ends.wait(300));
    QCOMPARE(bench.link().engine().readerHandOverCount(), handOvers);
    QTest::mouseClick(control<TSpeedButton>(bench.form, "SpeedButton_Angol"), Qt::LeftButton);
    QCOMPARE(bench.form.GsSelectedLanguage(), QStringLiteral("english"));
}

void TestWindowSim::theWorkingTimeSpeaksTheNewLanguageWithTheNextReply()
{
    Bench bench;
    auto *hours = control<QLabel>(bench.form, "Label_Uzemorak");
    QVERIFY(bench.sim.openOn(bench.link().engine()));
    QVERIFY(bench.sim.waitForExchanges(1));
    QVERIFY2(hours->text().endsWith(QStringLiteral(" perc.")), qPrintable(hours->text()));

    QTest::mouseClick(control<TSpeedButton>(bench.form, "SpeedButton_Angol"), Qt::LeftButton);
    QTRY_VERIFY(hours->text().endsWith(QStringLiteral(" minutes.")));
    QVERIFY(hours->text().contains(QStringLiteral(" hours  ")));
}

QTEST_MAIN(TestWindowSim)
#include "tst_window_sim.moc"
