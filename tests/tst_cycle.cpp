// The exchange cycle of the main window over a real pty, with the test playing
// the instrument frame by frame: opening the port starts it, every end of a
// transaction sends the next request, failed exchanges hide or keep the
// panels by view, closing the port or losing it stops the cycle, a failed
// write closes the port instead of resending, and page changes set up what
// the next request carries.
#include <QtTest>

#include <algorithm>

#include <QLabel>
#include <QListWidget>
#include <QTabBar>

#include "app/form_main.h"
#include "panel/mb.h"
#include "panel/mbpanel.h"
#include "support/formaccess.h"
#include "support/frameslave.h"
#include "support/instrument_bytes.h"
#include "support/ptypair.h"
#include "support/windowsetup.h"
#include "widgets/pagecontrol.h"
#include "widgets/radiogroup.h"
#include "widgets/shape.h"
#include "widgets/speedbutton.h"

using formaccess::control;
using formaccess::loadReply;
using formaccess::mb1;
using formaccess::panelsHidden;
using formaccess::panelsVisible;

namespace {

quint8 commandBitsOf(const SlaveRequest &request)
{
    return quint8(request.data.at(2));
}
quint16 pwmForceOf(const SlaveRequest &request)
{
    return testbytes::wordAt(request.data, 1);
}
quint8 gainForceOf(const SlaveRequest &request)
{
    return quint8(request.data.at(34 - 1));
}

// A main window with the test as its instrument on the other end of a pty.
class Rig {
public:
    explicit Rig(QStringList parameters = {})
        : setup(std::move(parameters)), form(setup.environment()), slave(pty)
    {
        form.show();
        slave.setResponder([this](const SlaveRequest &request) { return answer(request); });
    }

    TMB &link() { return *mb1(form); }
    bool open() { return link().engine().MBOpenPort(pty.slavePath()); }
    // Short answer times, so dropped replies end quickly.
    void quickTimeOuts()
    {
        link().setMBMasterTimeOut(20);
        link().setMBMasterMaxTryNumber(2);
    }
    void clickTab(QWidget *page)
    {
        auto *pages = control<TPageControl>(form, "PageControl1");
        QTabBar *bar = pages->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(pages->indexOf(page)).center());
    }
    QWidget *page(const char *name) { return control<QWidget>(form, name); }
    // The first request received from now on that satisfies the condition.
    template <class Condition> bool awaitRequest(Condition condition, qsizetype from)
    {
        return QTest::qWaitFor([&] {
            for (qsizetype i = from; i < slave.requestCount(); ++i)
                if (condition(slave.requests()[i])) return true;
            return false;
        });
    }

    PtyPair pty;
    WindowSetup setup;
    TForm_Main form;
    FrameSlave slave;
    bool answering = true;
    quint8 acknowledged = 0xFF; // the command bits the instrument acknowledges

private:
    QByteArray answer(const SlaveRequest &request)
    {
        if (!answering) return {};
        const InstrumentReply reply = typicalReply(commandBitsOf(request) & acknowledged, 61);
        return FrameSlave::replyLine(instrument::Address, request.id, instrument::RequestCommand,
                                     replyData(reply));
    }
};

} // namespace

class TestCycle : public QObject {
    Q_OBJECT

private slots:
    void openingThePortStartsTheCycleAndAGoodReplyShowsThePanels();
    void normalViewHidesThePanelsAfterADroppedReplyAndShowsThemAgain();
    void factoryViewKeepsThePanelsThroughDroppedReplies();
    void closingThePortByHandStopsTheCycle();
    void aHangUpEndsInAClosedPortNotASpinningReader();
    void aFailedWriteClosesThePortInsteadOfResending();
    void theSettingsTabAsksForARestartUntilAcknowledged();
    void pageChangesResetTheForcingAndSetTheForcedPWM();
    void theInputCalibrationTabStartsTheWizard();
    void factoryActivationStartsNoSecondTransaction();
    void factoryActivationRedisplaysOnlyAGoodReply();
};

