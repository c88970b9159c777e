// The link panel of TMB under the offscreen platform: start-up, opening and
// closing over a pty, the failed opening, lamps, indicators, counters, the
// speed display, the statistics reset and the mode captions.
#include "panel/mb.h"
#include "support/frameslave.h"
#include "support/ptypair.h"
#include "widgets/shape.h"
#include "widgets/speedbutton.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {

// The first tick comes after one second; the bound leaves room for a busy machine.
constexpr int kStartUpWait = 5000;

const QColor kGreen(0, 255, 0);
const QColor kOrange(249, 124, 0);
const QColor kRed(255, 0, 0);

QColor neutral(const TMB &mb)
{
    return mb.palette().color(QPalette::Button);
}

bool startedUp(const TMB &mb)
{
    return mb.panel().speedList()->isEnabled() || mb.MBPortOpen();
}

// Offers only the given ports to the probe, so the machine's own serial
// ports do not disturb the test.
void offerPorts(TMB &mb, const QStringList &ports)
{
    mb.engine().setPortCandidateSource([ports] { return ports; });
}

int rightEdge(const QWidget *w)
{
    return w->x() + w->width();
}

} // namespace

class TestMBPanel : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale::c()); }

    void constructionPlacesTheDisabledPanel()
    {
        TMB mb;
        const MBPanel &p = mb.panel();
        QCOMPARE(mb.title(), QStringLiteral("MB Master V2013-06-18"));
        QCOMPARE(mb.size(), QSize(157, 171));
        QCOMPARE(mb.minimumSize(), QSize(157, 171));
        QCOMPARE(mb.maximumSize(), QSize(157, 171));
        QCOMPARE(mb.pos(), QPoint(0, 0));

        QVERIFY(!p.openCloseButton()->isEnabled());
        QVERIFY(!p.refreshButton()->isEnabled());
        QVERIFY(!p.speedList()->isEnabled());
        QCOMPARE(p.speedList()->count(), 0);
        QCOMPARE(p.openCloseButton()->text(), QStringLiteral("Open"));
        QVERIFY(!p.openCloseButton()->Down());
        QCOMPARE(p.openCloseButton()->GroupIndex(), 1);
        QVERIFY(p.openCloseButton()->AllowAllUp());
        QCOMPARE(p.refreshButton()->text(), QStringLiteral("Refresh"));
        QVERIFY(!p.refreshButton()->font().bold());

        QCOMPARE(p.transmitIndicator()->geometry(), QRect(25, 17, 20, 9));
        QCOMPARE(p.receiveIndicator()->geometry(), QRect(25, 28, 20, 9));
        QCOMPARE(p.tryBar()->geometry(), QRect(50, 17, 70, 9));
        QCOMPARE(p.maxTryBar()->geometry(), QRect(50, 28, 70, 9));
        QCOMPARE(p.statusLamp()->geometry(), QRect(127, 17, 20, 9));
        QCOMPARE(p.speedBar()->geometry(), QRect(80, 43, 68, 9));
        QCOMPARE(p.portList()->geometry(), QRect(8, 80, 81, 55));
        QCOMPARE(p.portLamp()->geometry(), QRect(97, 80, 49, 25));
        QCOMPARE(p.openCloseButton()->geometry(), QRect(99, 82, 45, 21));
        QCOMPARE(p.refreshButton()->geometry(), QRect(97, 113, 49, 23));
        QCOMPARE(p.speedList()->geometry(), QRect(8, 141, 141, 25));
        QCOMPARE(p.portList()->font().family(), QStringLiteral("Arial"));
        QCOMPARE(p.portList()->font().pointSize(), 8);
        QCOMPARE(p.statusLamp()->cursor().shape(), Qt::PointingHandCursor);
        // The button lies above the lamp, which frames it.
        QVERIFY(mb.children().indexOf(p.openCloseButton()) > mb.children().indexOf(p.portLamp()));

        for (QWidget *w : mb.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            QCOMPARE(w->property("Tag").toInt(), 1);
        for (const char *name : {"Label_Tx", "Label_Rx", "Label_Stat", "Label_Speed"})
            QVERIFY2(mb.findChild<QLabel *>(QLatin1String(name)), name);
        QCOMPARE(mb.findChild<QLabel *>("Label_Stat")->text(), QStringLiteral("Stat."));
        QCOMPARE(mb.findChild<QLabel *>("Label_Stat")->geometry(), QRect(122, 25, 30, 15));

        for (TShape *lamp :
             {p.transmitIndicator(), p.receiveIndicator(), p.statusLamp(), p.portLamp()}) {
            QCOMPARE(lamp->BrushColor(), neutral(mb));
            QCOMPARE(lamp->PenColor(), QColor(Qt::black));
        }
        QCOMPARE(p.transmitCounterCaption()->text(), QStringLiteral("Tx frames:"));
        QCOMPARE(p.receiveCounterCaption()->text(), QStringLiteral("Rx frames:"));
        QCOMPARE(p.transmitCounter()->text(), QStringLiteral("0"));
        QCOMPARE(p.receiveCounter()->text(), QStringLiteral("0"));
        QCOMPARE(p.speedValue()->text(), QStringLiteral("0"));
        QVERIFY(!p.tryBar()->isHidden());
        QVERIFY(!p.maxTryBar()->isHidden());
        for (QProgressBar *bar : {p.tryBar(), p.maxTryBar(), p.speedBar()}) {
            QCOMPARE(bar->minimum(), 0);
            QCOMPARE(bar->maximum(), 100);
            QCOMPARE(bar->value(), 0);
        }
    }

    void firstTickFillsTheSpeedListAndProbes()
    {
        PtyPair pty;
        TMB mb;
        offerPorts(mb, {pty.slavePath()});
        mb.setMBBaud(TMBBaud::baud115200);
        const MBPanel &p = mb.panel();
        QTRY_VERIFY_WITH_TIMEOUT(startedUp(mb), kStartUpWait);

        QCOMPARE(p.speedList()->count(), 21);
        QCOMPARE(p.speedList()->itemText(0), QStringLiteral("75 baud"));
        QCOMPARE(p.speedList()->itemText(11), QStringLiteral("9600 baud"));
        QCOMPARE(p.speedList()->itemText(17), QStringLiteral("128000 baud"));
        QCOMPARE(p.speedList()->itemText(20), QStringLiteral("921600 baud"));
        QCOMPARE(p.speedList()->currentText(), QStringLiteral("115200 baud"));
        QVERIFY(p.refreshButton()->isEnabled());
        QVERIFY(!p.refreshButton()->font().bold());

        QCOMPARE(p.portList()->count(), 1);
        QCOMPARE(p.portList()->item(0)->text(), pty.slavePath());
        QCOMPARE(p.portList()->currentRow(), 0);
        QCOMPARE(mb.MBLastUsedPort(), pty.slavePath());
        QVERIFY(p.openCloseButton()->isEnabled());
    }

    void firstTickSelectsTheDefaultSpeedAndThePortsOfTheEnvironment()
    {
        // The way a simulator's pty is offered to the program.
        PtyPair pty;
        const QByteArray saved = qgetenv("KX4720R_PORTS");
        qputenv("KX4720R_PORTS", pty.slavePath().toLocal8Bit());
        TMB mb;
        mb.setMBLastUsedPort(pty.slavePath());
        QTRY_VERIFY_WITH_TIMEOUT(startedUp(mb), kStartUpWait);
        qputenv("KX4720R_PORTS", saved);
        QCOMPARE(mb.panel().speedList()->currentText(), QStringLiteral("9600 baud"));
        QCOMPARE(mb.panel().portList()->currentItem()->text(), pty.slavePath());
    }

    void withoutProbingRefreshIsBoldUntilPressed()
    {
        PtyPair pty;
        TMB mb;
        offerPorts(mb, {pty.slavePath()});
        mb.setMBRefreshListOnStartup(false);
        const MBPanel &p = mb.panel();
        QTRY_VERIFY_WITH_TIMEOUT(startedUp(mb), kStartUpWait);

        QCOMPARE(p.speedList()->count(), 21);
        QCOMPARE(p.portList()->count(), 0);
        QVERIFY(p.refreshButton()->isEnabled());
        QVERIFY(p.refreshButton()->font().bold());
        QVERIFY(!p.openCloseButton()->isEnabled());

        p.refreshButton()->click();
        QVERIFY(!p.refreshButton()->font().bold());
        QCOMPARE(p.portList()->count(), 1);
        QVERIFY(p.openCloseButton()->isEnabled());
    }

    void speedListAndPortListSetTheEngine()
    {
        PtyPair a, b;
        TMB mb;
        offerPorts(mb, {a.slavePath(), b.slavePath()});
        mb.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mb));
        const MBPanel &p = mb.panel();
        QTRY_VERIFY_WITH_TIMEOUT(startedUp(mb), kStartUpWait);

        // The user's choice of speed.
        p.speedList()->setFocus();
        QTest::keyClick(p.speedList(), Qt::Key_Down);
        QCOMPARE(p.speedList()->currentText(), QStringLiteral("14400 baud"));
        QCOMPARE(mb.MBBaud(), TMBBaud::baud014400);
        QCOMPARE(mb.engine().BaudRate(), 14400u);
        // A speed set from code selects its entry.
        mb.setMBBaud(TMBBaud::baud000300);
        QCOMPARE(p.speedList()->currentText(), QStringLiteral("300 baud"));

        // Highest name first; a click on the other entry makes it the last used port.
        QCOMPARE(mb.MBLastUsedPort(), p.portList()->item(0)->text());
        const QString other = p.portList()->item(1)->text();
        const QRect itemRect = p.portList()->visualItemRect(p.portList()->item(1));
        QTest::mouseClick(p.portList()->viewport(), Qt::LeftButton, {}, itemRect.center());
        QCOMPARE(mb.MBLastUsedPort(), other);
    }

    void openingAndClosingSwitchThePanel()
    {
        PtyPair pty;
        TMB mb;
        offerPorts(mb, {pty.slavePath()});
        const MBPanel &p = mb.panel();
        QTRY_VERIFY_WITH_TIMEOUT(startedUp(mb), kStartUpWait);
        QSignalSpy opened(&mb, &TMB::OnMBPortOpenedOrClosed);

        p.openCloseButton()->click();
        QVERIFY(mb.MBPortOpen());
        QCOMPARE(mb.Port(), pty.slavePath());
        QVERIFY(mb.MBThereWasOpenEvent());
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.at(0).at(0).toBool(), true);
        QVERIFY(p.openCloseButton()->Down());
        QCOMPARE(p.openCloseButton()->text(), QStringLiteral("Close"));
        QVERIFY(p.openCloseButton()->isEnabled());
        QVERIFY(!p.refreshButton()->isEnabled());
        QVERIFY(!p.portList()->isEnabled());
        QVERIFY(!p.speedList()->isEnabled());
        QCOMPARE(p.portLamp()->BrushColor(), kGreen);
        QVERIFY(p.portLamp()->toolTip().isEmpty());

        p.openCloseButton()->click();
        QVERIFY(!mb.MBPortOpen());
        QCOMPARE(opened.count(), 2);
        QCOMPARE(opened.at(1).at(0).toBool(), false);
        QVERIFY(!p.openCloseButton()->Down());
        QCOMPARE(p.openCloseButton()->text(), QStringLiteral("Open"));
        QVERIFY(p.refreshButton()->isEnabled());
        QVERIFY(p.portList()->isEnabled());
        QVERIFY(p.speedList()->isEnabled());
        QCOMPARE(p.portLamp()->BrushColor(), neutral(mb));
        // The closed port is a port error for the link.
        QCOMPARE(p.statusLamp()->BrushColor(), kRed);
        QCOMPARE(mb.MBStatusString(), QStringLiteral("Port Error"));

        // The host's closing releases the button as well.
        p.openCloseButton()->click();
        QVERIFY(p.openCloseButton()->Down());
        mb.MBClosePort();
        QVERIFY(!p.openCloseButton()->Down());
        QCOMPARE(p.openCloseButton()->text(), QStringLiteral("Open"));
        QCOMPARE(opened.count(), 4);
    }

    void failedOpeningOfAHeldPortShowsWhy()
    {
        PtyPair pty;
        TMB mb;
        offerPorts(mb, {pty.slavePath()});
        const MBPanel &p = mb.panel();
        QTRY_VERIFY_WITH_TIMEOUT(startedUp(mb), kStartUpWait);
        QCOMPARE(p.portList()->count(), 1);

        // Another user takes the port between the probe and the click.
        MBEngine holder;
        QVERIFY(holder.MBOpenPort(pty.slavePath()));
        QSignalSpy opened(&mb, &TMB::OnMBPortOpenedOrClosed);

        p.openCloseButton()->click();
        QVERIFY(!mb.MBPortOpen());
        QCOMPARE(opened.count(), 0);
        QVERIFY(!p.openCloseButton()->Down());
        QCOMPARE(p.openCloseButton()->text(), QStringLiteral("Open"));
        QCOMPARE(p.portLamp()->BrushColor(), kRed);
        QCOMPARE(p.statusLamp()->BrushColor(), kRed);
        QCOMPARE(mb.MBStatus(), TMBStatus::stPortError);
        QCOMPARE(mb.MBStatusString(), QStringLiteral("Port Error"));
        const QString reason = p.portLamp()->toolTip();
        QVERIFY2(reason.startsWith(QStringLiteral("TMB : cannot open ") + pty.slavePath() + '\r'),
                 qPrintable(reason));
        QVERIFY(reason.size() >
                QStringLiteral("TMB : cannot open \r").size() + pty.slavePath().size());
        QCOMPARE(reason, mb.MBPortErrorText());
        QCOMPARE(p.openCloseButton()->toolTip(), reason);
        // Re-probed: the held port is refused, so nothing can be opened now.
        QCOMPARE(p.portList()->count(), 0);
        QVERIFY(!p.openCloseButton()->isEnabled());
        QVERIFY(p.refreshButton()->isEnabled());

        // Once the port is free again the opening works and the reason goes.
        holder.MBClosePort();
        p.refreshButton()->click();
        p.openCloseButton()->click();
        QVERIFY(mb.MBPortOpen());
        QCOMPARE(p.portLamp()->BrushColor(), kGreen);
        QVERIFY(p.portLamp()->toolTip().isEmpty());
        QVERIFY(p.openCloseButton()->toolTip().isEmpty());
    }

    void failedOpeningOfAMissingDevice()
    {
        TMB mb;
        offerPorts(mb, {});
        QSignalSpy opened(&mb, &TMB::OnMBPortOpenedOrClosed);
        const QString missing = QStringLiteral("/dev/kx-no-such-port");
        QVERIFY(!mb.engine().MBOpenPort(missing));
        QCOMPARE(opened.count(), 0);
        QCOMPARE(mb.panel().portLamp()->BrushColor(), kRed);
        QVERIFY(mb.panel().portLamp()->toolTip().startsWith(QStringLiteral("TMB : cannot open ") +
                                                            missing + '\r'));
        QVERIFY(!mb.panel().openCloseButton()->Down());
        // The indicator reset clears the red lamp and its reason.
        mb.MBResetStatistics();
        QCOMPARE(mb.panel().portLamp()->BrushColor(), neutral(mb));
        QVERIFY(mb.panel().portLamp()->toolTip().isEmpty());
    }

    void trafficFlashesCountsAndTheLampClickResets()
    {
        PtyPair pty;
        FrameSlave slave(pty);
        TMB mb;
        offerPorts(mb, {pty.slavePath()});
        const MBPanel &p = mb.panel();
        QTRY_VERIFY_WITH_TIMEOUT(startedUp(mb), kStartUpWait);
        mb.show();
        QVERIFY(QTest::qWaitForWindowExposed(&mb));
        p.openCloseButton()->click();
        QVERIFY(mb.MBPortOpen());

        // First try unanswered, second answered: the try bars show 2 of 4.
        int requests = 0;
        slave.setResponder([&](const SlaveRequest &r) {
            return ++requests == 1 ? QByteArray() : FrameSlave::replyLine(1, r.id, 0);
        });
        mb.setMBMasterMaxTryNumber(4);
        // Long enough that the answered second try never times out on a
        // loaded machine.
        mb.setMBMasterTimeOut(300);
        QSignalSpy ended(&mb, &TMB::OnMBMasterEndOfEvent);
        // Seen at the end of the transaction, before the indicator's timer can run.
        QColor receiveAtEnd;
        connect(&mb, &TMB::OnMBMasterEndOfEvent, this,
                [&] { receiveAtEnd = p.receiveIndicator()->BrushColor(); });
        mb.MBSendFrame();
        QCOMPARE(p.transmitIndicator()->BrushColor(), kOrange);
        QCOMPARE(p.tryBar()->value(), 25);
        QTRY_COMPARE(ended.count(), 1);
        QCOMPARE(ended.at(0).at(0).value<TMBStatus>(), TMBStatus::stOK);
        QCOMPARE(p.tryBar()->value(), 50);
        QCOMPARE(p.maxTryBar()->value(), 50);
        QCOMPARE(receiveAtEnd, kOrange);
        QCOMPARE(p.statusLamp()->BrushColor(), kGreen);
        QCOMPARE(p.transmitCounter()->text(), QStringLiteral("   1"));
        QCOMPARE(p.receiveCounter()->text(), QStringLiteral("   1"));
        // The indicators go dark on their own.
        QTRY_COMPARE(p.transmitIndicator()->BrushColor(), neutral(mb));
        QTRY_COMPARE(p.receiveIndicator()->BrushColor(), neutral(mb));

        // A press on the status lamp: statistics gone, port still open.
        QTest::mousePress(p.statusLamp(), Qt::LeftButton);
        QTest::mouseRelease(p.statusLamp(), Qt::LeftButton);
        QVERIFY(mb.MBPortOpen());
        QVERIFY(p.openCloseButton()->Down());
        QCOMPARE(mb.MBNumberOfTxFrames(), 0u);
        QCOMPARE(mb.MBNumberOfRxFrames(), 0u);
        QCOMPARE(mb.MBMasterTryNumberMax(), 0);
        QCOMPARE(p.transmitCounter()->text(), QStringLiteral("0"));
        QCOMPARE(p.receiveCounter()->text(), QStringLiteral("0"));
        QCOMPARE(p.tryBar()->value(), 0);
        QCOMPARE(p.maxTryBar()->value(), 0);
        QCOMPARE(p.statusLamp()->BrushColor(), neutral(mb));
        QCOMPARE(p.portLamp()->BrushColor(), neutral(mb));
        QCOMPARE(p.speedValue()->text(), QStringLiteral("0"));
        QCOMPARE(p.speedBar()->value(), 0);

        // The link goes on counting from zero.
        mb.MBSendFrame();
        QTRY_COMPARE(ended.count(), 2);
        QCOMPARE(p.transmitCounter()->text(), QStringLiteral("   1"));
    }

    void indicatorStaysLitWhileFlashesFollowClosely()
    {
        TMB mb;
        const MBPanel &p = mb.panel();
        emit mb.engine().transmitFlashed();
        QCOMPARE(p.transmitIndicator()->BrushColor(), kOrange);
        QCOMPARE(p.receiveIndicator()->BrushColor(), neutral(mb));
        QTRY_COMPARE(p.transmitIndicator()->BrushColor(), neutral(mb));
        emit mb.engine().receiveFlashed();
        emit mb.engine().receiveIndicatorOff();
        QCOMPARE(p.receiveIndicator()->BrushColor(), neutral(mb));
        // An indicator switched off is not lit again by its stopped timer.
        emit mb.engine().receiveFlashed();
        QCOMPARE(p.receiveIndicator()->BrushColor(), kOrange);
    }

    void statusLampFollowsTheResult()
    {
        PtyPair pty;
        FrameSlave slave(pty);
        slave.answerAll(1, 129);
        TMB mb;
        const MBPanel &p = mb.panel();
        QVERIFY(mb.engine().MBOpenPort(pty.slavePath()));
        mb.setMBMasterMaxTryNumber(1);
        mb.setMBMasterTimeOut(30);
        QSignalSpy ended(&mb, &TMB::OnMBMasterEndOfEvent);
        mb.MBSendFrame();
        QTRY_COMPARE(ended.count(), 1);
        QCOMPARE(mb.MBStatusString(), QStringLiteral("Slave Global Error: #129"));
        QCOMPARE(p.statusLamp()->BrushColor(), kOrange);
        // The error reply is not counted as received.
        QCOMPARE(p.receiveCounter()->text(), QStringLiteral("0"));

        slave.stayQuiet();
        mb.MBSendFrame();
        QTRY_COMPARE(ended.count(), 2);
        QCOMPARE(mb.MBStatus(), TMBStatus::stTimeOut);
        QCOMPARE(p.statusLamp()->BrushColor(), kRed);

        slave.answerAll(1, 128);
        mb.MBSendFrame();
        QTRY_COMPARE(ended.count(), 3);
        QCOMPARE(p.statusLamp()->BrushColor(), kGreen);
        QCOMPARE(p.portLamp()->BrushColor(), kGreen);
    }

    void neutralLampsFollowThePalette()
    {
        TMB mb;
        const MBPanel &p = mb.panel();
        emit mb.engine().portLampChanged(TMBLamp::Green);
        QPalette changed = mb.palette();
        changed.setColor(QPalette::Button, QColor(10, 20, 30));
        mb.setPalette(changed);
        QCOMPARE(p.statusLamp()->BrushColor(), QColor(10, 20, 30));
        QCOMPARE(p.transmitIndicator()->BrushColor(), QColor(10, 20, 30));
        QCOMPARE(p.portLamp()->BrushColor(), kGreen);
    }

    void countersUseTheGroupedPicture()
    {
        TMB mb;
        const MBPanel &p = mb.panel();
        const int txRight = rightEdge(p.transmitCounter());
        QCOMPARE(txRight, 142);

        // One digit, a space, three digits, a space, three digits; the
        // picture's literal space before the millions is written as well.
        emit mb.engine().txCounterChanged(1234567);
        QCOMPARE(p.transmitCounter()->text(), QStringLiteral(" 1 234 567"));
        emit mb.engine().rxCounterChanged(5);
        QCOMPARE(p.receiveCounter()->text(), QStringLiteral("   5"));
        emit mb.engine().rxCounterChanged(4294967295u);
        QCOMPARE(p.receiveCounter()->text(), QStringLiteral("4 294 967 295"));
        // Right-justified and auto-sized: the numbers grow to the left.
        QCOMPARE(rightEdge(p.transmitCounter()), txRight);
        QCOMPARE(rightEdge(p.receiveCounter()), 142);
        QVERIFY(p.receiveCounter()->width() > p.transmitCounter()->width());

        QCOMPARE(MBPanel::counterText(0), QStringLiteral("0"));
        QCOMPARE(MBPanel::counterText(1000), QStringLiteral("  1 000"));
    }

    void receiveIndicatorTellsWhatWasDiscarded()
    {
        PtyPair pty;
        FrameSlave slave(pty);
        TMB mb;
        QVERIFY(mb.engine().MBOpenPort(pty.slavePath()));
        // Each reply comes after a corrupted copy of itself.
        slave.setResponder([](const SlaveRequest &r) {
            QByteArray corrupted = FrameSlave::replyLine(1, r.id, 0, "ab");
            corrupted[6] = char(corrupted[6] ^ 0x01);
            return corrupted + FrameSlave::replyLine(1, r.id, 0, "ab");
        });
        QSignalSpy ended(&mb, &TMB::OnMBMasterEndOfEvent);
        mb.MBSendFrame();
        QVERIFY(ended.wait(5000));
        mb.MBSendFrame();
        QVERIFY(ended.wait(5000));

        // Written when the tool tip is asked for.
        QHelpEvent ask(QEvent::ToolTip, QPoint(2, 2), QPoint(2, 2));
        QCoreApplication::sendEvent(mb.panel().receiveIndicator(), &ask);
        QCOMPARE(mb.panel().receiveIndicator()->toolTip(),
                 QStringLiteral("Discarded since the port was opened: 2 frames, 0 characters\n"
                                "bad CRC: 2\nanother station or echo: 0\noverlong: 0\n"
                                "start in mid-frame: 0\nlate reply: 0\nnot decodable: 0\n"
                                "characters outside a frame: 0"));
        // The specified displays are as they were: two replies counted.
        QCOMPARE(mb.panel().receiveCounter()->text(), QStringLiteral("   2"));
    }

    void speedDisplay_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<quint32>("speed");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << "C" << 0u << "0";
        QTest::newRow("999") << "C" << 999u << "999";
        QTest::newRow("1000") << "C" << 1000u << "1.0k";
        QTest::newRow("1000 comma") << "de_DE" << 1000u << "1,0k";
        QTest::newRow("1500 comma") << "hu_HU" << 1500u << "1,5k";
        QTest::newRow("12345") << "C" << 12345u << "12.3k";
    }

    void speedDisplay()
    {
        QFETCH(QString, locale);
        QFETCH(quint32, speed);
        QFETCH(QString, text);
        QLocale::setDefault(QLocale(locale));
        TMB mb;
        emit mb.engine().speedChanged(speed, speed);
        QCOMPARE(mb.panel().speedValue()->text(), text);
        QCOMPARE(rightEdge(mb.panel().speedValue()), 75);
    }

    void speedBarRepaintsOnlyOnAChange()
    {
        TMB mb;
        const MBPanel &p = mb.panel();
        QProgressBar *bar = p.speedBar();
        emit mb.engine().speedChanged(30, 60);
        QCOMPARE(bar->value(), 50);
        QCOMPARE(p.speedBarUpdates(), 1);
        emit mb.engine().speedChanged(40, 80);
        QCOMPARE(p.speedBarUpdates(), 1);
        // Halves go to the even neighbour: 1 of 8 is 12.5 percent.
        emit mb.engine().speedChanged(1, 8);
        QCOMPARE(bar->value(), 12);
        emit mb.engine().speedChanged(60, 60);
        QCOMPARE(bar->value(), 100);
        emit mb.engine().speedChanged(0, 0);
        QCOMPARE(bar->value(), 0);
        QCOMPARE(p.speedBarUpdates(), 4);
    }

    void modeChangeSetsCaptionsAndResets_data()
    {
        QTest::addColumn<TMBMode>("mode");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("tx");
        QTest::addColumn<QString>("rx");
        QTest::newRow("slave") << TMBMode::modeSlave << "MB Slave V2013-06-18"
                               << "Tx frames:"
                               << "Rx frames:";
        QTest::newRow("diagnostic") << TMBMode::modeDiagnostic << "MB Diagnostic V2013-06-18"
                                    << "Tx frames:"
                                    << "Rx frames:";
        QTest::newRow("byte") << TMBMode::modeByte << "MB Byte Mode V2013-06-18"
                              << "Tx Bytes:"
                              << "Rx Bytes:";
        QTest::newRow("string") << TMBMode::modeString << "MB String Mode V2013-06-18"
                                << "Tx strings:"
                                << "Rx strings:";
    }

    void modeChangeSetsCaptionsAndResets()
    {
        QFETCH(TMBMode, mode);
        QFETCH(QString, caption);
        QFETCH(QString, tx);
        QFETCH(QString, rx);
        PtyPair pty;
        FrameSlave slave(pty);
        slave.answerAll(1, 0);
        TMB mb;
        const MBPanel &p = mb.panel();
        QVERIFY(mb.engine().MBOpenPort(pty.slavePath()));
        QSignalSpy ended(&mb, &TMB::OnMBMasterEndOfEvent);
        mb.MBSendFrame();
        QTRY_COMPARE(ended.count(), 1);
        QCOMPARE(p.transmitCounter()->text(), QStringLiteral("   1"));

        mb.setMBMode(mode);
        QCOMPARE(mb.title(), caption);
        QCOMPARE(p.transmitCounterCaption()->text(), tx);
        QCOMPARE(p.receiveCounterCaption()->text(), rx);
        QVERIFY(p.tryBar()->isHidden());
        QVERIFY(p.maxTryBar()->isHidden());
        QCOMPARE(p.transmitCounter()->text(), QStringLiteral("0"));
        QCOMPARE(p.receiveCounter()->text(), QStringLiteral("0"));
        QCOMPARE(p.statusLamp()->BrushColor(), neutral(mb));
        QCOMPARE(p.portLamp()->BrushColor(), neutral(mb));
        QVERIFY(mb.MBPortOpen());
        QVERIFY(mb.MBBusy());
        QCOMPARE(mb.MBStatusNow(), mode == TMBMode::modeSlave ? TMBStatusNow::stnWaitingForCommand
                                                              : TMBStatusNow::stnReady);

        mb.setMBMode(TMBMode::modeMaster);
        QCOMPARE(mb.title(), QStringLiteral("MB Master V2013-06-18"));
        QCOMPARE(p.transmitCounterCaption()->text(), QStringLiteral("Tx frames:"));
        QVERIFY(!p.tryBar()->isHidden());
        QVERIFY(!p.maxTryBar()->isHidden());
        // Master with the port open is not busy.
        QVERIFY(!mb.MBBusy());
    }

    void sameModeAgainKeepsTheCounters()
    {
        TMB mb;
        emit mb.engine().txCounterChanged(5);
        mb.setMBMode(TMBMode::modeMaster);
        QCOMPARE(mb.panel().transmitCounter()->text(), QStringLiteral("   5"));
        QCOMPARE(mb.title(), QStringLiteral("MB Master V2013-06-18"));
        QVERIFY(mb.MBBusy()); // closed port
    }
};

QTEST_MAIN(TestMBPanel)
#include "tst_mbpanel.moc"
