// The input calibration wizard in the real window, driven tick by tick: the
// fourteen points with their forcing, titles and instructions, the captures
// and their record lines, the Next flag, the closing step, page entry and
// the wizard clock.
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTimer>
#include <QtTest>

#include <memory>

#include "app/form_main.h"
#include "app/outcal_view.h"
#include "protocol/instrument_protocol.h"
#include "support/formaccess.h"
#include "support/instrument_bytes.h"
#include "widgets/pagecontrol.h"
#include "widgets/radiogroup.h"
#include "widgets/speedbutton.h"

using formaccess::control;

namespace {

const QString textA = QStringLiteral(
    "Zárja össze az LV és COM bemeneteket. Várja meg, hogy az AD CH1 érték megnyugodjon. Ha kész, "
    "nyomjon Next gombot.");
const QString textB = QStringLiteral(
    "Hagyja összezárva az LV és COM bemeneteket. Várja meg, hogy az AD CH1 érték megnyugodjon. Ha "
    "kész, nyomjon Next gombot.");
const QString textC = QStringLiteral(
    "Kapcsolja a kalibráló feszültséget az LV és COM bemenetek közé. Várja meg, hogy az AD CH1 "
    "érték megnyugodjon. Ha kész, nyomjon Next gombot.");
const QString textD = QStringLiteral(
    "Figyelem! Csatlakozó csere. Zárja össze a HV és COM bemeneteket. Várja meg, hogy az AD CH1 "
    "érték megnyugodjon. Ha kész, nyomjon Next gombot.");
const QString textE = QStringLiteral(
    "Hagyja összezárva a HV és COM bemeneteket. Várja meg, hogy az AD CH1 érték megnyugodjon. Ha "
    "kész, nyomjon Next gombot.");
const QString textF = QStringLiteral(
    "Kapcsolja a kalibráló feszültséget a HV és COM bemenetek közé. Várja meg, hogy az AD CH1 "
    "érték megnyugodjon. Ha kész, nyomjon Next gombot.");
const QString textG = QStringLiteral(
    "Hagyja nyitva az I és COM bemeneteket. Várja meg, hogy az AD CH0 érték megnyugodjon. Ha "
    "kész, nyomjon Next gombot.");
const QString textH = QStringLiteral(
    "Folyasson az I és COM bemeneteken keresztül 20 mA-t. Várja meg, hogy az AD CH0 érték "
    "megnyugodjon. Ha kész, nyomjon Next gombot.");

struct Expected {
    QString title;
    const QString *text;
    int gainForce;
    int dividerForce;
    bool fromCH0;
    qint32 TForm_Main::*target;
    QString prefix;
};

} // namespace

class TstInCal : public QObject {
    Q_OBJECT

    std::unique_ptr<TForm_Main> w;

    QStringList listLines() const
    {
        QStringList lines;
        for (int i = 0; i < control<QListWidget>(*w, "ListBox_InputCalibrated")->count(); ++i)
            lines << control<QListWidget>(*w, "ListBox_InputCalibrated")->item(i)->text();
        return lines;
    }
    // The codes the next request would carry for the selectors as they stand.
    int gainForce() const
    {
        return instrument::gainForceCode(
            control<TRadioGroup>(*w, "RadioGroup_GainForce")->ItemIndex(),
            control<TRadioGroup>(*w, "RadioGroup_GainForceCH")->ItemIndex() == 1);
    }
    int dividerForce() const
    {
        return instrument::dividerForceCode(
            control<TRadioGroup>(*w, "RadioGroup_DividerForce")->ItemIndex());
    }
    void pressNext() { control<TSpeedButton>(*w, "SpeedButton_InputCalibrationNext")->click(); }
    void enterPage()
    {
        control<TPageControl>(*w, "PageControl1")
            ->setTabVisible(control<QWidget>(*w, "TabSheet_InputCalibration"), true);
        control<TPageControl>(*w, "PageControl1")
            ->setActivePage(control<QWidget>(*w, "TabSheet_InputCalibration"));
        w->PageControl1Change(control<TPageControl>(*w, "PageControl1"));
    }
    void leavePage()
    {
        control<TPageControl>(*w, "PageControl1")
            ->setActivePage(control<QWidget>(*w, "TabSheet_Uzemmod"));
        w->PageControl1Change(control<TPageControl>(*w, "PageControl1"));
    }

private slots:
    void init()
    {
        w = std::make_unique<TForm_Main>();
        // The wizards' values are stored whether plausible or not.
        w->askStoreAnyway = [](QWidget *, const QString &, const QString &) { return true; };
        QCOMPARE(w->InCalState, 0);
        QVERIFY(!w->InCalNextPressed);
        QVERIFY(!w->Timer_InCal->isActive());
    }
    void cleanup() { w.reset(); }