void TestCycle::openingThePortStartsTheCycleAndAGoodReplyShowsThePanels()
{
    Rig rig;
    QVERIFY(rig.pty.isValid());
    rig.answering = false;
    QVERIFY(panelsHidden(rig.form));
    QVERIFY(rig.open());
    QTRY_COMPARE(rig.slave.requestCount(), 1);
    const SlaveRequest first = rig.slave.requests().first();
    QCOMPARE(first.address, instrument::Address);
    QCOMPARE(first.id, instrument::RequestId);
    QCOMPARE(first.command, instrument::RequestCommand);
    QCOMPARE(first.data.size(), instrument::RequestDataSize);
    QVERIFY(panelsHidden(rig.form)); // not before a reply

    // The instrument answers: the panels appear and the next request follows at once.
    rig.slave.setResponder([&](const SlaveRequest &r) {
        return FrameSlave::replyLine(1, r.id, 1, replyData(typicalReply()));
    });
    rig.pty.write(FrameSlave::replyLine(1, 0, 1, replyData(typicalReply())));
    QTRY_VERIFY(panelsVisible(rig.form));
    QTRY_VERIFY(rig.slave.requestCount() >= 5);
    QCOMPARE(control<QLabel>(rig.form, "Label_FormverVerzio")->text(),
             QStringLiteral("V2021-03-14"));
}

void TestCycle::normalViewHidesThePanelsAfterADroppedReplyAndShowsThemAgain()
{
    Rig rig;
    rig.quickTimeOuts();
    QSignalSpy ends(&rig.link(), &TMB::OnMBMasterEndOfEvent);
    QVERIFY(rig.open());
    QTRY_VERIFY(panelsVisible(rig.form));

    rig.answering = false;
    QTRY_VERIFY(panelsHidden(rig.form));
    QCOMPARE(rig.link().MBStatus(), TMBStatus::stTimeOut);
    // The contents stay; the cycle goes on with new requests.
    QCOMPARE(control<QLabel>(rig.form, "Label_FormverVerzio")->text(),
             QStringLiteral("V2021-03-14"));
    const qsizetype sent = rig.slave.requestCount();
    QTRY_VERIFY(rig.slave.requestCount() >= sent + 4);
    QVERIFY(panelsHidden(rig.form));

    rig.answering = true;
    QTRY_VERIFY(panelsVisible(rig.form));
    QVERIFY(rig.link().MBPortOpen());
}

void TestCycle::factoryViewKeepsThePanelsThroughDroppedReplies()
{
    Rig rig({"/VARNEL"});
    rig.form.FormActivate(&rig.form);
    rig.quickTimeOuts();
    QVERIFY(rig.open());
    QTRY_VERIFY(rig.link().MBNumberOfRxFrames() >= 2);

    rig.answering = false;
    QSignalSpy ends(&rig.link(), &TMB::OnMBMasterEndOfEvent);
    QTRY_VERIFY(std::any_of(ends.begin(), ends.end(), [](const QList<QVariant> &args) {
        return args.at(0).value<TMBStatus>() == TMBStatus::stTimeOut;
    }));
    QVERIFY(panelsVisible(rig.form));
    const qsizetype sent = rig.slave.requestCount();
    QTRY_VERIFY(rig.slave.requestCount() >= sent + 4);
    QVERIFY(panelsVisible(rig.form));
}

void TestCycle::closingThePortByHandStopsTheCycle()
{
    Rig rig;
    QVERIFY(rig.open());
    QTRY_VERIFY(panelsVisible(rig.form));
    rig.answering = false; // a transaction stays in flight
    const qsizetype inFlight = rig.slave.requestCount();
    QTRY_VERIFY(rig.link().MBBusy() && rig.slave.requestCount() > inFlight);

    QSignalSpy ends(&rig.link(), &TMB::OnMBMasterEndOfEvent);
    QSignalSpy requests(&rig.slave, &FrameSlave::requestReceived);
    const quint32 framesBefore = rig.link().MBNumberOfTxFrames();
    QTest::mouseClick(rig.link().panel().openCloseButton(), Qt::LeftButton);
    QVERIFY(!rig.link().MBPortOpen());
    QCOMPARE(ends.size(), 1);
    QCOMPARE(ends.first().at(0).value<TMBStatus>(), TMBStatus::stPortError);
    QVERIFY(panelsHidden(rig.form));
    QCOMPARE(rig.link().MBNumberOfTxFrames(), framesBefore);
    QVERIFY(!requests.wait(200));
    QCOMPARE(ends.size(), 1);

    // Opening again restarts the cycle.
    rig.answering = true;
    QVERIFY(rig.open());
    QTRY_VERIFY(panelsVisible(rig.form));
}

void TestCycle::aHangUpEndsInAClosedPortNotASpinningReader()
{
    Rig rig;
    QVERIFY(rig.open());
    QTRY_VERIFY(rig.link().MBNumberOfRxFrames() >= 2);
    QSignalSpy ends(&rig.link(), &TMB::OnMBMasterEndOfEvent);

    rig.slave.hangUp();
    QTRY_VERIFY(!rig.link().MBPortOpen());
    QTRY_VERIFY(panelsHidden(rig.form));
    // The pull is noticed by the reader, or by the next request's write when a
    // reply read just before it completed the exchange. In the latter case the
    // port-error end comes from inside the handler of the good one, so it is
    // not necessarily the last the spy recorded.
    QVERIFY(std::any_of(ends.cbegin(), ends.cend(), [](const QList<QVariant> &end) {
        return end.at(0).value<TMBStatus>() == TMBStatus::stPortError;
    }));
    QVERIFY(!rig.link().MBPortErrorText().isEmpty());
    QCOMPARE(rig.link().panel().portLamp()->BrushColor(),
             MBPanel::lampColor(TMBLamp::Red, rig.link().palette()));

    // Nothing keeps waking the window: no ends, no hand-overs from the reader.
    const qsizetype endCount = ends.size();
    const quint64 handOvers = rig.link().engine().readerHandOverCount();
    QVERIFY(!ends.wait(300));
    QCOMPARE(ends.size(), endCount);
    QCOMPARE(rig.link().engine().readerHandOverCount(), handOvers);
}

void TestCycle::aFailedWriteClosesThePortInsteadOfResending()
{
    Rig rig;
    PtyPair spare; // a port to open afterwards, whatever ports the machine has
    rig.link().engine().setPortCandidateSource([&] { return QStringList{spare.slavePath()}; });
    rig.answering = false;
    QVERIFY(rig.open());
    QTRY_COMPARE(rig.slave.requestCount(), 1);

    // The line goes away while the port still counts as open; the next write
    // fails inside MBSendFrame before the reader can report the hang-up.
    rig.slave.hangUp();
    QSignalSpy ends(&rig.link(), &TMB::OnMBMasterEndOfEvent);
    QSignalSpy openings(&rig.link(), &TMB::OnMBPortOpenedOrClosed);
    const quint32 framesBefore = rig.link().MBNumberOfTxFrames();
    rig.form.MB1MBMasterEndOfEvent(&rig.link(), TMBStatus::stTimeOut, QString());

    // One failed send, then the closing: no send answered by another send.
    QVERIFY(!rig.link().MBPortOpen());
    QCOMPARE(ends.size(), 2);
    QCOMPARE(ends.at(0).at(0).value<TMBStatus>(), TMBStatus::stPortError);
    QCOMPARE(ends.at(1).at(0).value<TMBStatus>(), TMBStatus::stPortError);
    QCOMPARE(openings.size(), 1);
    QCOMPARE(openings.first().at(0).toBool(), false);
    QCOMPARE(rig.link().MBNumberOfTxFrames(), framesBefore);
    QCOMPARE(rig.link().MBStatusString(), QStringLiteral("Port Error"));
    QCOMPARE(rig.link().MBStatusNowString(), QStringLiteral("Port Error"));
    QCOMPARE(rig.link().panel().portLamp()->BrushColor(),
             MBPanel::lampColor(TMBLamp::Red, rig.link().palette()));
    QVERIFY(panelsHidden(rig.form));
    // The list is probed again: the pty the window held is listed no more
    // as its own open port, and the user can open a port again.
    QVERIFY(rig.link().panel().openCloseButton()->isEnabled());
    QVERIFY(!rig.link().panel().openCloseButton()->Down());
    QVERIFY(!ends.wait(200));
    QCOMPARE(ends.size(), 2);
}