    void fourteenPointsInOrder()
    {
        using F = TForm_Main;
        const Expected points[] = {
            {"Ube Low1 kalibrálás", &textA, 194, 128, false, &F::InCalLow1, "Low1 = "},
            {"Ube Low2 kalibrálás", &textB, 193, 128, false, &F::InCalLow2, "Low2 = "},
            {"Ube Low3 kalibrálás", &textB, 193, 129, false, &F::InCalLow3, "Low3 = "},
            {"Ube High1 kalibrálás: 150 mV", &textC, 194, 128, false, &F::InCalHigh1, "High1 = "},
            {"Ube High2 kalibrálás: 450 mV", &textC, 193, 128, false, &F::InCalHigh2, "High2 = "},
            {"Ube High3 kalibrálás: 2,3 V", &textC, 193, 129, false, &F::InCalHigh3, "High3 = "},
            {"Ube Low4 kalibrálás", &textD, 194, 129, false, &F::InCalLow4, "Low4 = "},
            {"Ube Low5 kalibrálás", &textE, 196, 130, false, &F::InCalLow5, "Low5 = "},
            {"Ube Low6 kalibrálás", &textE, 193, 130, false, &F::InCalLow6, "Low6 = "},
            {"Ube High4 kalibrálás: 10 V", &textF, 194, 129, false, &F::InCalHigh4, "High4 = "},
            {"Ube High5 kalibrálás: 40 V", &textF, 196, 130, false, &F::InCalHigh5, "High5 = "},
            {"Ube High6 kalibrálás: 100 V", &textF, 193, 130, false, &F::InCalHigh6, "High6 = "},
            {"Ibe Low kalibrálás", &textG, 129, 130, true, &F::InCalLow7, "Low7 = "},
            {"Ibe High kalibrálás: 20 mA", &textH, 129, 130, true, &F::InCalHigh7, "High7 = "},
        };
        w->InCalState = 10;
        QStringList expectedLines;
        for (int i = 0; i < 14; ++i) {
            const Expected &p = points[i];
            const int state = 10 * (i + 1);
            QCOMPARE(w->InCalState, state);
            w->InCalStep();
            QCOMPARE(w->InCalState, state + 1);
            QCOMPARE(control<QLabel>(*w, "Label_InputCalibration1")->text(), p.title);
            QCOMPARE(control<QPlainTextEdit>(*w, "Memo_InputCalibration2")->toPlainText(), *p.text);
            QCOMPARE(gainForce(), p.gainForce);
            QCOMPARE(dividerForce(), p.dividerForce);
            // The range selector is never touched.
            QCOMPARE(control<TRadioGroup>(*w, "RadioGroup_MereshatarForce")->ItemIndex(), 0);

            // Waiting: ticks without Next change nothing.
            w->InCalStep();
            w->InCalStep();
            QCOMPARE(w->InCalState, state + 1);
            QCOMPARE(listLines(), expectedLines);

            // Distinct readings on both converters show which one is taken.
            w->ADAveragedCH0 = 7000000 + i;
            w->ADAveragedCH1 = 1000 * (i + 1);
            pressNext();
            w->InCalStep();
            const qint32 reading = p.fromCH0 ? 7000000 + i : 1000 * (i + 1);
            QCOMPARE((*w).*p.target, reading);
            expectedLines << p.prefix +
                                 (p.fromCH0
                                      ? QStringLiteral("7 000 0%1").arg(i, 2, 10, QChar('0'))
                                      : QStringLiteral("0 0%1 000").arg(i + 1, 2, 10, QChar('0')));
            QCOMPARE(listLines(), expectedLines);
            // Appended without being selected.
            QCOMPARE(control<QListWidget>(*w, "ListBox_InputCalibrated")->currentRow(), -1);
        }
        QCOMPARE(w->InCalState, 150);
        QVERIFY(control<TSpeedButton>(*w, "SpeedButton_ADCalBeiras")->isHidden());
        w->InCalStep();
        QCOMPARE(w->InCalState, 0);
        QCOMPARE(control<QLabel>(*w, "Label_InputCalibration1")->text(),
                 QStringLiteral("Kalibrálási adatok mentése."));
        QCOMPARE(
            control<QPlainTextEdit>(*w, "Memo_InputCalibration2")->toPlainText(),
            QStringLiteral("A kalibrálási adatok készülékbe töltéséhez nyomja meg a nyomógombot."));
        QCOMPARE(control<TRadioGroup>(*w, "RadioGroup_GainForceCH")->ItemIndex(), 0);
        QCOMPARE(control<TRadioGroup>(*w, "RadioGroup_DividerForce")->ItemIndex(), 0);
        QCOMPARE(control<TRadioGroup>(*w, "RadioGroup_GainForce")->ItemIndex(), 0);
        QCOMPARE(gainForce(), 0);
        QCOMPARE(dividerForce(), 0);
        QVERIFY(!control<TSpeedButton>(*w, "SpeedButton_ADCalBeiras")->isHidden());
        // Finished: Next and further ticks change nothing.
        pressNext();
        w->InCalStep();
        QCOMPARE(w->InCalState, 0);
        QCOMPARE(listLines().size(), 14);
    }