void TestCycle::theSettingsTabAsksForARestartUntilAcknowledged()
{
    Rig rig({"/VARNEL"});
    rig.form.FormActivate(&rig.form);
    auto *reset = control<TSpeedButton>(rig.form, "SpeedButton_Reset");
    rig.form.PWMSetpoint = 1234;
    rig.acknowledged = quint8(~instrument::Command::Reset);
    QVERIFY(rig.open());
    QTRY_VERIFY(rig.link().MBNumberOfRxFrames() >= 1);

    rig.clickTab(rig.page("TabSheet_OutputCalibration"));
    QCOMPARE(rig.form.PWMForce, 1234);
    QVERIFY(rig.awaitRequest([](const SlaveRequest &r) { return pwmForceOf(r) == 1234; },
                             rig.slave.requestCount()));

    control<TRadioGroup>(rig.form, "RadioGroup_GainForce")->setItemIndex(3);
    QVERIFY(!reset->Down());
    rig.clickTab(rig.page("TabSheet_Uzemmod"));
    QVERIFY(reset->Down());
    QCOMPARE(rig.form.PWMForce, 0);
    QCOMPARE(control<TRadioGroup>(rig.form, "RadioGroup_GainForce")->ItemIndex(), 0);
    const qsizetype from = rig.slave.requestCount();
    QVERIFY(rig.awaitRequest(
        [](const SlaveRequest &r) {
            return (commandBitsOf(r) & instrument::Command::Reset) && pwmForceOf(r) == 0 &&
                   gainForceOf(r) == instrument::Force::Off;
        },
        from));
    // Not acknowledged yet: the button stays down and the bit keeps going out.
    QVERIFY(reset->Down());

    rig.acknowledged = 0xFF;
    QTRY_VERIFY(!reset->Down());
    const qsizetype afterAck = rig.slave.requestCount();
    QTRY_VERIFY(rig.slave.requestCount() >= afterAck + 2);
    QVERIFY(!(commandBitsOf(rig.slave.requests().last()) & instrument::Command::Reset));
}

void TestCycle::pageChangesResetTheForcingAndSetTheForcedPWM()
{
    WindowSetup setup({"/VARNEL"});
    TForm_Main form(setup.environment());
    form.show();
    form.FormActivate(&form);
    auto *pages = control<TPageControl>(form, "PageControl1");
    const char *selectors[] = {"RadioGroup_GainForce", "RadioGroup_DividerForce",
                               "RadioGroup_GainForceCH", "RadioGroup_MereshatarForce"};
    auto forceEverything = [&] {
        for (const char *name : selectors)
            control<TRadioGroup>(form, name)->setItemIndex(1);
    };
    auto nothingForced = [&] {
        for (const char *name : selectors)
            if (control<TRadioGroup>(form, name)->ItemIndex() != 0) return false;
        return true;
    };
    auto choose = [&](const char *name) {
        pages->setActivePage(control<QWidget>(form, name));
        form.PageControl1Change(pages);
    };

    form.PWMSetpoint = 0;
    forceEverything();
    choose("TabSheet_OutputCalibration");
    QCOMPARE(form.PWMForce, 1); // the output is forced even at a setting of 0
    QVERIFY(nothingForced());

    form.PWMSetpoint = 40000;
    choose("TabSheet_OutputCalibration");
    QCOMPARE(form.PWMForce, 40000);

    forceEverything();
    choose("TabSheet_KimenetEllenorzes");
    QCOMPARE(form.PWMForce, 0);
    QVERIFY(nothingForced());

    form.PWMForce = 777;
    forceEverything();
    choose("TabSheet_Test");
    QCOMPARE(form.PWMForce, 777); // the test page leaves the output as it is
    QVERIFY(nothingForced());
    QVERIFY(!control<TSpeedButton>(form, "SpeedButton_Reset")->Down());

    choose("TabSheet_Uzemmod");
    QCOMPARE(form.PWMForce, 0);
    QVERIFY(control<TSpeedButton>(form, "SpeedButton_Reset")->Down());
}

void TestCycle::theInputCalibrationTabStartsTheWizard()
{
    WindowSetup setup({"/VARNEL"});
    TForm_Main form(setup.environment());
    form.show();
    form.FormActivate(&form);
    auto *store = control<TSpeedButton>(form, "SpeedButton_ADCalBeiras");
    auto *list = control<QListWidget>(form, "ListBox_InputCalibrated");
    store->show();
    list->addItem(QStringLiteral("Low1 = 0 000 001"));
    form.PWMSetpoint = 0;
    QVERIFY(!form.Timer_InCal->isActive());

    auto *pages = control<TPageControl>(form, "PageControl1");
    pages->setActivePage(control<QWidget>(form, "TabSheet_InputCalibration"));
    form.PageControl1Change(pages);
    QCOMPARE(form.PWMForce, 1);
    QVERIFY(store->isHidden());
    QCOMPARE(list->count(), 0);
    QVERIFY(form.Timer_InCal->isActive());
    QCOMPARE(form.Timer_InCal->interval(), 100);
    // The first state, or already waiting after the tick run at once.
    QVERIFY2(form.InCalState == 10 || form.InCalState == 11,
             qPrintable(QString::number(form.InCalState)));
}

void TestCycle::factoryActivationStartsNoSecondTransaction()
{
    Rig rig({"/VARNEL"});
    rig.answering = false;
    QVERIFY(rig.open());
    QTRY_COMPARE(rig.slave.requestCount(), 1);
    QVERIFY(rig.link().MBBusy());
    const quint32 frames = rig.link().MBNumberOfTxFrames();
    const int tries = rig.link().MBMasterTryNumber();

    rig.form.FormActivate(&rig.form);
    rig.form.ApplyLanguage(QStringLiteral("english")); // re-applies the view as well
    QVERIFY(rig.form.FactoryLevel());
    QVERIFY(panelsVisible(rig.form));
    QCOMPARE(rig.link().MBNumberOfTxFrames(), frames);
    QCOMPARE(rig.link().MBMasterTryNumber(), tries);

    // The transaction in flight still ends normally and the cycle goes on.
    rig.answering = true;
    rig.pty.write(FrameSlave::replyLine(1, 0, 1, replyData(typicalReply())));
    QTRY_VERIFY(rig.slave.requestCount() >= 3);
    QVERIFY(panelsVisible(rig.form));
}

void TestCycle::factoryActivationRedisplaysOnlyAGoodReply()
{
    WindowSetup setup({"/VARNEL"});
    TForm_Main form(setup.environment());
    auto *firmware = control<QLabel>(form, "Label_FormverVerzio");
    const QString nothingYet = firmware->text();
    form.FormActivate(&form);
    QCOMPARE(firmware->text(), nothingYet); // nothing received, nothing decoded

    loadReply(form, replyData(typicalReply()));
    form.MB1MBMasterEndOfEvent(mb1(form), TMBStatus::stOK, QString());
    QCOMPARE(firmware->text(), QStringLiteral("V2021-03-14"));

    // Activation shows the last reply again, not what lies past its end.
    firmware->setText(QStringLiteral("overwritten"));
    form.FormActivate(&form);
    QCOMPARE(firmware->text(), QStringLiteral("V2021-03-14"));

    // A slave's error frame replaces the good reply in the buffer; it is not
    // shown as if it were one.
    loadReply(form, QByteArray(instrument::ReplyDataSize, '\0'));
    form.MB1MBMasterEndOfEvent(mb1(form), TMBStatus::stSlaveGlobalError, QString());
    QVERIFY(panelsVisible(form));
    firmware->setText(QStringLiteral("overwritten"));
    form.FormActivate(&form);
    QCOMPARE(firmware->text(), QStringLiteral("overwritten"));
}

QTEST_MAIN(TestCycle)
#include "tst_cycle.moc"