    void oneNextCapturesOnePoint()
    {
        w->InCalState = 10;
        w->InCalStep();
        w->ADAveragedCH1 = 111;
        pressNext();
        pressNext();
        w->InCalStep(); // captures Low1
        QCOMPARE(w->InCalState, 20);
        QVERIFY(w->InCalNextPressed); // only the next instruction resets it
        w->ADAveragedCH1 = 222;
        w->InCalStep(); // shows Low2, forgets the second press
        QVERIFY(!w->InCalNextPressed);
        w->InCalStep();
        w->InCalStep();
        QCOMPARE(w->InCalState, 21);
        QCOMPARE(w->InCalLow1, 111);
        QCOMPARE(w->InCalLow2, 0);
        QCOMPARE(listLines(), QStringList{"Low1 = 0 000 111"});
    }

    void readingsListedWithSevenDigitsAndSign_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("reading");
        QTest::addColumn<QString>("line");
        QTest::newRow("Low1 1234567") << 10 << 1234567 << "Low1 = 1 234 567";
        QTest::newRow("Low1 12") << 10 << 12 << "Low1 = 0 000 012";
        QTest::newRow("Low1 0") << 10 << 0 << "Low1 = 0 000 000";
        QTest::newRow("Low5 -123") << 80 << -123 << "Low5 = -0 000 123";
        QTest::newRow("High6 full scale") << 120 << 8388607 << "High6 = 8 388 607";
        QTest::newRow("High6 negative full scale") << 120 << -8388607 << "High6 = -8 388 607";
        QTest::newRow("Low3 beyond seven digits") << 30 << 2147483647 << "Low3 = 2147 483 647";
    }
    void readingsListedWithSevenDigitsAndSign()
    {
        QFETCH(int, state);
        QFETCH(int, reading);
        QFETCH(QString, line);
        w->InCalState = state;
        w->InCalStep();
        w->ADAveragedCH1 = reading;
        pressNext();
        w->InCalStep();
        QCOMPARE(listLines(), QStringList{line});
    }

    void timerDrivesTheWizard()
    {
        enterPage();
        w->Timer_InCal->setInterval(10);
        w->ADAveragedCH1 = 42;
        pressNext();
        QTRY_COMPARE(w->InCalState, 21);
        QCOMPARE(w->InCalLow1, 42);
    }

    void nextPendingWhenThePageIsLeftIsDropped()
    {
        // Next, then another tab before the clock ticks: nothing is captured
        // and nothing forced behind the other page.
        enterPage();
        w->Timer_InCal->setInterval(10);
        w->ADAveragedCH1 = 777;
        pressNext();
        leavePage();
        QSignalSpy ticks(w->Timer_InCal, &QTimer::timeout);
        QTRY_VERIFY(ticks.count() >= 3);
        QCOMPARE(w->InCalState, 11);
        QCOMPARE(w->InCalLow1, 0);
        QVERIFY(!w->InCalNextPressed);
        QCOMPARE(gainForce(), 0);
        QCOMPARE(dividerForce(), 0);
        QVERIFY(listLines().isEmpty());
    }

    void pageEntryStartsAtLowOne()
    {
        w->PWMSetpoint = 0;
        control<QListWidget>(*w, "ListBox_InputCalibrated")->addItem(QStringLiteral("old"));
        enterPage();
        QCOMPARE(w->PWMForce, 1);
        QCOMPARE(w->InCalState, 11); // the first step ran at once
        QCOMPARE(control<QLabel>(*w, "Label_InputCalibration1")->text(),
                 QStringLiteral("Ube Low1 kalibrálás"));
        QCOMPARE(gainForce(), 194);
        QCOMPARE(dividerForce(), 128);
        QCOMPARE(listLines().size(), 0);
        QVERIFY(w->Timer_InCal->isActive());
        QCOMPARE(w->Timer_InCal->interval(), 100);
    }

    void pageEntryForcesTheOutputAtTheSetting()
    {
        w->outputCalibration().setPWMSetpoint(30000);
        w->PWMForce = 0;
        enterPage();
        QCOMPARE(w->PWMForce, 30000);
    }

    void comingBackRestartsWithCapturesKept()
    {
        enterPage();
        w->ADAveragedCH1 = 500;
        for (int i = 0; i < 3; ++i) {
            pressNext();
            w->InCalStep();
            w->InCalStep();
        }
        QCOMPARE(w->InCalState, 41);
        QCOMPARE(listLines().size(), 3);
        leavePage();
        // Away from the page the instrument is no longer forced, the wizard waits.
        QCOMPARE(gainForce(), 0);
        QCOMPARE(dividerForce(), 0);
        w->InCalStep();
        QCOMPARE(w->InCalState, 41);
        enterPage();
        QCOMPARE(w->InCalState, 11);
        QCOMPARE(control<QLabel>(*w, "Label_InputCalibration1")->text(),
                 QStringLiteral("Ube Low1 kalibrálás"));
        QCOMPARE(listLines().size(), 0);
        QCOMPARE(w->InCalLow1, 500);
        QCOMPARE(w->InCalLow3, 500);
        // A press left over from the earlier run captures nothing.
        QVERIFY(!w->InCalNextPressed);
    }

    // The request bytes themselves, with the readings arriving in replies as
    // the decoder takes them.
    void requestsCarryForcingAndCaptures()
    {
        struct Step {
            int gain, divider, offset;
        };
        // Capture order, with the request offset of the value captured.
        const Step steps[] = {{194, 128, 4},  {193, 128, 12}, {193, 129, 36}, {194, 128, 8},
                              {193, 128, 16}, {193, 129, 40}, {194, 129, 44}, {196, 130, 52},
                              {193, 130, 60}, {194, 129, 48}, {196, 130, 56}, {193, 130, 64},
                              {129, 130, 68}, {129, 130, 72}};
        w->InCalState = 10;
        for (int i = 0; i < 14; ++i) {
            w->InCalStep();
            w->SendInstrumentRequest();
            QByteArray sent = formaccess::sentData(*w);
            QCOMPARE(quint8(sent.at(34 - 1)), quint8(steps[i].gain));
            QCOMPARE(quint8(sent.at(35 - 1)), quint8(steps[i].divider));
            QCOMPARE(quint8(sent.at(98 - 1)), quint8(0)); // no range forcing
            QCOMPARE(quint8(sent.at(32 - 1)), quint8(0)); // no calibration step

            testbytes::DataBytes reply(instrument::ReplyDataSize);
            reply.int32(13, -(i + 1));      // ADAveragedCH0
            reply.int32(17, 100 * (i + 1)); // ADAveragedCH1
            formaccess::loadReply(*w, reply.bytes());
            w->DecodeInstrumentReply();
            pressNext();
            w->InCalStep();
        }
        w->InCalStep(); // closing
        w->SendInstrumentRequest();
        const QByteArray sent = formaccess::sentData(*w);
        QCOMPARE(quint8(sent.at(34 - 1)), quint8(0));
        QCOMPARE(quint8(sent.at(35 - 1)), quint8(0));
        for (int i = 0; i < 14; ++i) {
            const qint32 expected = i < 12 ? 100 * (i + 1) : -(i + 1);
            QCOMPARE(testbytes::int32At(sent, steps[i].offset), expected);
        }
        QCOMPARE(listLines().at(12), QStringLiteral("Low7 = -0 000 013"));
    }

    void storeCommandRepeatedUntilAcknowledged()
    {
        w->InCalState = 150;
        w->InCalStep();
        TSpeedButton *store = control<TSpeedButton>(*w, "SpeedButton_ADCalBeiras");
        QVERIFY(!store->isHidden());
        store->click();
        QVERIFY(store->Down());
        for (int i = 0; i < 3; ++i) {
            w->SendInstrumentRequest();
            QCOMPARE(quint8(formaccess::sentData(*w).at(3 - 1)), quint8(128));
            // Replies that acknowledge something else keep it down.
            testbytes::DataBytes reply(instrument::ReplyDataSize);
            reply.byte(24, 64);
            formaccess::loadReply(*w, reply.bytes());
            w->DecodeInstrumentReply();
            QVERIFY(store->Down());
        }
        testbytes::DataBytes ack(instrument::ReplyDataSize);
        ack.byte(24, 128);
        formaccess::loadReply(*w, ack.bytes());
        w->DecodeInstrumentReply();
        QVERIFY(!store->Down());
        w->SendInstrumentRequest();
        QCOMPARE(quint8(formaccess::sentData(*w).at(3 - 1)), quint8(0));
    }

    void pageEntryHidesTheStoreButtonWithoutReleasingIt()
    {
        control<TSpeedButton>(*w, "SpeedButton_ADCalBeiras")->setVisible(true);
        control<TSpeedButton>(*w, "SpeedButton_ADCalBeiras")->setDown(true);
        enterPage();
        QVERIFY(control<TSpeedButton>(*w, "SpeedButton_ADCalBeiras")->isHidden());
        QVERIFY(control<TSpeedButton>(*w, "SpeedButton_ADCalBeiras")->Down());
        w->SendInstrumentRequest();
        QCOMPARE(quint8(formaccess::sentData(*w).at(3 - 1)), quint8(128));
    }
};

QTEST_MAIN(TstInCal)
#include "tst_incal.moc"
